#pragma once
// Records and enumerations of the RAR component (TRAR): what an archive
// holds, one listed entry, the replace question and the progress state.

#include <QDateTime>
#include <QString>

enum class TRAROperation { roInitArchive, roListFiles, roExtract, roTest };

enum class TRARReplace { rrCancel, rrOverwrite, rrSkip };

struct TRARReplaceData {
  QString FileName;
  qint64 Size = 0;
  QDateTime Time;
};

// One entry as listed.
struct TRARFileItem {
  QString FileName;  // the 8-bit (UTF-8) name
  QString FileNameW; // the wide name, at most 1024 characters
  quint32 CompressedSize = 0;
  quint32 UnCompressedSize = 0;
  quint64 UnCompressedSize64 = 0; // the whole unpacked size (UnCompressedSize is its lower 32 bits)
  QString HostOS;
  QString CRC32; // hexadecimal, no leading zeros
  quint32 Attributes = 0;
  QString Comment;
  QDateTime Time; // modification time, local: to the fraction of a second when the
                  // archive stores it, else the DOS time (2-second steps)
  int CompressionStrength = 0; // the method number (0x30 stored ... 0x35 best)
  int ArchiverVersion = 0;     // version needed to unpack, major * 10 + minor
  bool Encrypted = false;
};

// What the last OpenFile found out about the archive; cleared by every
// OpenFile.
struct TRARArchiveInformation {
  QString FileName;
  unsigned ArchiverMajorVersion = 0;
  unsigned ArchiverMinorVersion = 0;
  quint64 DictionarySize = 0;
  bool Encryption = false;
  bool Solid = false;
  QString HostOS;
  int TotalFiles = 0;
  quint64 CompressedSize = 0;
  quint64 UnCompressedSize = 0;
  bool HeaderEncrypted = false;
  bool MultiVolume = false;
  bool ArchiveComment = false;
  bool FileComment = false;
  QString Comment;
  bool Signed = false;
  bool Locked = false;
  bool Recovery = false;
  bool fOpened = false; // the archive was listed by OpenFile
  bool fSFX = false;    // the archive file is an executable program

  void clear() { *this = TRARArchiveInformation(); }
};

struct TRARProgressInfo {
  quint32 FileBytesDone = 0;
  quint32 FileBytesTotal = 0;
  QString FileName;
  quint32 TotalSize = 0;
};
