#include "store/PendingRestore.h"
#include "store/BankCheck.h"
#include "store/BankCopy.h"
#include "store/EncryptionMDB.h"
#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {
bool renameOver(const QString &from, const QString &to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Removes the folder at `path` (without trailing "/"), or a link in its
// place as a link.
void removeFolder(const QString &path) {
  const QFileInfo info(path);
  if (info.isSymLink())
    QFile::remove(path);
  else if (info.isDir())
    QDir(path).removeRecursively();
}

// Keeps a copy of the bank at `bank` in the backup folder; returns its path,
// or throws AppError when no copy could be made.
QString keepReplacedBank(const QString &root, const QString &bank) {
  QDir().mkpath(root + QStringLiteral("backup"));
  const QString dated = RestoreBackupPath(root, QDateTime::currentDateTime());
  QString target = dated;
  for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-journal")); ++n)
    target = dated.chopped(3) + QStringLiteral("-%1.db").arg(n);
  try {
    // Through the engine: a journal a crash left is rolled back on the way,
    // so the copy holds the committed rows.
    CopyBank(bank, target, BankCopyFormat::Bank);
    return target;
  } catch (const AppError &) {
  }
  // A bank the engine refuses (damaged, not accepted) is kept as it is, with
  // its journal beside the copy, where it belongs to the copy.
  const QString partial = target + QStringLiteral(".partial");
  QFile::remove(partial);
  if (!QFile::copy(bank, partial)) {
    QFile::remove(partial);
    throw FileError(QStringLiteral("无法把现在的题库复制到 %1").arg(target));
  }
  try {
    ReplaceWithPartial(partial, target);
  } catch (...) {
    QFile::remove(partial);
    throw;
  }
  const QString journal = bank + QStringLiteral("-journal");
  if (QFileInfo(journal).isFile() && !renameOver(journal, target + QStringLiteral("-journal")))
    throw FileError(QStringLiteral("无法把题库的日志文件 %1 移到备份旁").arg(journal));
  return target;
}
} // namespace

QString PendingRestorePath(const QString &root) { return root + QStringLiteral("QBRX.db.restore"); }

QString RestoreWorkPath(const QString &root) { return root + QStringLiteral("QBRX.restore-work/"); }

QString RestoreBackupPath(const QString &root, const QDateTime &when) {
  return root + QStringLiteral("backup/QBRX-还原前-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
         QStringLiteral(".db");
}

PendingRestoreResult ApplyPendingRestore(const QString &root, QString *detail) {
  removeFolder(RestoreWorkPath(root).chopped(1));
  const QString pending = PendingRestorePath(root);
  const QString bank = root + QStringLiteral("QBRX.db");
  const QFileInfo info(pending);
  if (!info.exists() && !info.isSymLink())
    return PendingRestoreResult::None;
  auto tell = [&](const QString &text) {
    if (detail)
      *detail = text;
  };
  QString refusal;
  if (info.isSymLink() || !info.isFile())
    refusal = QStringLiteral("%1 不是普通文件").arg(pending);
  else
    refusal = BankFileRefusal(pending);
  if (!refusal.isEmpty()) {
    renameOver(pending, pending + QStringLiteral("-refused"));
    tell(refusal);
    return PendingRestoreResult::Discarded;
  }
  if (QFileInfo::exists(bank)) {
    try {
      tell(keepReplacedBank(root, bank));
    } catch (const AppError &e) {
      tell(e.message());
      return PendingRestoreResult::Deferred;
    }
  }
  if (!renameOver(pending, bank)) {
    tell(QStringLiteral("无法把 %1 改名为 QBRX.db").arg(pending));
    return PendingRestoreResult::Deferred;
  }
  return PendingRestoreResult::Applied;
}

void RecoverInterruptedReplace(const QString &root) {
  const QString bank = root + QStringLiteral("QBRX.db");
  const QString kept = bank + QStringLiteral(".replacing");
  if (!QFileInfo(kept).isFile())
    return;
  if (InspectBankFile(bank) != BankHeader::Ours && InspectBankFile(kept) == BankHeader::Ours)
    renameOver(kept, bank);
  else
    QFile::remove(kept);
}

QString UpdateStagingPath(const QString &root) { return root + QStringLiteral("QBRX.update/"); }

void DiscardUpdateStaging(const QString &root) { removeFolder(UpdateStagingPath(root).chopped(1)); }
