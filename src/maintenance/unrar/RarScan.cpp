#include "RarScan.h"
#include "Crc32.h"
#include "qbrx_unrar.h"


#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rarscan {
namespace {

const unsigned char kSig4[7] = {0x52, 0x61, 0x72, 0x21, 0x1a, 0x07, 0x00};
const unsigned char kSig5[8] = {0x52, 0x61, 0x72, 0x21, 0x1a, 0x07, 0x01, 0x00};
const uint64_t kMaxHeader5 = 2 * 1024 * 1024;
const size_t kMaxComment = 1024 * 1024;
const size_t kMaxNameBytes = 1023; // the interface's name fields hold 1024 with the zero

class File {
public:
  explicit File(const std::string &path) { m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
  ~File() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  bool isOpen() const { return m_fd >= 0; }
  uint64_t size() const {
    struct stat st;
    return ::fstat(m_fd, &st) == 0 ? uint64_t(st.st_size) : 0;
  }
  // Exactly n bytes at offset, or false.
  bool read(uint64_t offset, void *buf, size_t n) const {
    auto *p = static_cast<unsigned char *>(buf);
    while (n > 0) {
      ssize_t r = ::pread(m_fd, p, n, off_t(offset));
      if (r < 0 && errno == EINTR)
        continue;
      if (r <= 0)
        return false;
      p += r;
      n -= size_t(r);
      offset += uint64_t(r);
    }
    return true;
  }

private:
  int m_fd = -1;
};

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

uint32_t crc32Of(const unsigned char *p, size_t n) { return crc32(0, p, n); }

std::string utf16ToUtf8(const std::u16string &s, bool *ok) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xd800 && c < 0xdc00 && i + 1 < s.size() && s[i + 1] >= 0xdc00 && s[i + 1] < 0xe000) {
      c = 0x10000 + ((c - 0xd800) << 10) + (s[i + 1] - 0xdc00);
      ++i;
    } else if (c >= 0xd800 && c < 0xe000) {
      c = 0xfffd;
      *ok = false;
    }
    appendUtf8(out, c);
  }
  return out;
}

bool validUtf8(const std::string &s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    size_t n = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : 9;
    if (n == 9 || (n == 1 && c < 0xc2) || i + n >= s.size() + (n ? 0 : 1))
      return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80)
        return false;
    i += n + 1;
  }
  return true;
}

// RAR 4 names with the Unicode flag: an 8-bit name, a zero, then the wide
// name packed against the 8-bit one.
std::u16string decodeRar4Unicode(const unsigned char *name, size_t nameLen, const unsigned char *enc, size_t encLen) {
  std::u16string out;
  if (encLen == 0)
    return out;
  const unsigned highByte = enc[0];
  size_t pos = 1;
  unsigned flags = 0;
  int flagBits = 0;
  while (pos < encLen && out.size() < 4096) {
    if (flagBits == 0) {
      flags = enc[pos++];
      flagBits = 8;
      if (pos > encLen)
        break;
    }
    flagBits -= 2;
    switch ((flags >> flagBits) & 3) {
    case 0:
      if (pos >= encLen)
        return out;
      out += char16_t(enc[pos++]);
      break;
    case 1:
      if (pos >= encLen)
        return out;
      out += char16_t(enc[pos++] | (highByte << 8));
      break;
    case 2:
      if (pos + 1 >= encLen)
        return out;
      out += char16_t(enc[pos] | (enc[pos + 1] << 8));
      pos += 2;
      break;
    default: {
      if (pos >= encLen)
        return out;
      unsigned length = enc[pos++];
      if (length & 0x80) {
        if (pos >= encLen)
          return out;
        const unsigned correction = enc[pos++];
        for (length = (length & 0x7f) + 2; length > 0 && out.size() < nameLen; --length)
          out += char16_t(((name[out.size()] + correction) & 0xff) | (highByte << 8));
      } else {
        for (length += 2; length > 0 && out.size() < nameLen; --length)
          out += char16_t(name[out.size()]);
      }
      break;
    }
    }
  }
  return out;
}

void finishName(Entry &e) {
  for (char &c : e.name)
    if (c == '\\')
      c = '/';
  e.nameSafe = e.nameSafe && e.name.size() <= kMaxNameBytes && isSafeRelativeName(e.name);
}

