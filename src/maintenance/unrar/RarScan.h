// Reads the block headers of a RAR 4 or RAR 5 archive: the archive flags and
// comment and, for every file entry, what the C interface reports. Data areas
// are skipped, never read (the comment's excepted).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rarscan {

struct Entry {
  std::string name;      // UTF-8, "/" between folders
  bool nameSafe = false; // relative, no "..", no drive letter, no NUL, fits the name fields
  unsigned flags = 0;    // RHDF_ bits
  uint64_t packSize = 0;
  uint64_t unpSize = 0;
  bool unpSizeKnown = true;
  unsigned hostOS = 0; // RAR_HOST_ numbering
  uint32_t crc = 0;
  bool hasCrc = false;
  uint32_t dosTime = 0;  // the DOS form of the time below (RAR 4: as stored)
  int64_t mtime = 0;     // seconds since the epoch: the extended or RAR 5 time when
                         // stored, else the DOS time; 1980-01-01 00:00 local without any
  uint32_t mtimeNs = 0;  // and nanoseconds
  unsigned unpVer = 0;
  unsigned method = 0;
  uint32_t attr = 0;
  bool isDir = false;
  bool isLink = false;    // symbolic or hard link, junction, file copy, reparse point
  bool linkTargetIsData = false; // a RAR 4 symbolic link: its stored data is the target
  bool encrypted = false;
  uint64_t dataOffset = 0;
};

struct Archive {
  int format = 0;              // 4 or 5
  unsigned flags = 0;          // ROADF_ bits
  bool headersEncrypted = false;
  bool hasComment = false;     // a comment this library could read
  std::string comment;         // UTF-8
  std::vector<Entry> entries;
  int endCode = 10;            // what reading past the last entry gives
  uint64_t fileSize = 0;
};

// 0 on success, else an ERAR_ code (EOPEN, UNKNOWN_FORMAT, BAD_DATA, BAD_ARCHIVE).
// Damage after the archive header is not an error here: the entries before it
// are kept and endCode says what went wrong.
int scan(const std::string &path, Archive &out);

// Entry name helpers, shared with the extraction code.
void appendUtf8(std::string &out, char32_t c);
std::string gbkToUtf8(const std::string &bytes, bool *ok);
bool isSafeRelativeName(const std::string &utf8Name);
uint32_t unixToDos(int64_t t);
int64_t dosToUnix(uint32_t dos);
// The time of an entry that stores none: 1980-01-01 00:00 local, the
// earliest a DOS time can say, so that the file and its listing agree.
int64_t noTime();

} // namespace rarscan
