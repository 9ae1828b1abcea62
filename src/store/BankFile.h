#pragma once
// The QBRX.db file format: one 4096-byte header page of ours followed by an
// ordinary SQLite 3 database image. The header holds a magic text, a format
// version and, at offset 66, the 40-byte password block. A SQLite VFS named
// "qbrx" hides the header page from the engine and refuses a file whose
// password block does not match the password given at open (SQLITE_AUTH).

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace BankFile {

constexpr int kHeaderSize = 4096;
constexpr int kBlockOffset = 66;
constexpr int kBlockSize = 40;
constexpr int kFormatVersion = 1;
constexpr const char *kVfsName = "qbrx";
// File control opcode of the shim: write a 40-byte block (the argument points
// at it) at offset 66 of the open main database file through the connection's
// own file handle.
constexpr int kFcntlWriteBlock = 0x51425201;

using Block = std::array<unsigned char, kBlockSize>;

// The 16 bytes at the start of every bank file.
QByteArray magic();

// The format version stored after the magic (bytes 16..19, little endian) of
// a header page's first 20 bytes.
quint32 formatVersion(const unsigned char *head20);

// The format version of the file the shim last refused on this thread for
// being newer than kFormatVersion; 0 when its last open was not refused for
// that reason.
int lastRefusedNewerVersion();

// What the learner and the vendor read about a bank of a newer format.
QString newerFormatMessage(int version);

// The genuine block for a password: the bytes that make the file openable.
Block blockForPassword(const QByteArray &password);

// Registers the shim with SQLite (idempotent, thread-safe).
void registerVfs();

// A fresh header page carrying the given block.
QByteArray headerPage(const Block &block);

// The URI that opens `path` through the shim with `password`. With
// `alsoAccepted`, a file carrying that block instead of the genuine one opens
// too (a copy reads a masked bank as it rests, without unmasking it).
QByteArray openUri(const QString &path, const QByteArray &password, const Block *alsoAccepted = nullptr);

} // namespace BankFile