// Unix, Mac OS and BeOS store a Unix mode as the attributes.
bool isUnixLike(unsigned hostOS) { return hostOS == RAR_HOST_UNIX || hostOS == 4 || hostOS == 5; }

bool isLinkMode(unsigned hostOS, uint32_t attr) {
  if (isUnixLike(hostOS))
    return (attr & 0xf000) == 0xa000;
  if (hostOS == RAR_HOST_WINDOWS || hostOS == RAR_HOST_DOS)
    return (attr & 0x400) != 0; // reparse point
  return false;
}

// Ends the block walk with `code`: before the archive header it is the open
// result; after it the entries read so far stay and reading on gives `code`.
int stop(Archive &out, bool mainSeen, int code) {
  out.endCode = code;
  return mainSeen ? 0 : code;
}

// Unpacks the one file of an archive in memory: exactly unpSize bytes.
bool unpackOneFile(const std::string &archive, size_t unpSize, std::string &text) {
  struct archive *a = archive_read_new();
  if (!a)
    return false;
  archive_read_support_format_rar(a);
  archive_read_support_format_rar5(a);
  bool ok = false;
  struct archive_entry *entry;
  if (archive_read_open_memory(a, archive.data(), archive.size()) == ARCHIVE_OK &&
      archive_read_next_header(a, &entry) == ARCHIVE_OK) {
    text.assign(unpSize, '\0');
    size_t done = 0;
    la_ssize_t n = 0;
    while (done < unpSize && (n = archive_read_data(a, &text[done], unpSize - done)) > 0)
      done += size_t(n);
    ok = done == unpSize && n >= 0;
  }
  archive_read_free(a);
  return ok;
}

// ---- RAR 4 ---------------------------------------------------------------

// The extended time block at `at` (after the name and the salt), when the
// entry has one: its modification time part adds the second the DOS time
// cannot hold and the fraction, in 100 ns units stored in 0 to 3 bytes.
void readExtTime4(const unsigned char *h, size_t headSize, size_t at, unsigned flags, Entry &e) {
  if (!(flags & 0x1000) || at > headSize || headSize - at < 2)
    return;
  const unsigned rmode = le16(h + at) >> 12;
  at += 2;
  const unsigned count = rmode & 3;
  if (!(rmode & 8) || headSize - at < count)
    return;
  uint32_t rem = 0;
  for (unsigned j = 0; j < count; ++j)
    rem |= uint32_t(h[at + j]) << ((j + 3 - count) * 8);
  e.mtime += ((rmode & 4) ? 1 : 0) + rem / 10000000;
  e.mtimeNs = rem % 10000000 * 100;
}

// A RAR 4 block with its CRC16 (the low half of the CRC32 of all after it).
std::string block4(unsigned type, unsigned flags, const std::string &body) {
  std::string b(7, '\0');
  b[2] = char(type);
  b[3] = char(flags & 0xff);
  b[4] = char(flags >> 8);
  b[5] = char((body.size() + 7) & 0xff);
  b[6] = char((body.size() + 7) >> 8);
  b += body;
  const uint32_t crc = crc32Of(reinterpret_cast<const unsigned char *>(b.data()) + 2, b.size() - 2);
  b[0] = char(crc & 0xff);
  b[1] = char((crc >> 8) & 0xff);
  return b;
}

// The data of a "CMT" service block, which has the layout of a file block:
// libarchive unpacks it as the one file of a small archive made around it.
bool unpackComment4(const std::string &cmtHead, const std::string &packed, size_t unpSize, std::string &text) {
  std::string fileHead = cmtHead;
  fileHead[2] = char(0x74);
  fileHead[3] = char(fileHead[3] & ~0x10); // not solid
  fileHead = block4(0x74, uint8_t(fileHead[3]) | uint8_t(fileHead[4]) << 8, fileHead.substr(7));
  const std::string archive = std::string(reinterpret_cast<const char *>(kSig4), 7) +
                              block4(0x73, 0, std::string(6, '\0')) + fileHead + packed + block4(0x7b, 0x4000, "");
  return unpackOneFile(archive, unpSize, text);
}

