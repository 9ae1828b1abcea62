#pragma once
// Masking of the database file at rest: 40 bytes at offset 66 are either the
// genuine block (the file opens with the password) or the masking block (the
// shim refuses it).

#include "store/BankFile.h"
#include <QString>

extern const char *const kDatabasePassword;      // "qmtlvb20090523"
extern const BankFile::Block kGenuineBlock;      // belongs to the password
extern const BankFile::Block kMaskingBlock;      // any other 40 bytes

// Each writes its block at offset 66 of an existing file, without truncating
// and without reading; the length stays the same. A missing file is silently
// ignored; an open or write error, or a path that is not a regular file,
// throws FileError.
void MaskDatabaseFile(const QString &path);
void UnmaskDatabaseFile(const QString &path);

// What the start-up does before opening: one open of the file that reads the
// header page and, only when it is ours, writes the genuine block. A file
// that is not ours, not a regular file or of a newer format than this program
// knows is never written to. `formatVersion`, when given, receives the
// format version of a header of ours. Throws FileError when the file exists
// but cannot be opened or written.
enum class BankHeader {
  Missing,
  NotAFile,    // a folder, FIFO, device...: never opened for reading
  NotOurs,
  NewerFormat, // ours, but of a format version this program does not know
  Ours,
};
BankHeader UnmaskIfOurs(const QString &path, int *formatVersion = nullptr);
// Reads the header page only.
BankHeader InspectBankFile(const QString &path, int *formatVersion = nullptr);
