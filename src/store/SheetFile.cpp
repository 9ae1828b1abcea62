#include "store/SheetFile.h"
#include "store/FileError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <cmath>
#include <functional>
#include <iconv.h>
#include <memory>

QString SheetColumnName(int column) {
  QString s;
  for (int c = column + 1; c > 0; c = (c - 1) / 26)
    s.prepend(QChar(u'A' + (c - 1) % 26));
  return s;
}

static SheetCell textCell(int column, QString text) {
  SheetCell c;
  c.column = column;
  c.text = std::move(text);
  return c;
}

SheetRow::SheetRow(int number, const QStringList &texts) : number(number) {
  for (int c = 0; c < texts.size(); ++c)
    if (!texts[c].isEmpty())
      cells.push_back(textCell(c, texts[c]));
}

const SheetCell *SheetRow::cell(int column) const {
  const auto it = std::lower_bound(cells.begin(), cells.end(), column, [](const SheetCell &c, int n) { return c.column < n; });
  return it != cells.end() && it->column == column ? &*it : nullptr;
}

SheetCell &SheetRow::at(int column) {
  auto it = std::lower_bound(cells.begin(), cells.end(), column, [](const SheetCell &c, int n) { return c.column < n; });
  if (it == cells.end() || it->column != column) {
    it = cells.insert(it, SheetCell());
    it->column = column;
  }
  return *it;
}

QStringList SheetRow::texts() const {
  QStringList out;
  for (const SheetCell &c : cells) {
    while (out.size() < c.column)
      out << QString();
    out << c.text;
  }
  return out;
}

namespace {

QString where(const QString &file, const QString &sheet, int row, int column) {
  return QStringLiteral("%1:%2:%3: %4").arg(file, sheet).arg(row).arg(SheetColumnName(column));
}

// ---------------------------------------------------------------- CSV

// Where byte `offset` of a CSV file lies: its record (1 = first) and column
// (0 = A), counting line breaks and commas outside quoted cells. The
// encodings read here never use the bytes of '"', ',' or a line break
// inside a character, so the bytes can be counted as they are.
std::pair<int, int> csvPlace(QByteArrayView bytes, qsizetype offset) {
  int record = 1, column = 0;
  bool quoted = false;
  for (qsizetype i = 0; i < offset && i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      ++column;
    } else if (!quoted && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        ++i;
      ++record;
      column = 0;
    }
  }
  return {record, column};
}

QString csvPlaceText(QByteArrayView bytes, qsizetype offset) {
  const auto [record, column] = csvPlace(bytes, offset);
  return QStringLiteral("第 %1 行 %2 列").arg(record).arg(SheetColumnName(column));
}

// `body` converted from `code` to UTF-8 with iconv, or the offset of the
// first byte that is not of that encoding.
bool convert(const char *code, QByteArrayView body, QByteArray &text, qsizetype &badOffset) {
  iconv_t cd = iconv_open("UTF-8", code);
  if (cd == iconv_t(-1)) {
    badOffset = 0;
    return false;
  }
  QByteArray out(body.size() * 2 + 16, Qt::Uninitialized);
  char *in = const_cast<char *>(body.data());
  size_t inLeft = size_t(body.size());
  char *op = out.data();
  size_t outLeft = size_t(out.size());
  const size_t rc = iconv(cd, &in, &inLeft, &op, &outLeft);
  iconv_close(cd);
  if (rc == size_t(-1) || inLeft != 0) {
    badOffset = qsizetype(in - body.data());
    return false;
  }
  out.truncate(op - out.data());
  text = std::move(out);
  return true;
}

// The text of a .csv file as UTF-8 (the file's own bytes when they are
// UTF-8) and the name of its encoding, or a problem.
// `text` views `bytes` (past a byte-order mark) when they are UTF-8, else
// `converted`.
bool decodeCsv(const QString &path, const QByteArray &bytes, QByteArray &converted, QByteArrayView &text, QString &encoding,
               QString &problem) {
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    problem = QStringLiteral("%1: 文件是 UTF-16 编码，不能读取：请在电子表格程序中另存为“CSV UTF-8（逗号分隔）”").arg(path);
    return false;
  }
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) {
    problem = QStringLiteral("%1: %2有 NUL 字节：这不是文本格式的 CSV 文件").arg(path, csvPlaceText(bytes, nul));
    return false;
  }
  const bool bom = bytes.startsWith("\xEF\xBB\xBF");
  const QByteArrayView body = bom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
  if (body.isValidUtf8()) {
    text = body; // the file's own bytes, not copied
    encoding = bom ? QStringLiteral("UTF-8（带 BOM）") : QStringLiteral("UTF-8");
    return true;
  }
  if (bom) {
    problem = QStringLiteral("%1: 文件以 UTF-8 的 BOM 开头，却含有不是 UTF-8 的字节").arg(path);
    return false;
  }
  // Code page 936, as spreadsheet programs on Chinese Windows save CSV, or
  // GB18030, its superset that holds every character.
  qsizetype bad = 0, bad18030 = 0;
  if (convert("GBK", body, converted, bad)) {
    text = converted;
    encoding = QStringLiteral("GBK");
    return true;
  }
  if (convert("GB18030", body, converted, bad18030)) {
    text = converted;
    encoding = QStringLiteral("GB18030");
    return true;
  }
  problem = QStringLiteral("%1: %2的文字既不是 UTF-8 也不是 GBK 或 GB18030 编码：请另存为“CSV UTF-8（逗号分隔）”")
                .arg(path, csvPlaceText(body, std::max(bad, bad18030)));
  return false;
}

// Where the rows of a sheet go as they are read: kept in the sheet, or
// handed on one by one.
using RowSink = std::function<void(SheetRow &)>;

// Hands a finished row to `sink` unless it has no cell; with header
// columns, the first row kept fixes `width`.
void keepRow(SheetRow &row, int &width, const SheetReadOptions &options, const RowSink &sink) {
  if (row.cells.empty())
    return;
  if (options.headerColumns && width < 0) {
    // The header: the first row with something in it besides blanks.
    for (const SheetCell &c : row.cells)
      if (!c.text.trimmed().isEmpty() || !c.problem.isEmpty()) {
        width = row.cells.back().column + 1;
        break;
      }
  }
  sink(row);
}

// The sink that keeps every row in its sheet.
RowSink keepIn(Sheet &sheet) {
  return [&sheet](SheetRow &row) {
    if (row.cells.capacity() > row.cells.size())
      row.cells.shrink_to_fit(); // rows are many: no room to grow
    sheet.rows.push_back(std::move(row));
  };
}

// RFC 4180 records in UTF-8: cells separated by commas, records by CR LF (or
// a bare LF or CR); a quoted cell may hold commas, doubled quotes and line
// breaks (a CR LF inside a cell becomes LF). The bytes of '"', ',', CR and
// LF never occur inside a UTF-8 character, so the text is split as bytes
// and each cell decoded on its own.
// Where a cell without quotes ends: the first ',', CR or LF from `i` (or
// `n`), looked for eight bytes at a time.
qsizetype plainCellEnd(const char *p, qsizetype i, qsizetype n) {
  constexpr quint64 ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
  auto has = [&](quint64 w, unsigned char c) {
    const quint64 x = w ^ (ones * c);
    return (x - ones) & ~x & highs;
  };
  while (i + 8 <= n) {
    quint64 w;
    memcpy(&w, p + i, 8);
    if (has(w, ',') | has(w, '\r') | has(w, '\n'))
      break;
    i += 8;
  }
  while (i < n && p[i] != ',' && p[i] != '\r' && p[i] != '\n')
    ++i;
  return i;
}