int scan4(const File &f, uint64_t pos, Archive &out) {
  out.format = 4;
  const uint64_t size = out.fileSize;
  bool mainSeen = false;
  while (true) {
    if (pos == size) // no end-of-archive block: the file was cut at a block boundary
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    unsigned char base[7];
    if (pos + 7 > size || !f.read(pos, base, 7)) {
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    }
    const unsigned type = base[2];
    const unsigned flags = le16(base + 3);
    const unsigned headSize = le16(base + 5);
    if (headSize < 7 || pos + headSize > size) {
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    }
    std::string head(headSize, '\0');
    auto *h = reinterpret_cast<unsigned char *>(&head[0]);
    if (!f.read(pos, h, headSize)) {
      return stop(out, mainSeen, ERAR_EREAD);
    }
    const bool crcOk = (crc32Of(h + 2, headSize - 2) & 0xffff) == le16(h);
    if (!mainSeen) {
      if (type != 0x73 || headSize < 13)
        return ERAR_BAD_ARCHIVE;
      if (!crcOk)
        return ERAR_BAD_DATA;
      mainSeen = true;
      if (flags & 0x0001)
        out.flags |= ROADF_VOLUME;
      if (flags & 0x0002)
        out.flags |= ROADF_COMMENT;
      if (flags & 0x0004)
        out.flags |= ROADF_LOCK;
      if (flags & 0x0008)
        out.flags |= ROADF_SOLID;
      if (flags & 0x0010)
        out.flags |= ROADF_NEWNUMBERING;
      if (flags & 0x0020)
        out.flags |= ROADF_SIGNED;
      if (flags & 0x0040)
        out.flags |= ROADF_RECOVERY;
      if (flags & 0x0100)
        out.flags |= ROADF_FIRSTVOLUME;
      if (flags & 0x0080) {
        out.flags |= ROADF_ENCHEADERS;
        out.headersEncrypted = true;
        return 0;
      }
      pos += headSize;
      continue;
    }
    if (!crcOk) {
      return stop(out, true, ERAR_BAD_DATA);
    }
    uint64_t dataSize = 0;
    if (type == 0x74 || type == 0x7a) {
      if (headSize < 32) {
        return stop(out, true, ERAR_BAD_ARCHIVE);
      }
      uint64_t packSize = le32(h + 7);
      uint64_t unpSize = le32(h + 11);
      size_t p = 32;
      if (flags & 0x0100) {
        if (headSize < 40) {
          return stop(out, true, ERAR_BAD_ARCHIVE);
        }
        packSize |= uint64_t(le32(h + 32)) << 32;
        unpSize |= uint64_t(le32(h + 36)) << 32;
        p = 40;
      }
      const unsigned nameSize = le16(h + 26);
      if (p + nameSize > headSize) {
        return stop(out, true, ERAR_BAD_ARCHIVE);
      }
      dataSize = packSize;
      const unsigned char *name = h + p;
      const uint64_t dataOffset = pos + headSize;
      if (type == 0x7a) {
        // A service block; "CMT" holds the archive comment, often packed.
        if (nameSize == 3 && std::memcmp(name, "CMT", 3) == 0 && !(flags & 0x04) && packSize <= kMaxComment &&
            unpSize <= kMaxComment && dataOffset + packSize <= size) {
          std::string packed(size_t(packSize), '\0');
          std::string text;
          if (f.read(dataOffset, &packed[0], packed.size()) && unpackComment4(head, packed, size_t(unpSize), text) &&
              crc32Of(reinterpret_cast<const unsigned char *>(text.data()), text.size()) == le32(h + 16)) {
            bool ok = true;
            out.comment = validUtf8(text) ? text : gbkToUtf8(text, &ok);
            out.hasComment = true;
            out.flags |= ROADF_COMMENT;
          }
        }
      } else {
        Entry e;
        e.flags = flags & 0xff & ~RHDF_COMMENT;
        e.packSize = packSize;
        e.unpSize = unpSize;
        e.hostOS = h[15];
        e.crc = le32(h + 16);
        e.hasCrc = true;
        e.dosTime = le32(h + 20);
        e.mtime = dosToUnix(e.dosTime);
        readExtTime4(h, headSize, p + nameSize + ((flags & 0x0400) ? 8 : 0), flags, e);
        e.unpVer = h[24];
        e.method = h[25];
        e.attr = le32(h + 28);
        e.isDir = (flags & 0xe0) == 0xe0;
        e.encrypted = flags & 0x04;
        e.isLink = isLinkMode(e.hostOS, e.attr);
        e.linkTargetIsData = e.isLink && !e.isDir && isUnixLike(e.hostOS);
        e.dataOffset = dataOffset;
        e.nameSafe = true;
        const void *zero = std::memchr(name, 0, nameSize);
        if (flags & 0x0200) {
          if (zero) {
            const size_t len = static_cast<const unsigned char *>(zero) - name;
            e.name = utf16ToUtf8(decodeRar4Unicode(name, len, name + len + 1, nameSize - len - 1), &e.nameSafe);
          } else {
            e.name.assign(reinterpret_cast<const char *>(name), nameSize);
            e.nameSafe = validUtf8(e.name);
          }
        } else {
          // 8-bit names: code page 936 from Windows and DOS, UTF-8 from
          // Unix when they read as such.
          e.nameSafe = zero == nullptr;
          const std::string bytes(reinterpret_cast<const char *>(name), nameSize);
          e.name = e.hostOS == RAR_HOST_UNIX && validUtf8(bytes) ? bytes : gbkToUtf8(bytes, &e.nameSafe);
        }
        finishName(e);
        out.entries.push_back(std::move(e));
      }
    } else if (type == 0x7b) {
      return stop(out, true, ERAR_END_ARCHIVE);
    } else if (flags & 0x8000) {
      if (headSize < 11) {
        return stop(out, true, ERAR_BAD_ARCHIVE);
      }
      dataSize = le32(h + 7);
    }
    if (dataSize > size - pos - headSize) {
      // The data area runs past the end of the file: the entry is recorded
      // (its skip or extraction reports the damage), nothing follows.
      return stop(out, true, ERAR_BAD_DATA);
    }
    pos += headSize + dataSize;
  }
}

