#include "render/Gbk.h"

#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QtEndian>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <mutex>

namespace {

// GBK code of every BMP character: 0 = none, below 0x100 = one byte (only
// the euro sign, 0x80), else lead byte << 8 | trail byte. ASCII is not kept
// here. The table is filled a block of 256 characters at a time, when a
// character of the block is first met: a page of Chinese text needs a few
// dozen of the 256 blocks, and asking the converter for all 63,000
// characters took several milliseconds at the first page.
constexpr int kBlockBits = 8;
constexpr int kBlocks = 0x10000 >> kBlockBits;
constexpr char32_t kBlockSize = 1u << kBlockBits;

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

// The code of one byte sequence, when it is a GBK code: the euro sign's one
// byte, or a lead byte 0x81-0xFE and a trail byte.
quint16 gbkCode(const QByteArray &b) {
  const auto b0 = b.isEmpty() ? 0 : static_cast<unsigned char>(b[0]);
  if (b.size() == 1 && b0 == 0x80)
    return 0x80;
  if (b.size() == 2 && b0 >= 0x81 && b0 <= 0xFE)
    return quint16(b0 << 8 | static_cast<unsigned char>(b[1]));
  return 0;
}

class CodeTable {
public:
  CodeTable() {
    m_enc = iconv_open("GBK", "UTF-32LE");
    m_dec = iconv_open("UTF-32LE", "GBK");
    if (m_enc == iconv_t(-1) || m_dec == iconv_t(-1)) {
      close();
      m_qt = std::make_unique<QStringEncoder>("GBK", QStringConverter::Flag::Stateless);
    }
  }
  ~CodeTable() { close(); }
  CodeTable(const CodeTable &) = delete;
  CodeTable &operator=(const CodeTable &) = delete;

  quint16 operator[](char32_t c) const {
    const std::size_t block = std::size_t(c >> kBlockBits);
    if (!m_ready[block].load(std::memory_order_acquire)) {
      const std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_ready[block].load(std::memory_order_relaxed)) {
        fill(block);
        m_ready[block].store(true, std::memory_order_release);
      }
    }
    return m_codes[c];
  }

private:
  void close() {
    if (m_enc != iconv_t(-1))
      iconv_close(m_enc);
    if (m_dec != iconv_t(-1))
      iconv_close(m_dec);
    m_enc = m_dec = iconv_t(-1);
  }

  // The C library's converter where it has GBK: a character is taken only
  // when its bytes decode back to that same character, so what is written
  // always reads back as it was. Qt's converter otherwise.
  void fill(std::size_t block) const {
    const char32_t first = char32_t(block) << kBlockBits;
    for (char32_t c = std::max<char32_t>(first, 0x80); c < first + kBlockSize; ++c) {
      if (c >= 0xD800 && c < 0xE000)
        continue;
      m_codes[c] = m_qt ? fromQt(c) : fromIconv(c);
    }
  }

  quint16 fromIconv(char32_t c) const {
    const quint32 le = qToLittleEndian(quint32(c));
    char bytes[8];
    const int n = iconvOne(m_enc, reinterpret_cast<const char *>(&le), 4, bytes, sizeof bytes);
    if (n <= 0)
      return 0;
    const quint16 code = gbkCode(QByteArray::fromRawData(bytes, n));
    char back[8];
    if (code == 0 || iconvOne(m_dec, bytes, size_t(n), back, sizeof back) != 4)
      return 0;
    quint32 decoded;
    std::memcpy(&decoded, back, 4);
    return qFromLittleEndian(decoded) == c ? code : 0;
  }

  quint16 fromQt(char32_t c) const {
    if (!m_qt->isValid())
      return 0;
    m_qt->resetState();
    const QChar ch(static_cast<char16_t>(c));
    const QByteArray b = m_qt->encode(QStringView(&ch, 1));
    return m_qt->hasError() ? 0 : gbkCode(b);
  }

  // Pages may be written from more than one thread: a block is filled
  // under the lock (the converters are not shared between threads) and
  // read once it is marked ready.
  mutable std::array<quint16, 0x10000> m_codes{};
  mutable std::array<std::atomic<bool>, kBlocks> m_ready{};
  mutable std::mutex m_mutex;
  iconv_t m_enc = iconv_t(-1), m_dec = iconv_t(-1);
  std::unique_ptr<QStringEncoder> m_qt;
};

const CodeTable &codeTable() {
  static const CodeTable table;
  return table;
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

void GbkLineWriter::replaceFile(const QString &path) const {
  const QString temp = path + QStringLiteral(".new");
  QFile file(temp);
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(m_bytes) == m_bytes.size() &&
                       file.flush();
  file.close();
  if (written && std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0)
    return;
  QFile::remove(temp);
  saveTo(path); // the folder may allow no new file beside the old one; errors come from here
}