// Cells of rows that are kept are given no more room than they need; rows
// handed on one at a time are let go too soon to be worth the copy.
void parseCsv(QByteArrayView text, Sheet &sheet, QStringList &problems, const SheetReadOptions &options, const RowSink &sink,
              bool rowsKept) {
  const char *p = text.data();
  const qsizetype n = text.size();
  qsizetype i = 0;
  int record = 1;
  int column = 0;
  int width = -1;
  SheetRow row;
  row.number = 1;
  auto endRecord = [&] {
    const size_t cells = row.cells.size();
    keepRow(row, width, options, sink);
    row = SheetRow();
    row.number = ++record;
    row.cells.reserve(std::max<size_t>(cells, 4)); // rows of a sheet are alike
    column = 0;
  };
  auto isEnd = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
  while (i < n) {
    QString cell;
    if (p[i] == '"') {
      const int quoteRow = record;
      const qsizetype start = ++i;
      bool plain = true; // no doubled quote, no CR: the cell is one slice
      qsizetype end = -1;
      while (i < n) {
        const char *q = static_cast<const char *>(memchr(p + i, '"', size_t(n - i)));
        if (!q) {
          if (plain && memchr(p + i, '\r', size_t(n - i)))
            plain = false;
          i = n;
          break;
        }
        if (plain && memchr(p + i, '\r', size_t(q - (p + i))))
          plain = false;
        i = q - p;
        if (i + 1 < n && p[i + 1] == '"') {
          plain = false;
          i += 2;
          continue;
        }
        end = i++;
        break;
      }
      if (end < 0) {
        problems << where(sheet.file, sheet.name, quoteRow, column) +
                        QStringLiteral(": 单元格的左引号一直没有对应的右引号（文件在引号中结束）");
        end = n;
      }
      if (plain) {
        cell = QString::fromUtf8(p + start, end - start);
      } else {
        QByteArray raw;
        raw.reserve(end - start);
        for (qsizetype k = start; k < end; ++k) {
          if (p[k] == '"')
            ++k; // the first of a doubled quote
          else if (p[k] == '\r' && k + 1 < end && p[k + 1] == '\n')
            continue;
          if (k < end)
            raw += p[k] == '\r' ? '\n' : p[k];
        }
        cell = QString::fromUtf8(raw);
      }
      // Records count lines outside cells only: a line break inside a cell
      // belongs to the row it started in.
      if (i < n && !isEnd(p[i])) {
        problems << where(sheet.file, sheet.name, record, column) +
                        QStringLiteral(": 引号括起的单元格在右引号后还有文字（单元格中的引号应写成两个引号 \"\"）");
        const qsizetype start2 = i;
        while (i < n && !isEnd(p[i]))
          ++i;
        cell += QString::fromUtf8(p + start2, i - start2);
      }
    } else {
      const qsizetype start = i;
      i = plainCellEnd(p, i, n);
      if (i > start)
        cell = QString::fromUtf8(p + start, i - start);
    }
    if (!cell.isEmpty()) {
      if (width >= 0 && column >= width) {
        ++sheet.cellsPastHeader;
      } else {
        // fromUtf8 reserves a unit per byte: three times what Chinese needs.
        if (rowsKept && cell.capacity() > cell.size() + cell.size() / 4 + 8)
          cell.squeeze();
        row.cells.push_back(textCell(column, std::move(cell)));
      }
    }
    ++column;
    if (i >= n)
      break;
    if (p[i] == ',') {
      ++i;
      continue;
    }
    // A line end: CR LF, LF or CR.
    if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
      ++i;
    ++i;
    endRecord();
  }
  keepRow(row, width, options, sink);
}

// ---------------------------------------------------------------- xlsx

// Text of a workbook string: "_xHHHH_" stands for the character HHHH (how
// workbooks keep control characters), "_x005F_" for a literal underscore.
QString unescapeXstring(const QString &s) {
  if (!s.contains(QLatin1String("_x")))
    return s;
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_') {
      bool ok = false;
      const uint code = QStringView(s).mid(i + 2, 4).toUInt(&ok, 16);
      if (ok) {
        out += QChar(char16_t(code));
        i += 6;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

QString escapeXstring(const QString &s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    const char16_t u = c.unicode();
    const bool control = (u < 0x20 && u != u'\t' && u != u'\n') || u == 0xFFFE || u == 0xFFFF;
    const bool lookalike = u == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_';
    if (control || lookalike)
      out += QStringLiteral("_x%1_").arg(uint(u), 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("_X"), QLatin1String("_x"));
    else
      out += c;
  }
  return out;
}

constexpr int kMaxColumns = 16384; // A … XFD
constexpr int kMaxRows = 1048576;

// Column index of a cell reference such as "AB12"; -1 when there is none,
// kMaxColumns or more when it lies past the last column.
int columnOf(QStringView ref) {
  int c = 0;
  qsizetype i = 0;
  for (; i < ref.size() && ref[i].isLetter(); ++i)
    c = std::min(c * 26 + (ref[i].toUpper().unicode() - u'A' + 1), kMaxColumns + 1);
  return i == 0 ? -1 : c - 1;
}

// The row of a cell reference ("AB12" -> 12); 0 when there is none.
int rowOf(QStringView ref) {
  qsizetype i = 0;
  while (i < ref.size() && ref[i].isLetter())
    ++i;
  bool ok = false;
  const int r = ref.mid(i).toInt(&ok);
  return ok && r >= 1 && r <= kMaxRows ? r : 0;
}

constexpr qint64 kMaxPart = 512LL * 1024 * 1024;  // no workbook part is larger
constexpr qint64 kMaxTotal = 1024LL * 1024 * 1024; // nor all of them together

using ArchivePtr = std::unique_ptr<archive, int (*)(archive *)>;

ArchivePtr openZip(const QString &path, QString &problem) {
  ArchivePtr a(archive_read_new(), archive_read_free);
  archive_read_support_format_zip(a.get());
  if (archive_read_open_filename(a.get(), QFile::encodeName(path).constData(), 1 << 16) != ARCHIVE_OK) {
    problem = QStringLiteral("%1: 不是有效的 xlsx 工作簿（不是 zip 格式的文件）").arg(path);
    return ArchivePtr(nullptr, archive_read_free);
  }
  return a;
}

QString entryName(archive_entry *e) {
  const char *u = archive_entry_pathname_utf8(e);
  return u ? QString::fromUtf8(u) : QString::fromLocal8Bit(archive_entry_pathname(e));
}

// One entry of an open zip as a sequential device, so that a worksheet is
// parsed while it is unpacked and never held whole. Stops at `limit` bytes.
class EntryDevice : public QIODevice {
public:
  EntryDevice(archive *a, qint64 limit) : m_archive(a), m_limit(limit) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }
  bool failed = false;   // the zip is damaged
  bool tooLarge = false; // past the limit
  qint64 total = 0;

protected:
  qint64 readData(char *data, qint64 max) override {
    if (failed || tooLarge)
      return -1;
    const la_ssize_t got = archive_read_data(m_archive, data, size_t(std::min<qint64>(max, 1 << 16)));
    if (got < 0) {
      failed = true;
      return -1;
    }
    total += got;
    if (total > m_limit) {
      tooLarge = true;
      return -1;
    }
    return got;
  }
  qint64 writeData(const char *, qint64) override { return -1; }

private:
  archive *m_archive;
  qint64 m_limit;
};