// ---- RAR 5 ---------------------------------------------------------------

class Reader5 {
public:
  Reader5(const unsigned char *p, size_t n) : m_p(p), m_n(n) {}
  bool vint(uint64_t &v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (m_pos >= m_n)
        return false;
      const unsigned char b = m_p[m_pos++];
      v |= uint64_t(b & 0x7f) << shift;
      if (!(b & 0x80))
        return true;
    }
    return false;
  }
  bool u32(uint32_t &v) {
    if (m_n - m_pos < 4)
      return false;
    v = le32(m_p + m_pos);
    m_pos += 4;
    return true;
  }
  bool u64(uint64_t &v) {
    uint32_t lo, hi;
    if (!u32(lo) || !u32(hi))
      return false;
    v = uint64_t(hi) << 32 | lo;
    return true;
  }
  bool bytes(size_t n, const unsigned char *&out) {
    if (m_n - m_pos < n)
      return false;
    out = m_p + m_pos;
    m_pos += n;
    return true;
  }
  size_t pos() const { return m_pos; }
  size_t left() const { return m_n - m_pos; }

private:
  const unsigned char *m_p;
  size_t m_n;
  size_t m_pos = 0;
};

int64_t fileTimeToUnix(uint64_t ft) { return int64_t(ft / 10000000ULL) - 11644473600LL; }

