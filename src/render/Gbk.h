#pragma once
// Text of the generated pages and style sheets: code page 936 (GBK) bytes,
// lines ending in CR LF, no byte-order mark. A character GBK has no code for
// is written as a reference the reader turns back into that character: a
// numeric character reference (&#x20000;) in pages, an escape (\20000 ) in
// style sheets. GB18030 four-byte sequences are never written, because the
// web view decodes the declared charset as GBK.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace Gbk {

enum class Escape {
  Html, // &#xHEX;
  Css,  // \HEX followed by one space
};

// Appends the GBK bytes of code point `c` to `out`; false (nothing appended)
// when GBK has no code for it.
bool appendChar(char32_t c, QByteArray &out);
bool canEncode(char32_t c);

// `text` as GBK bytes, characters outside GBK escaped as `escape` says. A
// lone surrogate counts as U+FFFD.
QByteArray encode(QStringView text, Escape escape = Escape::Html);
void appendEncoded(QStringView text, Escape escape, QByteArray &out);

} // namespace Gbk

// Collects lines as GBK bytes, each ending in CR LF, and writes them to a
// file in one go.
class GbkLineWriter {
public:
  explicit GbkLineWriter(Gbk::Escape escape = Gbk::Escape::Html) : m_escape(escape) {}

  void writeLine(QStringView line);
  const QByteArray &bytes() const { return m_bytes; }
  void clear() { m_bytes.clear(); }

  // Replaces `path` with the bytes written so far; the file's directory is
  // created when missing. The old file stays as it was when writing fails.
  // Throws FileError.
  void saveTo(const QString &path) const;
  // The same without waiting for the bytes to reach the disk: for a file
  // made again whenever it is needed (a question page). The new file is
  // written beside the old one and renamed over it, so a reader never sees
  // half a page.
  void replaceFile(const QString &path) const;

private:
  Gbk::Escape m_escape;
  QByteArray m_bytes;
};
