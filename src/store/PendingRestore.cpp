#include "store/PendingRestore.h"
#include "store/EncryptionMDB.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {
bool renameOver(const QString &from, const QString &to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
} // namespace

QString PendingRestorePath(const QString &root) { return root + QStringLiteral("QBRX.db.restore"); }

PendingRestoreResult ApplyPendingRestore(const QString &root) {
  const QString pending = PendingRestorePath(root);
  const QFileInfo info(pending);
  if (!info.exists() && !info.isSymLink())
    return PendingRestoreResult::None;
  if (info.isFile() && !info.isSymLink() && InspectBankFile(pending) == BankHeader::Ours &&
      renameOver(pending, root + QStringLiteral("QBRX.db")))
    return PendingRestoreResult::Applied;
  renameOver(pending, pending + QStringLiteral("-refused"));
  return PendingRestoreResult::Discarded;
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

void DiscardUpdateStaging(const QString &root) {
  const QString staging = UpdateStagingPath(root);
  const QFileInfo info(staging.chopped(1));
  if (info.isSymLink())
    QFile::remove(info.filePath());
  else if (info.isDir())
    QDir(staging).removeRecursively();
}
