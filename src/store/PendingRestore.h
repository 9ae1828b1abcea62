#pragma once
// A restore never copies over the open bank: the checked copy waits beside
// it as QBRX.db.restore (owner-only, complete and masked), and the next
// start checks it in full again and puts it in the bank's place by one
// rename before it unmasks anything; the bank it replaces is kept in the
// program's backup folder first. A start that finds a bank replacement of
// the running program cut short (QBRX.db.replacing beside the bank) puts the
// old bank back when the new one is not a bank of ours, and otherwise drops
// the kept copy.

#include <QDateTime>
#include <QString>

// The pending restore of the program directory `root` (with trailing "/").
QString PendingRestorePath(const QString &root);

// The folder where a restore copies the chosen file (with its journal or
// WAL) to check it without ever writing the learner's own file; the start
// removes what a stopped restore left there.
QString RestoreWorkPath(const QString &root);

// "backup/QBRX-还原前-yyyyMMdd-HHmmss.db" below `root`: where the bank a
// restore replaces is kept.
QString RestoreBackupPath(const QString &root, const QDateTime &when);

// What the start found and did.
enum class PendingRestoreResult {
  None,      // nothing pending
  Applied,   // the pending file took the bank's place; the replaced bank is in backup/
  Discarded, // the pending file failed its check and was set aside
  Deferred,  // the bank in use could not be kept: nothing changed, the file still waits
};

// Run by the start once it holds the directory's lock, before the bank is
// unmasked. The pending file is checked in full (BankFileRefusal: a regular
// file, not a link, of a bank's size, our header, opens with the password,
// schema, quick check, tables); one that fails is renamed to
// QBRX.db.restore-refused (never deleted) and the bank stays. Before the
// rename the bank in use is copied to RestoreBackupPath (through the engine,
// which rolls back a journal a crash left; a bank the engine refuses is
// copied byte for byte, its journal moved beside the copy). `detail`
// receives the reason of a refusal or a deferral, or the backup's path.
PendingRestoreResult ApplyPendingRestore(const QString &root, QString *detail = nullptr);
// The same start step for an interrupted replacement of the open bank.
void RecoverInterruptedReplace(const QString &root);

// The folder where an online update gathers and checks its files before
// anything of the program is replaced (inside the program directory, so that
// the bank moves into place by one rename).
QString UpdateStagingPath(const QString &root);
// Run by the start beside the two above: what an update left in its staging
// folder never took effect (the bank's rename is the update's last step)
// and is removed.
void DiscardUpdateStaging(const QString &root);