QString tooLargeProblem(const QString &path, const QString &part) {
  return QStringLiteral("%1: xlsx 工作簿解压后过大（“%2”超过 512 MB 或全部超过 1 GB），不予读取").arg(path, part);
}
QString damagedProblem(const QString &path, const QString &part) {
  return QStringLiteral("%1: xlsx 工作簿中的“%2”已损坏（zip 数据不完整或校验不符）").arg(path, part);
}

// Where a workbook's shared strings usually are: streamed like the
// worksheets (they hold most of a workbook's text), not kept whole.
const QString kSharedStringsPart = QStringLiteral("xl/sharedStrings.xml");

// The parts of a zip file the reader keeps in memory (everything but the
// worksheets under xl/worksheets/ and the shared strings at their usual
// place, which are streamed), by name.
bool readSmallParts(const QString &path, QHash<QString, QByteArray> &parts, qint64 &total, QString &problem) {
  ArchivePtr a = openZip(path, problem);
  if (!a)
    return false;
  archive_entry *e = nullptr;
  for (;;) {
    const int rc = archive_read_next_header(a.get(), &e);
    if (rc == ARCHIVE_EOF)
      break;
    if (rc < ARCHIVE_WARN) {
      problem = QStringLiteral("%1: xlsx 工作簿已损坏（zip 目录无法读取）").arg(path);
      return false;
    }
    const QString name = entryName(e);
    if ((!name.endsWith(QLatin1String(".xml")) && !name.endsWith(QLatin1String(".rels"))) ||
        name.startsWith(QLatin1String("xl/worksheets/")) || name == kSharedStringsPart)
      continue;
    EntryDevice d(a.get(), std::min(kMaxPart, kMaxTotal - total));
    QByteArray data;
    char buf[1 << 16];
    for (;;) {
      const qint64 got = d.read(buf, sizeof buf);
      if (got <= 0)
        break;
      data.append(buf, got);
    }
    if (d.tooLarge) {
      problem = tooLargeProblem(path, name);
      return false;
    }
    if (d.failed) {
      problem = damagedProblem(path, name);
      return false;
    }
    total += d.total;
    parts.insert(name, data);
  }
  return true;
}

// What went wrong in an XML part, in Chinese.
QString xmlErrorText(const QXmlStreamReader &x) {
  switch (x.error()) {
  case QXmlStreamReader::PrematureEndOfDocumentError:
    return QStringLiteral("内容在中途结束");
  case QXmlStreamReader::NotWellFormedError:
    return QStringLiteral("格式不正确（可能含有 DTD、外部实体或非法字符）");
  case QXmlStreamReader::UnexpectedElementError:
    return QStringLiteral("出现了不应有的元素");
  default:
    return QStringLiteral("无法解析");
  }
}

// The text of the element the reader stands on (a <si> or <is>): its <t>
// runs, without phonetic guides (<rPh>).
QString richText(QXmlStreamReader &x) {
  QString text;
  int depth = 1;
  int phonetic = 0;
  while (depth > 0 && !x.atEnd()) {
    x.readNext();
    if (x.isStartElement()) {
      ++depth;
      if (x.name() == QLatin1String("rPh"))
        ++phonetic;
      else if (x.name() == QLatin1String("t") && phonetic == 0) {
        text += x.readElementText();
        --depth;
      }
    } else if (x.isEndElement()) {
      --depth;
      if (x.name() == QLatin1String("rPh"))
        --phonetic;
    }
  }
  return unescapeXstring(text);
}

QString resolveTarget(const QString &target) {
  if (target.startsWith(u'/'))
    return target.mid(1);
  return QDir::cleanPath(QStringLiteral("xl/") + target);
}