// The file or service header's own fields and extra records.
// `versionSuffix`: ";N" for an entry stored as version N of its file (the
// name it is listed and extracted under, as libarchive gives it).
bool parseFile5(Reader5 &r, const unsigned char *headBase, uint64_t extraSize, size_t headSize, Entry &e,
                std::string &rawName, std::string &versionSuffix) {
  uint64_t fileFlags, unpSize, attr, compInfo, hostOS, nameLen;
  if (!r.vint(fileFlags) || !r.vint(unpSize) || !r.vint(attr))
    return false;
  uint32_t mtime = 0, crc = 0;
  if ((fileFlags & 0x2) && !r.u32(mtime))
    return false;
  if ((fileFlags & 0x4) && !r.u32(crc))
    return false;
  const unsigned char *name;
  if (!r.vint(compInfo) || !r.vint(hostOS) || !r.vint(nameLen) || nameLen > 65535 || !r.bytes(size_t(nameLen), name))
    return false;
  rawName.assign(reinterpret_cast<const char *>(name), size_t(nameLen));
  e.unpSize = unpSize;
  e.unpSizeKnown = !(fileFlags & 0x8);
  e.attr = uint32_t(attr);
  e.mtime = mtime;
  bool hasTime = fileFlags & 0x2;
  e.hasCrc = fileFlags & 0x4;
  e.crc = crc;
  e.isDir = fileFlags & 0x1;
  e.hostOS = hostOS == 0 ? RAR_HOST_WINDOWS : hostOS == 1 ? RAR_HOST_UNIX : unsigned(hostOS) + 2;
  const unsigned version = compInfo & 0x3f;
  e.unpVer = version == 0 ? 50 : 70;
  e.method = 0x30 + unsigned((compInfo >> 7) & 7);
  if (compInfo & 0x40)
    e.flags |= RHDF_SOLID;
  if (e.isDir) {
    e.flags |= RHDF_DIRECTORY;
  } else {
    const unsigned code = std::min(6u, unsigned((compInfo >> 10) & 0xf) + 1);
    e.flags |= code << 5;
  }
  // Extra area: records of size, type, data, at the end of the header.
  if (extraSize > headSize || r.pos() > headSize - extraSize)
    return false;
  const unsigned char *extra = headBase + (headSize - extraSize);
  Reader5 ex(extra, size_t(extraSize));
  while (ex.left() > 0) {
    uint64_t recSize, recType;
    if (!ex.vint(recSize) || recSize > ex.left())
      return false;
    const unsigned char *rec;
    ex.bytes(size_t(recSize), rec);
    Reader5 rr(rec, size_t(recSize));
    if (!rr.vint(recType))
      return false;
    if (recType == 0x01) {
      e.encrypted = true;
    } else if (recType == 0x05) {
      e.isLink = true;
    } else if (recType == 0x03) {
      uint64_t tflags;
      if (rr.vint(tflags) && (tflags & 0x2)) {
        if (tflags & 0x1) {
          // Unix seconds; with flag 0x10 the nanoseconds follow all three times.
          uint32_t t, ns;
          const unsigned char *skipped;
          if (rr.u32(t)) {
            e.mtime = t;
            e.mtimeNs = 0;
            hasTime = true;
            if ((tflags & 0x10) && rr.bytes(((tflags & 0x4) ? 4 : 0) + ((tflags & 0x8) ? 4 : 0), skipped) &&
                rr.u32(ns) && ns < 1000000000u)
              e.mtimeNs = ns;
          }
        } else {
          uint64_t ft;
          if (rr.u64(ft)) {
            e.mtime = fileTimeToUnix(ft);
            e.mtimeNs = uint32_t(ft % 10000000ULL) * 100;
            hasTime = true;
          }
        }
      }
    } else if (recType == 0x04) {
      uint64_t vflags, version;
      if (rr.vint(vflags) && rr.vint(version))
        versionSuffix = ";" + std::to_string(version);
    }
  }
  if (!hasTime) {
    e.mtime = noTime();
    e.mtimeNs = 0;
  }
  if (e.encrypted)
    e.flags |= RHDF_ENCRYPTED;
  if (!e.isLink)
    e.isLink = isLinkMode(e.hostOS, e.attr);
  e.dosTime = unixToDos(e.mtime);
  return true;
}

// A RAR 5 block: CRC32 of the size field and the header, then both.
std::string block5(const std::string &sizedHeader) {
  const uint32_t crc = crc32Of(reinterpret_cast<const unsigned char *>(sizedHeader.data()), sizedHeader.size());
  std::string b;
  for (int i = 0; i < 4; ++i)
    b += char((crc >> (8 * i)) & 0xff);
  return b + sizedHeader;
}

// The data of a "CMT" service block (`head`: its size field and header),
// which has the layout of a file block: libarchive unpacks it as the one
// file of a small archive made around it.
bool unpackComment5(const std::string &head, size_t sizeLen, const std::string &packed, size_t unpSize,
                    std::string &text) {
  if (static_cast<unsigned char>(head[sizeLen]) != 3)
    return false;
  std::string fileHead = head;
  fileHead[sizeLen] = char(2);
  const std::string archive = std::string(reinterpret_cast<const char *>(kSig5), 8) +
                              block5(std::string("\x03\x01\x00\x00", 4)) + block5(fileHead) + packed +
                              block5(std::string("\x03\x05\x00\x00", 4));
  return unpackOneFile(archive, unpSize, text);
}

