#pragma once
// Writes small RAR 4 and RAR 5 archives with stored (uncompressed) entries,
// for the tests and the benchmark: folders, comments, GBK names, wrong CRCs,
// entries marked encrypted, links and hostile names. Header CRCs and data
// areas are written as readers expect them. Plain C++, no Qt, so the
// sanitizer build of the fuzz driver can use it too.

#include <cstdint>
#include <string>
#include <vector>

namespace RarWriter {

enum class Link { None, Symlink, HardLink, FileCopy };

struct Entry {
  std::string name; // stored bytes: UTF-8 (RAR 5, or RAR 4 with `unicode`), else GBK/ASCII
  std::string data;
  bool dir = false;
  bool unicode = false;         // RAR 4: the Unicode-flag name form
  uint32_t attr = 0x20;         // Windows archive bit; folders get 0x10
  int hostOS = 2;               // RAR 4 numbering: 2 Windows, 3 Unix
  uint32_t dosTime = 0x5a8c6a21; // 2025-04-12 13:17:02
  bool exactTime = false;       // the time one second past dosTime plus timeFraction: RAR 4 in an
                                // extended time block, RAR 5 as a Windows time in a time record
  uint32_t timeFraction = 0;    // 100 ns units
  bool noTime = false;          // RAR 5: no modification time at all
  unsigned version = 0;         // RAR 5: stored as this version of its file when not 0
  bool badCrc = false;          // the stored CRC does not match the data
  bool encrypted = false;       // flagged encrypted (the data stays plain)
  bool solid = false;           // entry flag: uses the previous entries' dictionary
  bool splitBefore = false;     // continued from the previous volume
  bool splitAfter = false;      // continued in the next volume
  Link link = Link::None;       // RAR 4 knows symbolic links only (Unix host)
  std::string linkTarget;
};

struct Archive {
  int version = 4; // 4 or 5
  std::vector<Entry> entries;
  std::string comment; // stored comment block when not empty
  bool locked = false;
  bool solid = false;
  bool volume = false;
  bool recovery = false; // the flag only
  bool encryptedHeaders = false;
};

std::string build(const Archive &archive);
bool save(const Archive &archive, const std::string &path);
uint32_t crc32(const std::string &data, uint32_t crc = 0);

} // namespace RarWriter