// The built-in number formats a workbook may name by number alone (as a
// Chinese spreadsheet program shows them); other numbers show as General.
QString builtinFormat(int id) {
  static const QHash<int, QString> formats = {
      {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}, {9, "0%"}, {10, "0.00%"}, {11, "0.00E+00"},
      {12, "# ?/?"}, {13, "# ?\?/?\?"}, {14, "yyyy/m/d"}, {15, "d-mmm-yy"}, {16, "d-mmm"}, {17, "mmm-yy"},
      {18, "h:mm AM/PM"}, {19, "h:mm:ss AM/PM"}, {20, "h:mm"}, {21, "h:mm:ss"}, {22, "yyyy/m/d h:mm"},
      {27, "yyyy\"年\"m\"月\""}, {28, "m\"月\"d\"日\""}, {29, "m\"月\"d\"日\""}, {30, "m-d-yy"},
      {31, "yyyy\"年\"m\"月\"d\"日\""}, {32, "h\"时\"mm\"分\""}, {33, "h\"时\"mm\"分\"ss\"秒\""},
      {34, "上午/下午h\"时\"mm\"分\""}, {35, "上午/下午h\"时\"mm\"分\"ss\"秒\""}, {36, "yyyy\"年\"m\"月\""},
      {37, "#,##0 ;(#,##0)"}, {38, "#,##0 ;[Red](#,##0)"}, {39, "#,##0.00;(#,##0.00)"}, {40, "#,##0.00;[Red](#,##0.00)"},
      {45, "mm:ss"}, {46, "[h]:mm:ss"}, {47, "mm:ss.0"}, {48, "##0.0E+0"}, {49, "@"},
      {50, "yyyy\"年\"m\"月\""}, {51, "m\"月\"d\"日\""}, {52, "yyyy\"年\"m\"月\""}, {53, "m\"月\"d\"日\""},
      {54, "m\"月\"d\"日\""}, {55, "上午/下午h\"时\"mm\"分\""}, {56, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
      {57, "yyyy\"年\"m\"月\""}, {58, "m\"月\"d\"日\""},
  };
  return formats.value(id);
}

struct Book {
  QStringList shared;
  std::vector<QString> cellFormats; // by style index (s=): the number format code, empty = General
  bool date1904 = false;
};

bool truthy(QStringView v) { return v == u"1" || v == u"true"; }

// Fills every cell of the sheet's merged ranges with the value of the
// range's top-left cell, in the rows that exist and the columns in use.
void applyMerges(Sheet &sheet, int lastColumn, const QString &path, QStringList &problems) {
  // Ranges that do not overlap fill fewer cells than the rows hold several
  // times over; a range over the whole sheet must not make millions.
  qint64 budget = 1000000;
  for (const SheetRow &r : sheet.rows)
    budget += 4 * qint64(r.cells.size());
  for (const QString &ref : std::as_const(sheet.merges)) {
    const qsizetype colon = ref.indexOf(u':');
    if (colon < 0)
      continue;
    const QStringView a = QStringView(ref).left(colon), b = QStringView(ref).mid(colon + 1);
    const int c1 = columnOf(a), c2 = std::min(columnOf(b), lastColumn), r1 = rowOf(a), r2 = rowOf(b);
    if (c1 < 0 || r1 == 0 || r2 < r1 || c1 >= kMaxColumns)
      continue;
    auto rowAt = [&](int number) {
      return std::lower_bound(sheet.rows.begin(), sheet.rows.end(), number,
                              [](const SheetRow &r, int n) { return r.number < n; });
    };
    auto top = rowAt(r1);
    if (top == sheet.rows.end() || top->number != r1)
      continue;
    const SheetCell *origin = top->cell(c1);
    if (!origin)
      continue;
    const SheetCell value = *origin;
    for (auto it = top; it != sheet.rows.end() && it->number <= r2; ++it)
      for (int c = c1; c <= c2; ++c) {
        if (--budget < 0) {
          problems << QStringLiteral("%1:%2: 合并单元格的范围过大或互相重叠（%3 等），没有读取这张工作表").arg(path, sheet.name, ref.left(30));
          sheet.rows.clear();
          return;
        }
        if (it->cell(c))
          continue;
        SheetCell &cell = it->at(c);
        cell.text = value.text;
        cell.problem = value.problem;
      }
  }
}

// A row as a reader that takes rows one at a time is handed it, kept in
// less room until then: a cell is its column and text (a row with a cell
// that has a problem is kept whole).
struct PackedCell {
  int column;
  QString text;
};
struct PackedRow {
  int number = 0;
  bool hidden = false;
  std::vector<PackedCell> cells;
  std::vector<SheetCell> whole;
};

PackedRow packRow(SheetRow &row) {
  PackedRow p;
  p.number = row.number;
  p.hidden = row.hidden;
  const bool plain = std::all_of(row.cells.begin(), row.cells.end(), [](const SheetCell &c) { return c.problem.isEmpty(); });
  if (!plain) {
    p.whole = std::move(row.cells);
    return p;
  }
  p.cells.reserve(row.cells.size());
  for (SheetCell &c : row.cells)
    p.cells.push_back({c.column, std::move(c.text)});
  return p;
}

SheetRow unpackRow(PackedRow &p) {
  SheetRow row;
  row.number = p.number;
  row.hidden = p.hidden;
  if (!p.whole.empty()) {
    row.cells = std::move(p.whole);
    return row;
  }
  row.cells.resize(p.cells.size());
  for (size_t i = 0; i < p.cells.size(); ++i) {
    row.cells[i].column = p.cells[i].column;
    row.cells[i].text = std::move(p.cells[i].text);
  }
  std::vector<PackedCell>().swap(p.cells);
  return row;
}

// One worksheet's rows (handed to `keep`), hidden rows and columns and merged
// ranges; `beforeMerges` is called before merged ranges are applied to the
// sheet's rows.
void readWorksheet(QXmlStreamReader &x, const Book &book, Sheet &sheet, const SheetReadOptions &options, QStringList &problems,
                   const RowSink &keep, const std::function<void()> &beforeMerges) {
  const QString &path = sheet.file;
  int lastRow = 0;
  int width = -1;
  int lastColumn = 0;
  bool inRow = false;
  SheetRow row;
  std::vector<bool> hiddenColumn;
  auto finishRow = [&] {
    if (inRow) {
      if (!row.cells.empty())
        lastColumn = std::max(lastColumn, row.cells.back().column);
      keepRow(row, width, options, keep);
    }
    row = SheetRow();
    inRow = false;
  };
  int nextColumn = 0;
  while (!x.atEnd()) {
    x.readNext();
    if (x.isEndElement() && x.name() == QLatin1String("row")) {
      finishRow();
      continue;
    }
    if (!x.isStartElement())
      continue;
    const QStringView name = x.name();
    if (name == QLatin1String("row")) {
      finishRow();
      const QXmlStreamAttributes attrs = x.attributes();
      bool ok = false;
      int r = attrs.value(QLatin1String("r")).toInt(&ok);
      if (!ok || r <= lastRow)
        r = lastRow + 1;
      lastRow = r;
      row.number = r;
      row.hidden = truthy(attrs.value(QLatin1String("hidden")));
      inRow = true;
      nextColumn = 0;
    } else if (name == QLatin1String("c") && inRow) {
      const QXmlStreamAttributes attrs = x.attributes();
      int column = columnOf(attrs.value(QLatin1String("r")));
      if (column < 0)
        column = nextColumn;
      if (column >= kMaxColumns) {
        problems << QStringLiteral("%1:%2:%3: 单元格“%4”超出了工作表的列数（最多 XFD 列），工作簿已损坏")
                        .arg(path, sheet.name)
                        .arg(row.number)
                        .arg(attrs.value(QLatin1String("r")).toString());
        x.skipCurrentElement();
        continue;
      }
      nextColumn = column + 1;
      if (width >= 0 && column >= width) {
        // Right of the header: not read at all.
        x.skipCurrentElement();
        ++sheet.cellsPastHeader;
        continue;
      }
      const QString type = attrs.value(QLatin1String("t")).toString();
      const int style = attrs.value(QLatin1String("s")).toInt();
      QString value;
      bool haveValue = false, formula = false;
      // Read the cell's children: <v>, <is>, <f>.
      while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement() && x.name() == QLatin1String("c"))
          break;
        if (!x.isStartElement())
          continue;
        if (x.name() == QLatin1String("v")) {
          value = x.readElementText();
          haveValue = true;
        } else if (x.name() == QLatin1String("is")) {
          value = richText(x);
          haveValue = true;
        } else {
          formula = formula || x.name() == QLatin1String("f");
          x.skipCurrentElement();
        }
      }
      SheetCell cell;
      cell.column = column;
      const QString format = style >= 0 && size_t(style) < book.cellFormats.size() ? book.cellFormats[size_t(style)] : QString();
      if (!haveValue) {
        if (!formula)
          continue;
        cell.problem = QStringLiteral("公式没有计算结果（请在电子表格程序中打开并保存一次，让公式算出结果）");
      } else if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.toInt(&ok);
        if (!ok || index < 0 || index >= book.shared.size()) {
          problems << where(path, sheet.name, row.number, column) +
                          QStringLiteral(": 单元格引用的共享字符串 %1 不存在（工作簿已损坏）").arg(value);
          continue;
        }
        cell.text = book.shared[index];
      } else if (type == QLatin1String("inlineStr") || type == QLatin1String("str")) {
        cell.text = unescapeXstring(value);
      } else if (type == QLatin1String("b")) {
        cell.text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
      } else if (type == QLatin1String("e")) {
        cell.problem = QStringLiteral("单元格是错误值 %1（公式出错：请改正公式或填入文字）").arg(value.left(40));
      } else {
        double number = 0;
        bool ok = false;
        if (type == QLatin1String("d")) {
          // An ISO date: its serial, for the date format to show.
          QDateTime t = QDateTime::fromString(value, Qt::ISODateWithMs);
          if (!t.isValid())
            t = QDateTime(QDate::fromString(value, Qt::ISODate), QTime(0, 0));
          if (t.isValid()) {
            t.setTimeSpec(Qt::UTC);
            number = double(QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC).msecsTo(t)) / 86400000.0;
            ok = true;
          }
          if (format.isEmpty() || !ok) {
            cell.text = value;
            ok = false;
          }
        } else {
          number = value.toDouble(&ok);
          if (!ok)
            cell.text = value;
        }
        if (ok && !FormatSheetNumber(number, format, book.date1904, cell.text))
          cell.problem = QStringLiteral("数字格式“%1”显示的文字无法确定（值为 %2）：请把这一格设为文本格式后重新输入")
                             .arg(format.left(80), value.left(40));
      }
      if (cell.text.isEmpty() && cell.problem.isEmpty())
        continue;
      if (row.cells.empty() || row.cells.back().column < column)
        row.cells.push_back(std::move(cell));
      else
        row.at(column) = std::move(cell); // out of order or twice: keep the columns sorted
    } else if (name == QLatin1String("col")) {
      const QXmlStreamAttributes attrs = x.attributes();
      if (!truthy(attrs.value(QLatin1String("hidden"))))
        continue;
      const int min = std::max(1, attrs.value(QLatin1String("min")).toInt());
      const int max = std::min(kMaxColumns, attrs.value(QLatin1String("max")).toInt());
      if (hiddenColumn.empty() && min <= max)
        hiddenColumn.assign(kMaxColumns, false);
      for (int c = min; c <= max; ++c)
        hiddenColumn[size_t(c - 1)] = true;
    } else if (name == QLatin1String("mergeCell")) {
      if (sheet.merges.size() < 1000000)
        sheet.merges << x.attributes().value(QLatin1String("ref")).toString();
    }
  }
  finishRow();
  for (int c = 0; c < int(hiddenColumn.size()); ++c)
    if (hiddenColumn[size_t(c)] && (width < 0 || c < width) && c <= lastColumn)
      sheet.hiddenColumns.push_back(c);
  if (!sheet.merges.isEmpty()) {
    if (beforeMerges)
      beforeMerges();
    applyMerges(sheet, width >= 0 ? std::min(width - 1, lastColumn) : lastColumn, path, problems);
  }
}