int scan5(const File &f, uint64_t pos, Archive &out) {
  out.format = 5;
  const uint64_t size = out.fileSize;
  bool mainSeen = false;
  while (true) {
    if (pos == size) // no end-of-archive block: the file was cut at a block boundary
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    unsigned char start[7];
    const size_t startLen = size_t(std::min<uint64_t>(7, size - pos));
    Reader5 sr(start, startLen);
    uint32_t headCrc;
    uint64_t headSize;
    if (!f.read(pos, start, startLen) || !sr.u32(headCrc) || !sr.vint(headSize) || headSize == 0 ||
        headSize > kMaxHeader5 || headSize > size - pos - sr.pos()) {
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    }
    const size_t sizeLen = sr.pos() - 4;
    std::string head(sizeLen + size_t(headSize), '\0');
    auto *h = reinterpret_cast<unsigned char *>(&head[0]);
    if (!f.read(pos + 4, h, head.size())) {
      return stop(out, mainSeen, ERAR_EREAD);
    }
    if (crc32Of(h, head.size()) != headCrc)
      return stop(out, mainSeen, ERAR_BAD_DATA);
    Reader5 r(h + sizeLen, size_t(headSize));
    uint64_t type, hflags, extraSize = 0, dataSize = 0;
    bool ok = r.vint(type) && r.vint(hflags) && (!(hflags & 0x1) || r.vint(extraSize)) &&
              (!(hflags & 0x2) || r.vint(dataSize));
    if (!ok || (!mainSeen && type != 1 && type != 4)) {
      return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
    }
    const uint64_t dataOffset = pos + 4 + head.size();
    if (type == 1) {
      uint64_t arcFlags;
      if (!r.vint(arcFlags)) {
        return stop(out, mainSeen, ERAR_BAD_ARCHIVE);
      }
      uint64_t volNumber = 0;
      if (arcFlags & 0x2)
        r.vint(volNumber);
      if (arcFlags & 0x1) {
        out.flags |= ROADF_VOLUME | ROADF_NEWNUMBERING;
        if (volNumber == 0)
          out.flags |= ROADF_FIRSTVOLUME;
      }
      if (arcFlags & 0x4)
        out.flags |= ROADF_SOLID;
      if (arcFlags & 0x8)
        out.flags |= ROADF_RECOVERY;
      if (arcFlags & 0x10)
        out.flags |= ROADF_LOCK;
      mainSeen = true;
    } else if (type == 4) {
      out.flags |= ROADF_ENCHEADERS;
      out.headersEncrypted = true;
      return 0;
    } else if (type == 2 || type == 3) {
      Entry e;
      std::string rawName, versionSuffix;
      if (!parseFile5(r, h + sizeLen, extraSize, size_t(headSize), e, rawName, versionSuffix)) {
        return stop(out, true, ERAR_BAD_ARCHIVE);
      }
      e.packSize = dataSize;
      if (hflags & 0x08)
        e.flags |= RHDF_SPLITBEFORE;
      if (hflags & 0x10)
        e.flags |= RHDF_SPLITAFTER;
      e.dataOffset = dataOffset;
      if (type == 3) {
        // The comment: UTF-8, usually stored.
        if (rawName == "CMT" && !e.encrypted && dataSize <= kMaxComment && e.unpSize <= kMaxComment &&
            dataOffset + dataSize <= size) {
          std::string packed(size_t(dataSize), '\0');
          std::string text;
          if (f.read(dataOffset, &packed[0], packed.size()) &&
              unpackComment5(head, sizeLen, packed, size_t(e.unpSize), text) &&
              (!e.hasCrc || crc32Of(reinterpret_cast<const unsigned char *>(text.data()), text.size()) == e.crc)) {
            out.comment = text;
            out.hasComment = true;
            out.flags |= ROADF_COMMENT;
          }
        }
      } else {
        e.name = rawName;
        e.nameSafe = validUtf8(rawName) && rawName.find('\0') == std::string::npos;
        if (!e.nameSafe) {
          bool dummy = true;
          e.name = gbkToUtf8(rawName, &dummy);
        }
        e.name += versionSuffix;
        finishName(e);
        out.entries.push_back(std::move(e));
      }
    } else if (type == 5) {
      return stop(out, true, ERAR_END_ARCHIVE);
    }
    if (dataSize > size - dataOffset) {
      return stop(out, true, ERAR_BAD_DATA);
    }
    pos = dataOffset + dataSize;
  }
}

} // namespace

void appendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xc0 | (c >> 6));
    out += char(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += char(0xe0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3f));
    out += char(0x80 | (c & 0x3f));
  } else {
    out += char(0xf0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3f));
    out += char(0x80 | ((c >> 6) & 0x3f));
    out += char(0x80 | (c & 0x3f));
  }
}

std::string gbkToUtf8(const std::string &bytes, bool *ok) {
  bool ascii = true;
  for (unsigned char c : bytes)
    if (c >= 0x80)
      ascii = false;
  if (ascii)
    return bytes;
  iconv_t cd = iconv_open("UTF-8", "CP936");
  if (cd == iconv_t(-1)) {
    *ok = false;
    return bytes;
  }
  std::string out;
  char buf[1024];
  char *in = const_cast<char *>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char *o = buf;
    size_t oLeft = sizeof buf;
    const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, size_t(o - buf));
    if (r == size_t(-1) && errno != E2BIG) {
      // An invalid or cut-off sequence: one replacement character per byte.
      *ok = false;
      appendUtf8(out, 0xfffd);
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

bool isSafeRelativeName(const std::string &name) {
  if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos)
    return false;
  if (name.size() >= 2 && name[1] == ':')
    return false; // a drive letter
  size_t start = 0;
  bool anyPart = false;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos)
      end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part == "..")
      return false;
    if (!part.empty() && part != ".")
      anyPart = true;
    start = end + 1;
  }
  return anyPart;
}

uint32_t unixToDos(int64_t t) {
  time_t tt = time_t(t);
  struct tm tm;
  if (!localtime_r(&tt, &tm) || tm.tm_year < 80)
    return (1u << 21) | (1u << 16); // 1980-01-01 00:00
  if (tm.tm_year > 207)
    tm.tm_year = 207;
  return uint32_t(tm.tm_year - 80) << 25 | uint32_t(tm.tm_mon + 1) << 21 | uint32_t(tm.tm_mday) << 16 |
         uint32_t(tm.tm_hour) << 11 | uint32_t(tm.tm_min) << 5 | uint32_t(tm.tm_sec / 2);
}

int64_t dosToUnix(uint32_t dos) {
  struct tm tm = {};
  tm.tm_year = int((dos >> 25) & 0x7f) + 80;
  tm.tm_mon = int((dos >> 21) & 0x0f) - 1;
  tm.tm_mday = int((dos >> 16) & 0x1f);
  tm.tm_hour = int((dos >> 11) & 0x1f);
  tm.tm_min = int((dos >> 5) & 0x3f);
  tm.tm_sec = int(dos & 0x1f) * 2;
  tm.tm_isdst = -1;
  return int64_t(mktime(&tm));
}

int64_t noTime() { return dosToUnix(uint32_t(1) << 21 | uint32_t(1) << 16); }

int scan(const std::string &path, Archive &out) {
  out = Archive();
  File f(path);
  if (!f.isOpen())
    return ERAR_EOPEN;
  out.fileSize = f.size();
  // The signature, at the start or after a self-extracting module.
  const size_t window = size_t(std::min<uint64_t>(out.fileSize, 1024 * 1024));
  std::string head(window, '\0');
  if (window < 7 || !f.read(0, &head[0], window))
    return ERAR_UNKNOWN_FORMAT;
  for (size_t at = 0; at + 7 <= window; ++at) {
    at = head.find("Rar!\x1a\x07", at, 6);
    if (at == std::string::npos || at + 7 > window)
      break;
    if (std::memcmp(head.data() + at, kSig4, 7) == 0)
      return scan4(f, at + 7, out);
    if (at + 8 <= window && std::memcmp(head.data() + at, kSig5, 8) == 0)
      return scan5(f, at + 8, out);
  }
  return ERAR_UNKNOWN_FORMAT;
}

} // namespace rarscan
