#include "maintenance/BackupRestore.h"
#include "app/AppContext.h"
#include "app/BankService.h"
#include "common/AppError.h"
#include "store/BankCheck.h"
#include "store/BankCopy.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/PendingRestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <functional>

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

namespace {

// The checks that need no more than the file's header and size.
QString sourceRefusal(const QString &source, const ProgramDir &dir) {
  const QFileInfo info(source);
  if (!info.isFile())
    return BackupText::NotABank;
  for (const QString &own : {dir.bankPath(), dir.root() + QStringLiteral("temp.db"), PendingRestorePath(dir.root()),
                             dir.bankPath() + QStringLiteral(".replacing")})
    if (IsSameFile(own, source))
      return BackupText::TheBankItself;
  const QString tooLarge = BankSizeRefusal(info.size());
  if (!tooLarge.isEmpty())
    return BackupText::TooLarge + QLatin1Char('\n') + tooLarge;
  int version = 0;
  switch (InspectBankFile(source, &version)) {
  case BankHeader::Ours:
    return QString();
  case BankHeader::NewerFormat:
    return BackupText::NotABank + QLatin1Char('\n') + BankFile::newerFormatMessage(version);
  default:
    return BackupText::NotABank;
  }
}

QString withReason(const QString &reason) { return BackupText::NotABank + QLatin1Char('\n') + reason; }

// Copies `from` to `to` (made owner-only), `budget` bytes at most for all
// the copies of one restore; throws AppError.
void copyInto(const QString &from, const QString &to, qint64 &budget) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly))
    throw FileError(QStringLiteral("无法读取 %1：%2").arg(from, in.errorString()));
  QFile out(to);
  if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
    throw FileError(QStringLiteral("无法写入 %1：%2").arg(to, out.errorString()));
  QByteArray chunk(1 << 20, Qt::Uninitialized);
  for (;;) {
    const qint64 n = in.read(chunk.data(), chunk.size());
    if (n < 0)
      throw FileError(QStringLiteral("无法读取 %1：%2").arg(from, in.errorString()));
    if (n == 0)
      break;
    budget -= n;
    if (budget < 0)
      throw AppError(withReason(BankSizeRefusal(kMaxBankFileBytes + 1)));
    if (out.write(chunk.constData(), n) != n)
      throw FileError(QStringLiteral("无法写入 %1：%2").arg(to, out.errorString()));
  }
  if (!out.flush())
    throw FileError(QStringLiteral("无法写入 %1：%2").arg(to, out.errorString()));
}

} // namespace

QString RestoreRefusal(const QString &source, const ProgramDir &dir) {
  const QString refusal = sourceRefusal(source, dir);
  if (!refusal.isEmpty())
    return refusal;
  const QString why = BankFileRefusal(source);
  return why.isEmpty() ? QString() : withReason(why);
}

void StageRestore(const QString &source, const ProgramDir &dir) {
  const QString refusal = sourceRefusal(source, dir);
  if (!refusal.isEmpty())
    throw AppError(refusal);
  const QString work = RestoreWorkPath(dir.root());
  // A link in the folder's place goes as a link, never followed.
  const auto removeWork = [link = work.chopped(1)] {
    if (QFileInfo(link).isSymLink())
      QFile::remove(link);
    else
      QDir(link).removeRecursively();
  };
  removeWork();
  struct AtEnd {
    std::function<void()> run;
    ~AtEnd() { run(); }
  } atEnd{removeWork};
  try {
    if (!QDir().mkpath(work))
      throw FileError(QStringLiteral("无法在程序目录中建立文件夹 %1").arg(work));
    QFile::setPermissions(work, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The learner's file and what the engine would read beside it (a
    // journal to roll back, a WAL to take in) are copied and never opened
    // for writing; the engine works on the copies.
    const QString copy = work + QStringLiteral("QBRX.db");
    qint64 budget = kMaxBankFileBytes;
    copyInto(source, copy, budget);
    for (const QString &suffix : {QStringLiteral("-journal"), QStringLiteral("-wal")})
      if (QFileInfo(source + suffix).isFile())
        copyInto(source + suffix, copy + suffix, budget);
    TADOConnection c;
    try {
      c.Open(copy, QByteArray(kDatabasePassword), &kMaskingBlock);
    } catch (const EDatabaseError &e) {
      throw AppError(withReason(e.message()));
    }
    const QString why = OpenBankRefusal(c);
    if (!why.isEmpty())
      throw AppError(withReason(why));
    CopyBank(c, PendingRestorePath(dir.root()), BankCopyFormat::Bank,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  } catch (const AppError &e) {
    if (e.message().startsWith(BackupText::NotABank) || e.message().startsWith(BackupText::TooLarge))
      throw;
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

QString RestoreNow(AppContext &context) {
  const QString root = context.programDir.root();
  QString kept;
  try {
    ReplaceBank(context, [&](const QString &) {
      QString detail;
      switch (ApplyPendingRestore(root, &detail)) {
      case PendingRestoreResult::Applied:
        kept = detail;
        return;
      case PendingRestoreResult::None:
        throw AppError(BackupText::RestoreFailed + QStringLiteral("\n没有找到要还原的数据文件。"));
      case PendingRestoreResult::Discarded:
        throw AppError(BackupText::NotABank + QLatin1Char('\n') + detail);
      case PendingRestoreResult::Deferred:
        throw AppError(BackupText::RestoreFailed + QLatin1Char('\n') + detail);
      }
    });
  } catch (...) {
    // A restore that did not take effect now must not take effect later.
    QFile::remove(PendingRestorePath(root));
    throw;
  }
  return kept;
}
