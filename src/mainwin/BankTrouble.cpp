#include "mainwin/BankTrouble.h"
#include "maintenance/BackupRestore.h"
#include "common/Dialogs.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFileInfo>

bool IsBankTrouble(StartupResult result) {
  return result == StartupResult::Missing || result == StartupResult::NotOurs ||
         result == StartupResult::OpenFailed || result == StartupResult::ForeignSchema;
}

QString BankTroubleMessage(StartupResult result, const ProgramDir &dir, const QString &detail) {
  const QString bank = QDir::toNativeSeparators(dir.bankPath());
  QString why;
  switch (result) {
  case StartupResult::Missing:
    why = QStringLiteral("找不到这个文件。");
    break;
  case StartupResult::NotOurs:
    why = QStringLiteral("这个文件不是本软件的题库（可能已损坏）。");
    break;
  case StartupResult::ForeignSchema:
    // The detail names the objects: a trigger, a view... that the file's
    // author put there and that would run inside the program.
    why = QStringLiteral("这个文件含有本软件的题库不会有的内容，可能被人改动过，不能使用。");
    if (!detail.isEmpty())
      why += QStringLiteral("\n%1").arg(detail);
    break;
  default:
    why = QStringLiteral("这个文件已损坏或无法读取。");
    if (!detail.isEmpty())
      why += QStringLiteral("（%1）").arg(detail);
  }
  QString text = QStringLiteral("打开数据库出现严重的错误，程序将中止！\n\n题库文件：%1\n%2\n\n").arg(bank, why);

  const std::vector<BackupEntry> backups = ListBackups(dir);
  const QString keepOld = result == StartupResult::Missing
                              ? QString()
                              : QStringLiteral("先把现在的 QBRX.db 改名保留，");
  if (backups.empty()) {
    text += QStringLiteral("程序目录的 backup 文件夹中没有备份。如果用“数据备份”在别处保存过备份文件（.db），"
                           "请关闭本程序，%1把备份文件复制到程序目录 %2 并改名为 QBRX.db，再启动程序。")
                .arg(keepOld, QDir::toNativeSeparators(dir.root()));
    return text;
  }
  text += QStringLiteral("程序目录的 backup 文件夹中有这些备份（最新的在前）：\n");
  const std::size_t shown = std::min<std::size_t>(backups.size(), 5);
  for (std::size_t i = 0; i < shown; ++i)
    text += QStringLiteral("    %1    %2\n")
                .arg(QFileInfo(backups[i].path).fileName(),
                     backups[i].modified.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
  if (backups.size() > shown)
    text += QStringLiteral("    ……共 %1 个备份\n").arg(backups.size());
  text += QStringLiteral("要用其中一个还原：请关闭本程序，%1把它从 %2 复制到程序目录并改名为 QBRX.db，再启动程序。")
              .arg(keepOld, QDir::toNativeSeparators(dir.root() + QStringLiteral("backup")));
  return text;
}

bool OpenBankForWindow(TDataModule1 &dm, const ProgramDir &dir) {
  QString detail, notice;
  const StartupResult result = OpenBankAtStartup(dm, dir.root(), {}, &detail, &notice);
  if (!notice.isEmpty())
    dialogs().warning(notice, QStringLiteral("数据还原"));
  if (result != StartupResult::Opened) {
    if (IsBankTrouble(result))
      dialogs().error(BankTroubleMessage(result, dir, detail), QStringLiteral("错误"));
    else
      ShowStartupFailure(result, detail);
    return false;
  }
  LoadSystemParameters(dm);
  return true;
}
