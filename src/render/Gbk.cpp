#include "render/Gbk.h"

#include "store/FileError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QtEndian>
#include <array>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <memory>

namespace {

// GBK code of every BMP character: 0 = none, below 0x100 = one byte (only
// the euro sign, 0x80), else lead byte << 8 | trail byte. ASCII is not kept
// here.
using CodeTable = std::array<quint16, 0x10000>;

// One conversion with iconv; the number of bytes written to `out`, or -1.
int iconvOne(iconv_t cd, const char *in, size_t inLen, char *out, size_t outLen) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char *ip = const_cast<char *>(in);
  char *op = out;
  size_t il = inLen, ol = outLen;
  if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0)
    return -1;
  return int(outLen - ol);
}

// Fills the table from glibc's GBK converter. A character is taken only when
// its bytes decode back to that same character, so what is written always
// reads back as it was.
bool fillFromIconv(CodeTable &table) {
  iconv_t enc = iconv_open("GBK", "UTF-32LE");
  if (enc == iconv_t(-1))
    return false;
  iconv_t dec = iconv_open("UTF-32LE", "GBK");
  if (dec == iconv_t(-1)) {
    iconv_close(enc);
    return false;
  }
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000)
      continue;
    const quint32 le = qToLittleEndian(quint32(c));
    char bytes[8];
    const int n = iconvOne(enc, reinterpret_cast<const char *>(&le), 4, bytes, sizeof bytes);
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (n == 1 ? b0 != 0x80 : !(n == 2 && b0 >= 0x81 && b0 <= 0xFE))
      continue;
    char back[8];
    if (iconvOne(dec, bytes, size_t(n), back, sizeof back) != 4)
      continue;
    quint32 decoded;
    std::memcpy(&decoded, back, 4);
    if (qFromLittleEndian(decoded) != c)
      continue;
    table[c] = n == 1 ? quint16(b0) : quint16(b0 << 8 | b1);
  }
  iconv_close(dec);
  iconv_close(enc);
  return true;
}

// The same from Qt's converter, where the C library has no GBK.
void fillFromQt(CodeTable &table) {
  QStringEncoder enc("GBK", QStringConverter::Flag::Stateless);
  if (!enc.isValid())
    return;
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000)
      continue;
    enc.resetState();
    const QChar ch(static_cast<char16_t>(c));
    const QByteArray b = enc.encode(QStringView(&ch, 1));
    if (enc.hasError())
      continue;
    const auto b0 = b.isEmpty() ? 0 : static_cast<unsigned char>(b[0]);
    if (b.size() == 1 && b0 == 0x80)
      table[c] = 0x80;
    else if (b.size() == 2 && b0 >= 0x81 && b0 <= 0xFE)
      table[c] = quint16(b0 << 8 | static_cast<unsigned char>(b[1]));
  }
}

const CodeTable &codeTable() {
  static const std::unique_ptr<CodeTable> table = [] {
    auto t = std::make_unique<CodeTable>();
    t->fill(0);
    if (!fillFromIconv(*t))
      fillFromQt(*t);
    return t;
  }();
  return *table;
}

} // namespace

namespace Gbk {

bool appendChar(char32_t c, QByteArray &out) {
  if (c < 0x80) {
    out.append(char(c));
    return true;
  }
  if (c >= 0x10000)
    return false;
  const quint16 code = codeTable()[c];
  if (code == 0)
    return false;
  if (code < 0x100) {
    out.append(char(code));
  } else {
    out.append(char(code >> 8));
    out.append(char(code & 0xFF));
  }
  return true;
}

bool canEncode(char32_t c) { return c < 0x80 || (c < 0x10000 && codeTable()[c] != 0); }

void appendEncoded(QStringView text, Escape escape, QByteArray &out) {
  const CodeTable &table = codeTable();
  const qsizetype n = text.size();
  const char16_t *s = text.utf16();
  // One pass over the text into room made beforehand: two bytes per UTF-16
  // unit are enough for every character GBK has; an escape (at most 10
  // bytes) makes more room when it is met.
  constexpr qsizetype kMaxEscape = 10;
  qsizetype pos = out.size();
  out.resize(pos + 2 * n);
  char *p = out.data() + pos;
  char *end = out.data() + out.size();
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = s[i];
    if (c < 0x80) {
      *p++ = char(c);
      continue;
    }
    bool pair = false;
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
      c = QChar::surrogateToUcs4(char16_t(c), s[i + 1]);
      pair = true;
    } else if (QChar::isSurrogate(c)) {
      c = 0xFFFD;
    }
    const quint16 code = pair ? 0 : table[c];
    if (code == 0) {
      if (pair)
        ++i;
      const qsizetype need = kMaxEscape + 2 * (n - i - 1);
      if (end - p < need) {
        pos = p - out.data();
        out.resize(pos + need);
        p = out.data() + pos;
        end = out.data() + out.size();
      }
      char buf[16];
      const int len = escape == Escape::Html ? std::snprintf(buf, sizeof buf, "&#x%X;", unsigned(c))
                                             : std::snprintf(buf, sizeof buf, "\\%X ", unsigned(c));
      std::memcpy(p, buf, size_t(len));
      p += len;
    } else if (code < 0x100) {
      *p++ = char(code);
    } else {
      *p++ = char(code >> 8);
      *p++ = char(code & 0xFF);
    }
  }
  out.resize(p - out.data());
}

QByteArray encode(QStringView text, Escape escape) {
  QByteArray out;
  out.reserve(text.size() * 2);
  appendEncoded(text, escape, out);
  return out;
}

} // namespace Gbk

void GbkLineWriter::writeLine(QStringView line) {
  Gbk::appendEncoded(line, m_escape, m_bytes);
  m_bytes.append("\r\n", 2);
}

void GbkLineWriter::saveTo(const QString &path) const {
  const QString dir = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(dir))
    throw FileError(QStringLiteral("无法创建目录“%1”").arg(QDir::toNativeSeparators(dir)));
  QSaveFile file(path);
  // Where the directory allows no new file beside the old one, write in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly) || file.write(m_bytes) != m_bytes.size() || !file.commit())
    throw FileError(QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
}
