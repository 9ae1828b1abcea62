#include "RarWriter.h"

#include <cstdio>

namespace RarWriter {
namespace {

void put16(std::string &s, uint32_t v) {
  s += char(v & 0xff);
  s += char((v >> 8) & 0xff);
}
void put32(std::string &s, uint32_t v) {
  put16(s, v & 0xffff);
  put16(s, v >> 16);
}
void putVint(std::string &s, uint64_t v) {
  do {
    unsigned char b = v & 0x7f;
    v >>= 7;
    if (v)
      b |= 0x80;
    s += char(b);
  } while (v);
}

// ---- RAR 4 ---------------------------------------------------------------

// A block: CRC16 (low half of the CRC32 of the rest), type, flags, size, body.
std::string block4(unsigned type, unsigned flags, const std::string &body) {
  std::string rest;
  rest += char(type);
  put16(rest, flags);
  put16(rest, uint32_t(body.size() + 7));
  rest += body;
  std::string out;
  put16(out, crc32(rest) & 0xffff);
  return out + rest;
}

// The wide name packed as plain 16-bit characters (mode 2 throughout).
std::string packUnicodeName(const std::string &utf8) {
  std::u16string w;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    char32_t v;
    size_t len = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : 4;
    v = len == 1 ? c : len == 2 ? (c & 0x1f) : len == 3 ? (c & 0x0f) : (c & 0x07);
    for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
      v = (v << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3f);
    i += len;
    if (v >= 0x10000) {
      v -= 0x10000;
      w += char16_t(0xd800 + (v >> 10));
      w += char16_t(0xdc00 + (v & 0x3ff));
    } else {
      w += char16_t(v);
    }
  }
  std::string ascii;
  for (char16_t c : w)
    ascii += c < 0x80 ? char(c) : '_';
  std::string enc;
  enc += char(0); // high byte
  for (size_t i = 0; i < w.size(); i += 4) {
    enc += char(0xaa); // four times mode 2
    for (size_t k = i; k < i + 4; ++k) {
      const char16_t c = k < w.size() ? w[k] : 0;
      if (k >= w.size())
        break;
      put16(enc, c);
    }
  }
  return ascii + std::string(1, '\0') + enc;
}

std::string fileBlock4(unsigned type, const Entry &e, const std::string &name, const std::string &data,
                       uint32_t attr, int hostOS) {
  unsigned flags = 0x8000;
  if (e.dir)
    flags |= 0xe0;
  if (e.unicode)
    flags |= 0x200;
  if (e.encrypted)
    flags |= 0x04;
  if (e.solid)
    flags |= 0x10;
  if (e.splitBefore)
    flags |= 0x01;
  if (e.splitAfter)
    flags |= 0x02;
  if (e.exactTime)
    flags |= 0x1000;
  const std::string storedName = e.unicode ? packUnicodeName(name) : name;
  uint32_t crc = e.dir ? 0 : crc32(data);
  if (e.badCrc)
    crc ^= 0x5a5a5a5a;
  std::string body;
  put32(body, uint32_t(data.size())); // packed
  put32(body, uint32_t(data.size())); // unpacked
  body += char(hostOS);
  put32(body, crc);
  put32(body, e.dosTime);
  body += char(e.dir ? 20 : 29); // version needed
  body += char(0x30);            // stored
  put16(body, uint32_t(storedName.size()));
  put32(body, attr);
  body += storedName;
  if (e.exactTime) {
    // The modification time only: present, one second more, three bytes of fraction.
    put16(body, 0xf000);
    for (int j = 0; j < 3; ++j)
      body += char((e.timeFraction >> (8 * j)) & 0xff);
  }
  return block4(type, flags, body) + data;
}

std::string build4(const Archive &a) {
  std::string out("Rar!\x1a\x07\x00", 7);
  unsigned flags = 0;
  if (a.volume)
    flags |= 0x0001 | 0x0100;
  if (a.locked)
    flags |= 0x0004;
  if (a.solid)
    flags |= 0x0008;
  if (a.recovery)
    flags |= 0x0040;
  if (a.encryptedHeaders)
    flags |= 0x0080;
  out += block4(0x73, flags, std::string(6, '\0'));
  if (a.encryptedHeaders) {
    out += std::string(64, '\x5c'); // stands for the encrypted blocks
    return out;
  }
  if (!a.comment.empty()) {
    Entry c;
    c.attr = 0;
    out += fileBlock4(0x7a, c, "CMT", a.comment, 0, 2);
  }
  for (const Entry &e : a.entries) {
    uint32_t attr = e.dir ? 0x10 : e.attr;
    int host = e.hostOS;
    std::string data = e.dir ? std::string() : e.data;
    if (e.link == Link::Symlink) {
      host = 3;
      attr = 0xa1ff;
      data = e.linkTarget;
    }
    out += fileBlock4(0x74, e, e.name, data, attr, host);
  }
  out += block4(0x7b, 0x4000, std::string());
  return out;
}

// ---- RAR 5 ---------------------------------------------------------------

// A block: CRC32 of (size vint + header), size vint, header; then the data.
std::string block5(const std::string &header, const std::string &data = std::string()) {
  std::string sized;
  putVint(sized, header.size());
  sized += header;
  std::string out;
  put32(out, crc32(sized));
  return out + sized + data;
}

std::string record(unsigned type, const std::string &body) {
  std::string t;
  putVint(t, type);
  t += body;
  std::string out;
  putVint(out, t.size());
  return out + t;
}

uint32_t dosToUnix(uint32_t dos) {
  // UTC, so that the archives do not depend on the time zone of the writer.
  const int year = int((dos >> 25) & 0x7f) + 1980, mon = int((dos >> 21) & 0xf), day = int((dos >> 16) & 0x1f);
  const int y = mon <= 2 ? year - 1 : year;
  const int era = y / 400, yoe = y - era * 400;
  const int doy = (153 * (mon + (mon > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = long(era) * 146097 + doe - 719468;
  return uint32_t(days * 86400 + ((dos >> 11) & 0x1f) * 3600 + ((dos >> 5) & 0x3f) * 60 + (dos & 0x1f) * 2);
}

std::string fileBlock5(unsigned type, const Entry &e, const std::string &data) {
  std::string extra;
  if (e.version != 0) {
    std::string body;
    putVint(body, 0); // flags
    putVint(body, e.version);
    extra += record(0x04, body);
  }
  if (e.exactTime) {
    std::string body;
    putVint(body, 0x2); // modification time, Windows format
    const uint64_t ft = (uint64_t(dosToUnix(e.dosTime)) + 1 + 11644473600ULL) * 10000000ULL + e.timeFraction;
    put32(body, uint32_t(ft));
    put32(body, uint32_t(ft >> 32));
    extra += record(0x03, body);
  }
  if (e.encrypted) {
    std::string body;
    putVint(body, 0);  // version
    putVint(body, 0);  // flags
    body += char(15);  // KDF count
    body += std::string(16, '\x11'); // salt
    body += std::string(16, '\x22'); // IV
    extra += record(0x01, body);
  }
  if (e.link != Link::None) {
    std::string body;
    putVint(body, e.link == Link::Symlink ? 1 : e.link == Link::HardLink ? 4 : 5);
    putVint(body, 0);
    putVint(body, e.linkTarget.size());
    body += e.linkTarget;
    extra += record(0x05, body);
  }
  const bool hasCrc = !e.dir;
  uint32_t crc = crc32(data);
  if (e.badCrc)
    crc ^= 0x5a5a5a5a;
  std::string h;
  putVint(h, type);
  // Folders too carry a data area (of size 0): readers expect one.
  putVint(h, 0x0002 | (extra.empty() ? 0 : 0x0001) | (e.splitBefore ? 0x0008 : 0) | (e.splitAfter ? 0x0010 : 0));
  if (!extra.empty())
    putVint(h, extra.size());
  putVint(h, data.size());
  putVint(h, (e.dir ? 0x1 : 0) | (e.noTime ? 0 : 0x2) | (hasCrc ? 0x4 : 0));
  putVint(h, data.size());
  putVint(h, e.dir ? 0x10 : e.attr);
  if (!e.noTime)
    put32(h, dosToUnix(e.dosTime));
  if (hasCrc)
    put32(h, crc);
  putVint(h, e.solid ? 0x40 : 0); // version 0, stored
  putVint(h, e.hostOS == 3 ? 1 : 0);
  putVint(h, e.name.size());
  h += e.name;
  h += extra;
  return block5(h, data);
}

std::string build5(const Archive &a) {
  std::string out("Rar!\x1a\x07\x01\x00", 8);
  if (a.encryptedHeaders) {
    std::string h;
    putVint(h, 4);
    putVint(h, 0);
    putVint(h, 0); // version
    putVint(h, 0); // flags
    h += char(15);
    h += std::string(16, '\x33');
    out += block5(h);
    out += std::string(64, '\x5c');
    return out;
  }
  std::string m;
  putVint(m, 1);
  putVint(m, 0);
  putVint(m, (a.volume ? 0x1 : 0) | (a.solid ? 0x4 : 0) | (a.recovery ? 0x8 : 0) | (a.locked ? 0x10 : 0));
  out += block5(m);
  if (!a.comment.empty()) {
    Entry c;
    c.name = "CMT";
    c.attr = 0;
    out += fileBlock5(3, c, a.comment);
  }
  for (const Entry &e : a.entries)
    out += fileBlock5(2, e, e.dir || e.link != Link::None ? std::string() : e.data);
  std::string end;
  putVint(end, 5);
  putVint(end, 0);
  putVint(end, 0);
  out += block5(end);
  return out;
}

} // namespace

uint32_t crc32(const std::string &data, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (unsigned char b : data)
    crc = table[(crc ^ b) & 0xff] ^ (crc >> 8);
  return ~crc;
}

std::string build(const Archive &archive) { return archive.version == 5 ? build5(archive) : build4(archive); }

bool save(const Archive &archive, const std::string &path) {
  const std::string bytes = build(archive);
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

} // namespace RarWriter
