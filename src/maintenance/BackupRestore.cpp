#include "maintenance/BackupRestore.h"
#include "common/AppError.h"
#include "store/BankCopy.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/PendingRestore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

bool HasBankExtension(const QString &path) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot >= 0 && name.mid(dot) == QLatin1String(".db");
}

QString ProposedBackupPath(const QDate &day) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QFileInfo(folder).isDir())
    folder = QDir::homePath();
  return QDir(folder).filePath(QStringLiteral("QBRX-备份-") + day.toString(QStringLiteral("yyyyMMdd")) +
                               QStringLiteral(".db"));
}

void BackupBank(TDataModule1 &dm, const QString &target) {
  try {
    CopyBank(dm.ADOConnection1, target, BankCopyFormat::Bank);
  } catch (const AppError &e) {
    throw AppError(BackupText::BackupFailed + QLatin1Char('\n') + e.message());
  }
}

QString RestoreRefusal(const QString &source, const ProgramDir &dir) {
  const QFileInfo info(source);
  if (!info.isFile())
    return BackupText::NotABank;
  for (const QString &own : {dir.bankPath(), dir.root() + QStringLiteral("temp.db"), PendingRestorePath(dir.root()),
                             dir.bankPath() + QStringLiteral(".replacing")})
    if (IsSameFile(own, source))
      return BackupText::TheBankItself;
  if (InspectBankFile(source) != BankHeader::Ours)
    return BackupText::NotABank;
  try {
    TADOConnection c;
    c.Open(source, QByteArray(kDatabasePassword), &kMaskingBlock);
    TADOQuery q(c, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("PRAGMA quick_check"));
    q.Open();
    if (q.IsEmpty() || q.Fields(0).AsString() != QLatin1String("ok"))
      return BackupText::NotABank;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN"
                             "('题目类别','小题','大题','答案选项','类型说明','系统参数','测试结果','测试题目')"));
    q.Open();
    if (q.Fields(0).AsInteger() != 8)
      return BackupText::NotABank;
  } catch (const std::exception &) {
    return BackupText::NotABank;
  }
  return QString();
}

void StageRestore(const QString &source, const ProgramDir &dir) {
  const QString refusal = RestoreRefusal(source, dir);
  if (!refusal.isEmpty())
    throw AppError(refusal);
  try {
    CopyBank(source, PendingRestorePath(dir.root()), BankCopyFormat::Bank);
  } catch (const AppError &e) {
    throw AppError(BackupText::RestoreFailed + QLatin1Char('\n') + e.message());
  }
}

std::vector<BackupEntry> ListBackups(const ProgramDir &dir) {
  std::vector<BackupEntry> out;
  const QDir folder(dir.root() + QStringLiteral("backup"));
  for (const QFileInfo &f : folder.entryInfoList({QStringLiteral("QBRX-*.db")}, QDir::Files))
    out.push_back({f.absoluteFilePath(), f.lastModified()});
  std::sort(out.begin(), out.end(), [](const BackupEntry &a, const BackupEntry &b) {
    return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
  });
  return out;
}
