#pragma once
// Every copy of a bank goes through SQLite on the bank itself: the source is
// opened through the shim (as it rests, masked or not), which rolls back a
// hot journal left by a crash, and its pages are copied with the backup API,
// so the copy holds exactly the committed rows. A raw copy of the file alone
// would miss the journal and can be silently corrupt.
//
// The copy is written to DESTINATION.partial and renamed over DESTINATION in
// one step once complete; on any error nothing is left at either name and an
// existing DESTINATION is untouched.

#include <QFileDevice>
#include <QString>

class TADOConnection;

enum class BankCopyFormat {
  Bank,  // a bank file of ours (header page, masked), like QBRX.db
  Plain, // an ordinary SQLite file, for inspection with other tools
};

// Throws FileError when `path` is a folder or lies in a folder that does not
// exist: an output file (a copy, a new bank) is checked before anything is
// written.
void CheckOutputPath(const QString &path);

// Creates a bank file at `path` (a header page with the genuine block and an
// empty image) and opens it on `connection`. With `permissions`, the file is
// made with those (its journal takes them too) instead of the default ones.
void OpenNewBank(TADOConnection &connection, const QString &path, QFileDevice::Permissions permissions = {});

// Whether `destination` names the file at `source` by whatever path: an
// existing destination by its device and inode (through linked folders,
// links to the file and hard links), a new one by its canonical folder.
bool IsSameFile(const QString &source, const QString &destination);

// Flushes `partial` to the disk and renames it over `destination` in one
// step. Throws FileError.
void ReplaceWithPartial(const QString &partial, const QString &destination);

// Copies the bank file at `source`. Throws AppError (FileError or
// EDatabaseError) with a clear message when the source is not a regular file,
// not a bank, of a newer format, cannot be opened to roll back its journal,
// or the destination cannot be written.
void CopyBank(const QString &source, const QString &destination, BankCopyFormat format);

// Same from a connection already open on a bank (the running program's
// own). Refused while that connection has a transaction open, whose
// uncommitted changes a copy must not hold. With `permissions`, the copy is
// made with those from its first byte (OpenNewBank).
void CopyBank(TADOConnection &source, const QString &destination, BankCopyFormat format,
              QFileDevice::Permissions permissions = {});