// With `packed`, the rows of each sheet of `result` are kept there instead,
// at the same index, unless the sheet has merged ranges.
void readXlsx(const QString &path, SheetFileContents &result, const SheetReadOptions &options,
              std::vector<std::vector<PackedRow>> *packed = nullptr) {
  QHash<QString, QByteArray> parts;
  QString problem;
  qint64 total = 0;
  if (!readSmallParts(path, parts, total, problem)) {
    result.problems << problem;
    return;
  }
  if (!parts.contains(QStringLiteral("xl/workbook.xml"))) {
    result.problems << QStringLiteral("%1: 不是 xlsx 工作簿（缺少 xl/workbook.xml）").arg(path);
    return;
  }
  auto xmlProblem = [&](const QString &part, const QXmlStreamReader &x) {
    result.problems << QStringLiteral("%1: xlsx 工作簿中的“%2”不是有效的 XML（第 %3 行：%4）")
                           .arg(path, part)
                           .arg(x.lineNumber())
                           .arg(xmlErrorText(x));
  };

  QHash<QString, QString> targets; // relationship id -> part name
  QString sharedPart;               // the shared strings, when the workbook has them
  QString stylesPart = QStringLiteral("xl/styles.xml");
  {
    QXmlStreamReader x(parts.value(QStringLiteral("xl/_rels/workbook.xml.rels")));
    while (!x.atEnd()) {
      x.readNext();
      if (!x.isStartElement() || x.name() != QLatin1String("Relationship"))
        continue;
      const QString target = resolveTarget(x.attributes().value(QLatin1String("Target")).toString());
      targets.insert(x.attributes().value(QLatin1String("Id")).toString(), target);
      const QStringView type = x.attributes().value(QLatin1String("Type"));
      if (type.endsWith(QLatin1String("/sharedStrings")))
        sharedPart = target;
      else if (type.endsWith(QLatin1String("/styles")))
        stylesPart = target;
    }
  }

  Book book;
  auto readShared = [&](QXmlStreamReader &x) {
    while (!x.atEnd()) {
      x.readNext();
      if (x.isStartElement() && x.name() == QLatin1String("si"))
        book.shared << richText(x);
    }
  };
  if (parts.contains(sharedPart)) {
    QXmlStreamReader x(parts.value(sharedPart));
    readShared(x);
    if (x.hasError()) {
      xmlProblem(sharedPart, x);
      return;
    }
    parts.remove(sharedPart);
  } else if (sharedPart == kSharedStringsPart) {
    ArchivePtr a = openZip(path, problem);
    if (!a) {
      result.problems << problem;
      return;
    }
    archive_entry *e = nullptr;
    while (archive_read_next_header(a.get(), &e) == ARCHIVE_OK) {
      if (entryName(e) != sharedPart)
        continue;
      EntryDevice d(a.get(), std::min(kMaxPart, kMaxTotal - total));
      QXmlStreamReader x(&d);
      readShared(x);
      total += d.total;
      if (d.tooLarge || d.failed) {
        result.problems << (d.tooLarge ? tooLargeProblem(path, sharedPart) : damagedProblem(path, sharedPart));
        return;
      }
      if (x.hasError()) {
        xmlProblem(sharedPart, x);
        return;
      }
      break;
    }
  }
  if (parts.contains(stylesPart)) {
    QHash<int, QString> custom;
    QXmlStreamReader x(parts.value(stylesPart));
    bool inCellXfs = false;
    while (!x.atEnd()) {
      x.readNext();
      if (x.isEndElement() && x.name() == QLatin1String("cellXfs"))
        inCellXfs = false;
      if (!x.isStartElement())
        continue;
      if (x.name() == QLatin1String("numFmt")) {
        custom.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                      x.attributes().value(QLatin1String("formatCode")).toString());
      } else if (x.name() == QLatin1String("cellXfs")) {
        inCellXfs = true;
      } else if (inCellXfs && x.name() == QLatin1String("xf")) {
        const int id = x.attributes().value(QLatin1String("numFmtId")).toInt();
        book.cellFormats.push_back(custom.contains(id) ? custom.value(id) : builtinFormat(id));
      }
    }
    if (x.hasError()) {
      xmlProblem(stylesPart, x);
      return;
    }
  }

  struct SheetRef {
    QString name, part;
    bool hidden;
  };
  std::vector<SheetRef> refs;
  {
    QXmlStreamReader x(parts.value(QStringLiteral("xl/workbook.xml")));
    while (!x.atEnd()) {
      x.readNext();
      if (!x.isStartElement())
        continue;
      if (x.name() == QLatin1String("workbookPr")) {
        book.date1904 = truthy(x.attributes().value(QLatin1String("date1904")));
        continue;
      }
      if (x.name() != QLatin1String("sheet"))
        continue;
      QString id;
      for (const QXmlStreamAttribute &a : x.attributes())
        if (a.name() == QLatin1String("id") && a.namespaceUri().endsWith(QLatin1String("/relationships")))
          id = a.value().toString();
      const QStringView state = x.attributes().value(QLatin1String("state"));
      refs.push_back({x.attributes().value(QLatin1String("name")).toString(), targets.value(id),
                      state == u"hidden" || state == u"veryHidden"});
    }
    if (x.hasError()) {
      xmlProblem(QStringLiteral("xl/workbook.xml"), x);
      return;
    }
  }

  // Sheets in the workbook's order; their parts come in the zip's order.
  enum State { Missing, Read, Broken };
  std::vector<Sheet> sheets(refs.size());
  std::vector<State> state(refs.size(), Missing);
  std::vector<std::vector<PackedRow>> packedRows(packed ? refs.size() : 0);
  auto parse = [&](size_t i, QXmlStreamReader &x) {
    Sheet &sheet = sheets[i];
    sheet.file = path;
    sheet.name = refs[i].name;
    sheet.hidden = refs[i].hidden;
    if (packed) {
      std::vector<PackedRow> &rows = packedRows[i];
      readWorksheet(x, book, sheet, options, result.problems, [&rows](SheetRow &row) { rows.push_back(packRow(row)); },
                    [&] {
                      sheet.rows.reserve(rows.size());
                      for (PackedRow &p : rows)
                        sheet.rows.push_back(unpackRow(p));
                      std::vector<PackedRow>().swap(rows);
                    });
    } else {
      readWorksheet(x, book, sheet, options, result.problems, keepIn(sheet), {});
    }
    state[i] = Read;
    if (x.hasError()) {
      state[i] = Broken;
      sheet.rows.clear();
      if (packed)
        packedRows[i].clear();
    }
  };
  QHash<QString, size_t> streamed; // part -> the first sheet that names it
  for (size_t i = 0; i < refs.size(); ++i) {
    if (parts.contains(refs[i].part)) {
      QXmlStreamReader x(parts.value(refs[i].part));
      parse(i, x);
      if (x.hasError())
        xmlProblem(refs[i].part, x);
    } else if (refs[i].part.startsWith(QLatin1String("xl/worksheets/")) && !streamed.contains(refs[i].part)) {
      streamed.insert(refs[i].part, i);
    }
  }
  parts.clear();
  if (!streamed.isEmpty()) {
    ArchivePtr a = openZip(path, problem);
    if (!a) {
      result.problems << problem;
      return;
    }
    archive_entry *e = nullptr;
    while (archive_read_next_header(a.get(), &e) == ARCHIVE_OK) {
      const QString name = entryName(e);
      const auto it = streamed.constFind(name);
      if (it == streamed.constEnd() || state[*it] != Missing)
        continue;
      EntryDevice d(a.get(), std::min(kMaxPart, kMaxTotal - total));
      QXmlStreamReader x(&d);
      parse(*it, x);
      total += d.total;
      if (d.tooLarge || d.failed) {
        result.problems << (d.tooLarge ? tooLargeProblem(path, name) : damagedProblem(path, name));
        return;
      }
      if (x.hasError())
        xmlProblem(name, x);
    }
  }
  for (size_t i = 0; i < refs.size(); ++i) {
    if (state[i] == Missing && streamed.contains(refs[i].part) && state[streamed.value(refs[i].part)] == Read) {
      sheets[i].rows = sheets[streamed.value(refs[i].part)].rows; // two sheets name the same part
      if (packed)
        packedRows[i] = packedRows[streamed.value(refs[i].part)];
      sheets[i].file = path;
      sheets[i].name = refs[i].name;
      sheets[i].hidden = refs[i].hidden;
      state[i] = Read;
    }
    if (state[i] == Missing)
      result.problems << QStringLiteral("%1:%2: 工作簿中找不到这张工作表的内容（%3）").arg(path, refs[i].name, refs[i].part);
    if (state[i] == Read) {
      result.sheets.push_back(std::move(sheets[i]));
      if (packed)
        packed->push_back(std::move(packedRows[i]));
    }
  }
}

