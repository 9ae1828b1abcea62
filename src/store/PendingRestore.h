#pragma once
// A restore never copies over the open bank: the checked copy waits beside
// it as QBRX.db.restore, complete and masked, and the next start puts it in
// the bank's place by one rename before it unmasks anything. A start that
// finds a bank replacement of the running program cut short
// (QBRX.db.replacing beside the bank) puts the old bank back when the new
// one is not a bank of ours, and otherwise drops the kept copy.

#include <QString>

// The pending restore of the program directory `root` (with trailing "/").
QString PendingRestorePath(const QString &root);

// What the start found and did.
enum class PendingRestoreResult {
  None,     // nothing pending
  Applied,  // the pending file took the bank's place
  Discarded // the pending file was no bank of ours and was set aside
};

// Run by the start once it holds the directory's lock, before the bank is
// unmasked. A pending file that is not a bank of ours is renamed to
// QBRX.db.restore-refused (never deleted) and the bank stays.
PendingRestoreResult ApplyPendingRestore(const QString &root);
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