// ---------------------------------------------------------------- writing

QByteArray xmlPart(const std::function<void(QXmlStreamWriter &)> &body) {
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.writeStartDocument(QStringLiteral("1.0"), true);
  body(w);
  w.writeEndDocument();
  return out;
}

const QString kMain = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRel = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kPkgRel = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

std::vector<std::pair<QString, QByteArray>> workbookParts(const std::vector<Sheet> &sheets) {
  std::vector<std::pair<QString, QByteArray>> parts;
  parts.emplace_back(QStringLiteral("[Content_Types].xml"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("Types"));
    w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    auto def = [&](const char *ext, const char *type) {
      w.writeEmptyElement(QStringLiteral("Default"));
      w.writeAttribute(QStringLiteral("Extension"), QLatin1String(ext));
      w.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    def("rels", "application/vnd.openxmlformats-package.relationships+xml");
    def("xml", "application/xml");
    auto over = [&](const QString &part, const char *type) {
      w.writeEmptyElement(QStringLiteral("Override"));
      w.writeAttribute(QStringLiteral("PartName"), part);
      w.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    over(QStringLiteral("/xl/workbook.xml"), "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    for (size_t i = 0; i < sheets.size(); ++i)
      over(QStringLiteral("/xl/worksheets/sheet%1.xml").arg(i + 1),
           "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
    over(QStringLiteral("/xl/sharedStrings.xml"), "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    over(QStringLiteral("/xl/styles.xml"), "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
    w.writeEndElement();
  }));
  parts.emplace_back(QStringLiteral("_rels/.rels"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("Relationships"));
    w.writeDefaultNamespace(kPkgRel);
    w.writeEmptyElement(QStringLiteral("Relationship"));
    w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId1"));
    w.writeAttribute(QStringLiteral("Type"), kRel + QStringLiteral("/officeDocument"));
    w.writeAttribute(QStringLiteral("Target"), QStringLiteral("xl/workbook.xml"));
    w.writeEndElement();
  }));
  parts.emplace_back(QStringLiteral("xl/workbook.xml"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("workbook"));
    w.writeDefaultNamespace(kMain);
    w.writeNamespace(kRel, QStringLiteral("r"));
    w.writeStartElement(QStringLiteral("sheets"));
    for (size_t i = 0; i < sheets.size(); ++i) {
      w.writeEmptyElement(QStringLiteral("sheet"));
      w.writeAttribute(QStringLiteral("name"), sheets[i].name);
      w.writeAttribute(QStringLiteral("sheetId"), QString::number(i + 1));
      if (sheets[i].hidden)
        w.writeAttribute(QStringLiteral("state"), QStringLiteral("hidden"));
      w.writeAttribute(kRel, QStringLiteral("id"), QStringLiteral("rId%1").arg(i + 1));
    }
    w.writeEndElement();
    w.writeEndElement();
  }));
  parts.emplace_back(QStringLiteral("xl/_rels/workbook.xml.rels"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("Relationships"));
    w.writeDefaultNamespace(kPkgRel);
    auto rel = [&](const QString &id, const QString &type, const QString &target) {
      w.writeEmptyElement(QStringLiteral("Relationship"));
      w.writeAttribute(QStringLiteral("Id"), id);
      w.writeAttribute(QStringLiteral("Type"), kRel + type);
      w.writeAttribute(QStringLiteral("Target"), target);
    };
    for (size_t i = 0; i < sheets.size(); ++i)
      rel(QStringLiteral("rId%1").arg(i + 1), QStringLiteral("/worksheet"), QStringLiteral("worksheets/sheet%1.xml").arg(i + 1));
    rel(QStringLiteral("rId%1").arg(sheets.size() + 1), QStringLiteral("/sharedStrings"), QStringLiteral("sharedStrings.xml"));
    rel(QStringLiteral("rId%1").arg(sheets.size() + 2), QStringLiteral("/styles"), QStringLiteral("styles.xml"));
    w.writeEndElement();
  }));
  // Style 0: text (so that a spreadsheet program keeps "01" or "1.0" as
  // typed), wrapped and aligned top; then one style per number format the
  // sheets' number cells ask for.
  QStringList formats;
  for (const Sheet &s : sheets)
    for (const SheetRow &r : s.rows)
      for (const SheetCell &c : r.cells)
        if (c.kind == SheetCellKind::Number && !formats.contains(c.format))
          formats << c.format;
  parts.emplace_back(QStringLiteral("xl/styles.xml"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("styleSheet"));
    w.writeDefaultNamespace(kMain);
    if (!formats.isEmpty()) {
      w.writeStartElement(QStringLiteral("numFmts"));
      w.writeAttribute(QStringLiteral("count"), QString::number(formats.size()));
      for (int k = 0; k < formats.size(); ++k) {
        w.writeEmptyElement(QStringLiteral("numFmt"));
        w.writeAttribute(QStringLiteral("numFmtId"), QString::number(164 + k));
        w.writeAttribute(QStringLiteral("formatCode"), formats[k]);
      }
      w.writeEndElement();
    }
    w.writeStartElement(QStringLiteral("fonts"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    w.writeStartElement(QStringLiteral("font"));
    w.writeEmptyElement(QStringLiteral("sz"));
    w.writeAttribute(QStringLiteral("val"), QStringLiteral("11"));
    w.writeEmptyElement(QStringLiteral("name"));
    w.writeAttribute(QStringLiteral("val"), QStringLiteral("宋体"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("fills"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
    for (const char *pattern : {"none", "gray125"}) {
      w.writeStartElement(QStringLiteral("fill"));
      w.writeEmptyElement(QStringLiteral("patternFill"));
      w.writeAttribute(QStringLiteral("patternType"), QLatin1String(pattern));
      w.writeEndElement();
    }
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("borders"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    w.writeEmptyElement(QStringLiteral("border"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("cellStyleXfs"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    w.writeEmptyElement(QStringLiteral("xf"));
    for (const char *a : {"numFmtId", "fontId", "fillId", "borderId"})
      w.writeAttribute(QLatin1String(a), QStringLiteral("0"));
    w.writeEndElement();
    auto xfIds = [&] {
      for (const char *a : {"fontId", "fillId", "borderId"})
        w.writeAttribute(QLatin1String(a), QStringLiteral("0"));
    };
    w.writeStartElement(QStringLiteral("cellXfs"));
    w.writeAttribute(QStringLiteral("count"), QString::number(1 + formats.size()));
    w.writeStartElement(QStringLiteral("xf"));
    xfIds();
    w.writeAttribute(QStringLiteral("numFmtId"), QStringLiteral("49"));
    w.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("applyAlignment"), QStringLiteral("1"));
    w.writeEmptyElement(QStringLiteral("alignment"));
    w.writeAttribute(QStringLiteral("vertical"), QStringLiteral("top"));
    w.writeAttribute(QStringLiteral("wrapText"), QStringLiteral("1"));
    w.writeEndElement();
    for (int k = 0; k < formats.size(); ++k) {
      w.writeEmptyElement(QStringLiteral("xf"));
      xfIds();
      w.writeAttribute(QStringLiteral("numFmtId"), QString::number(164 + k));
      w.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
      w.writeAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
    }
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("cellStyles"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    w.writeEmptyElement(QStringLiteral("cellStyle"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("Normal"));
    w.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("builtinId"), QStringLiteral("0"));
    w.writeEndElement();
    w.writeEndElement();
  }));

  QStringList strings;
  QHash<QString, int> index;
  int references = 0;
  for (size_t i = 0; i < sheets.size(); ++i) {
    parts.emplace_back(QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1), xmlPart([&](QXmlStreamWriter &w) {
      w.writeStartElement(QStringLiteral("worksheet"));
      w.writeDefaultNamespace(kMain);
      const Sheet &sheet = sheets[i];
      if (!sheet.hiddenColumns.empty()) {
        w.writeStartElement(QStringLiteral("cols"));
        for (int c : sheet.hiddenColumns) {
          w.writeEmptyElement(QStringLiteral("col"));
          w.writeAttribute(QStringLiteral("min"), QString::number(c + 1));
          w.writeAttribute(QStringLiteral("max"), QString::number(c + 1));
          w.writeAttribute(QStringLiteral("hidden"), QStringLiteral("1"));
        }
        w.writeEndElement();
      }
      w.writeStartElement(QStringLiteral("sheetData"));
      for (const SheetRow &row : sheet.rows) {
        w.writeStartElement(QStringLiteral("row"));
        w.writeAttribute(QStringLiteral("r"), QString::number(row.number));
        if (row.hidden)
          w.writeAttribute(QStringLiteral("hidden"), QStringLiteral("1"));
        for (const SheetCell &cell : row.cells) {
          const QString &text = cell.text;
          if (text.isEmpty())
            continue;
          w.writeStartElement(QStringLiteral("c"));
          w.writeAttribute(QStringLiteral("r"), SheetColumnName(cell.column) + QString::number(row.number));
          switch (cell.kind) {
          case SheetCellKind::Number:
            w.writeAttribute(QStringLiteral("s"), QString::number(1 + formats.indexOf(cell.format)));
            w.writeTextElement(QStringLiteral("v"), text);
            break;
          case SheetCellKind::Error:
            w.writeAttribute(QStringLiteral("t"), QStringLiteral("e"));
            w.writeTextElement(QStringLiteral("v"), text);
            break;
          case SheetCellKind::Formula:
            w.writeTextElement(QStringLiteral("f"), text); // no computed value
            break;
          case SheetCellKind::Text: {
            auto it = index.constFind(text);
            if (it == index.constEnd()) {
              it = index.insert(text, int(strings.size()));
              strings << text;
            }
            ++references;
            w.writeAttribute(QStringLiteral("s"), QStringLiteral("0"));
            w.writeAttribute(QStringLiteral("t"), QStringLiteral("s"));
            w.writeTextElement(QStringLiteral("v"), QString::number(*it));
            break;
          }
          }
          w.writeEndElement();
        }
        w.writeEndElement();
      }
      w.writeEndElement();
      if (!sheet.merges.isEmpty()) {
        w.writeStartElement(QStringLiteral("mergeCells"));
        w.writeAttribute(QStringLiteral("count"), QString::number(sheet.merges.size()));
        for (const QString &m : sheet.merges) {
          w.writeEmptyElement(QStringLiteral("mergeCell"));
          w.writeAttribute(QStringLiteral("ref"), m);
        }
        w.writeEndElement();
      }
      w.writeEndElement();
    }));
  }
  parts.emplace_back(QStringLiteral("xl/sharedStrings.xml"), xmlPart([&](QXmlStreamWriter &w) {
    w.writeStartElement(QStringLiteral("sst"));
    w.writeDefaultNamespace(kMain);
    w.writeAttribute(QStringLiteral("count"), QString::number(references));
    w.writeAttribute(QStringLiteral("uniqueCount"), QString::number(strings.size()));
    for (const QString &s : strings) {
      w.writeStartElement(QStringLiteral("si"));
      w.writeStartElement(QStringLiteral("t"));
      w.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
      w.writeCharacters(escapeXstring(s));
      w.writeEndElement();
      w.writeEndElement();
    }
    w.writeEndElement();
  }));
  return parts;
}

QByteArray zipBytes(const std::vector<std::pair<QString, QByteArray>> &parts) {
  QByteArray out;
  std::unique_ptr<archive, int (*)(archive *)> a(archive_write_new(), archive_write_free);
  archive_write_set_format_zip(a.get());
  archive_write_set_bytes_in_last_block(a.get(), 1);
  auto fail = [&] { throw FileError(QStringLiteral("无法生成 xlsx 工作簿：%1").arg(QString::fromLocal8Bit(archive_error_string(a.get())))); };
  // libarchive writes into a growing buffer through callbacks.
  if (archive_write_open(
          a.get(), &out, nullptr,
          [](archive *, void *client, const void *buf, size_t n) -> la_ssize_t {
            static_cast<QByteArray *>(client)->append(static_cast<const char *>(buf), qsizetype(n));
            return la_ssize_t(n);
          },
          nullptr) != ARCHIVE_OK)
    fail();
  for (const auto &[name, data] : parts) {
    std::unique_ptr<archive_entry, void (*)(archive_entry *)> e(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname_utf8(e.get(), name.toUtf8().constData());
    archive_entry_set_filetype(e.get(), AE_IFREG);
    archive_entry_set_perm(e.get(), 0644);
    archive_entry_set_size(e.get(), data.size());
    archive_entry_set_mtime(e.get(), 1767225600, 0); // fixed: the same sheets give the same bytes
    if (archive_write_header(a.get(), e.get()) != ARCHIVE_OK)
      fail();
    if (archive_write_data(a.get(), data.constData(), size_t(data.size())) != data.size())
      fail();
  }
  if (archive_write_close(a.get()) != ARCHIVE_OK)
    fail();
  return out;
}

QString csvCell(const QString &text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
    return text;
  QString t = text;
  t.replace(QLatin1String("\""), QLatin1String("\"\""));
  return u'"' + t + u'"';
}

bool isXlsx(const QString &path) { return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive); }

} // namespace

// A CSV file's one sheet, its rows handed to `sink`; the sheet comes back
// without rows.
static bool readCsv(const QString &path, const QByteArray &bytes, const SheetReadOptions &options, SheetFileContents &result,
                    Sheet &sheet, const std::function<RowSink(Sheet &)> &sinkFor, bool rowsKept = true) {
  QByteArray converted;
  QByteArrayView text;
  QString problem;
  if (!decodeCsv(path, bytes, converted, text, result.encoding, problem)) {
    result.problems << problem;
    return false;
  }
  sheet.file = path;
  sheet.name = QFileInfo(path).completeBaseName();
  parseCsv(text, sheet, result.problems, options, sinkFor(sheet), rowsKept);
  return true;
}

SheetFileContents ReadCsvBytes(const QString &path, const QByteArray &bytes, const SheetReadOptions &options) {
  SheetFileContents result;
  Sheet sheet;
  if (readCsv(path, bytes, options, result, sheet, keepIn))
    result.sheets.push_back(std::move(sheet));
  return result;
}

// A CSV file's bytes: mapped into memory when it can be (no copy is made),
// else read.
struct CsvBytes {
  QFile file;
  QByteArray bytes;
};

// The checks every file gets before it is read; false with a problem in
// `result` when it cannot be read. `csv` gets a CSV file's bytes.
static bool openSheetFile(const QString &path, SheetFileContents &result, CsvBytes &csv) {
  const QFileInfo info(path);
  if (!info.exists()) {
    result.problems << QStringLiteral("%1: 文件不存在").arg(path);
    return false;
  }
  if (!info.isFile()) {
    result.problems << QStringLiteral("%1: 不是普通文件").arg(path);
    return false;
  }
  if (isXlsx(path))
    return true;
  if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
    result.problems << QStringLiteral("%1: 只能导入 .xlsx 或 .csv 文件").arg(path);
    return false;
  }
  QFile &f = csv.file;
  f.setFileName(path);
  if (!f.open(QIODevice::ReadOnly)) {
    result.problems << QStringLiteral("%1: 无法读取：%2").arg(path, f.errorString());
    return false;
  }
  const qint64 size = f.size();
  uchar *mapped = size > 0 && size < (qint64(1) << 31) ? f.map(0, size) : nullptr;
  if (mapped)
    csv.bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size));
  else
    csv.bytes = f.readAll();
  return true;
}

SheetFileContents ReadSheetFile(const QString &path, const SheetReadOptions &options) {
  SheetFileContents result;
  CsvBytes csv;
  if (!openSheetFile(path, result, csv))
    return result;
  if (isXlsx(path)) {
    readXlsx(path, result, options);
    return result;
  }
  Sheet sheet;
  if (readCsv(path, csv.bytes, options, result, sheet, keepIn))
    result.sheets.push_back(std::move(sheet));
  return result;
}

SheetFileContents ReadSheetFileRows(const QString &path, const SheetReadOptions &options, SheetRowReceiver &receiver) {
  SheetFileContents result;
  CsvBytes csv;
  if (!openSheetFile(path, result, csv))
    return result;
  if (isXlsx(path)) {
    // A workbook's merged ranges come after its rows, and a damaged part
    // drops what was read of it: the sheets are read whole (packed), then
    // handed on and let go.
    std::vector<std::vector<PackedRow>> packed;
    readXlsx(path, result, options, &packed);
    std::vector<Sheet> sheets = std::move(result.sheets);
    result.sheets.clear();
    for (size_t i = 0; i < sheets.size(); ++i) {
      Sheet &sheet = sheets[i];
      std::vector<SheetRow> rows = std::move(sheet.rows);
      sheet.rows.clear();
      receiver.sheetBegins(sheet);
      for (SheetRow &row : rows) {
        receiver.row(row);
        row = SheetRow();
      }
      std::vector<SheetRow>().swap(rows);
      for (PackedRow &p : packed[i]) {
        SheetRow row = unpackRow(p);
        receiver.row(row);
      }
      std::vector<PackedRow>().swap(packed[i]);
      receiver.sheetEnds(sheet);
    }
    return result;
  }
  Sheet sheet;
  bool begun = false;
  const bool read = readCsv(path, csv.bytes, options, result, sheet, [&](Sheet &s) -> RowSink {
    receiver.sheetBegins(s);
    begun = true;
    return [&receiver](SheetRow &row) { receiver.row(row); };
  }, false);
  if (read && begun)
    receiver.sheetEnds(sheet);
  return result;
}

void WriteSheetFile(const QString &path, const std::vector<Sheet> &sheets) {
  QByteArray bytes;
  if (isXlsx(path)) {
    bytes = zipBytes(workbookParts(sheets));
  } else {
    bytes = "\xEF\xBB\xBF";
    if (!sheets.empty()) {
      // Every record as wide as the widest, as spreadsheet programs write.
      qsizetype width = 0;
      for (const SheetRow &row : sheets.front().rows)
        if (!row.cells.empty())
          width = std::max<qsizetype>(width, row.cells.back().column + 1);
      QString text;
      for (const SheetRow &row : sheets.front().rows) {
        QStringList cells;
        for (const QString &c : row.texts())
          cells << csvCell(c);
        while (cells.size() < width)
          cells << QString();
        text += cells.join(u',') + QLatin1String("\r\n");
      }
      bytes += text.toUtf8();
    }
  }
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    throw FileError(QStringLiteral("无法写入 %1：%2").arg(path, f.errorString()));
  f.write(bytes);
  if (!f.commit())
    throw FileError(QStringLiteral("无法写入 %1：%2").arg(path, f.errorString()));
}
