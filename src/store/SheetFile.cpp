#include "store/SheetFile.h"
#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <algorithm>
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

namespace {

QString where(const QString &file, const QString &sheet, int row, int column) {
  return QStringLiteral("%1:%2:%3: %4").arg(file, sheet).arg(row).arg(SheetColumnName(column));
}

// ---------------------------------------------------------------- CSV

// The text of a .csv file and the name of its encoding, or a problem.
bool decodeCsv(const QString &path, const QByteArray &bytes, QString &text, QString &encoding, QString &problem) {
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    problem = QStringLiteral("%1: 文件是 UTF-16 编码，不能读取：请在电子表格程序中另存为“CSV UTF-8（逗号分隔）”").arg(path);
    return false;
  }
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) {
    problem = QStringLiteral("%1: 字节偏移 %2 处有 NUL 字节：这不是文本格式的 CSV 文件").arg(path).arg(nul);
    return false;
  }
  const bool bom = bytes.startsWith("\xEF\xBB\xBF");
  const QByteArrayView body = bom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
  {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString t = utf8.decode(body);
    if (!utf8.hasError()) {
      text = std::move(t);
      encoding = bom ? QStringLiteral("UTF-8（带 BOM）") : QStringLiteral("UTF-8");
      return true;
    }
  }
  if (bom) {
    problem = QStringLiteral("%1: 文件以 UTF-8 的 BOM 开头，却含有不是 UTF-8 的字节").arg(path);
    return false;
  }
  // Code page 936, as spreadsheet programs on Chinese Windows save CSV.
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == iconv_t(-1)) {
    problem = QStringLiteral("%1: 不是 UTF-8 编码，而本机无法转换 GBK").arg(path);
    return false;
  }
  QByteArray out(body.size() * 3 / 2 + 16, Qt::Uninitialized);
  char *in = const_cast<char *>(body.data());
  size_t inLeft = size_t(body.size());
  char *op = out.data();
  size_t outLeft = size_t(out.size());
  const size_t rc = iconv(cd, &in, &inLeft, &op, &outLeft);
  iconv_close(cd);
  if (rc == size_t(-1) || inLeft != 0) {
    problem = QStringLiteral("%1: 字节偏移 %2 处的内容既不是 UTF-8 也不是 GBK 编码：请另存为“CSV UTF-8（逗号分隔）”")
                  .arg(path)
                  .arg(qsizetype(in - body.data()));
    return false;
  }
  out.truncate(op - out.data());
  text = QString::fromUtf8(out);
  encoding = QStringLiteral("GBK");
  return true;
}

// RFC 4180 records: cells separated by commas, records by CR LF (or a bare
// LF or CR); a quoted cell may hold commas, doubled quotes and line breaks
// (a CR LF inside a cell becomes LF).
void parseCsv(const QString &text, Sheet &sheet, QStringList &problems) {
  // Cells are copied out of the text in one piece each; a quoted cell is
  // rebuilt only when it holds a doubled quote or a CR.
  const QChar *p = text.constData();
  const qsizetype n = text.size();
  qsizetype i = 0;
  int record = 1;
  SheetRow row;
  row.number = 1;
  auto endRecord = [&] {
    sheet.rows.push_back(std::move(row));
    row = SheetRow();
    row.number = ++record;
  };
  while (i < n) {
    QString cell;
    if (p[i] == u'"') {
      const int quoteRow = record;
      const qsizetype start = ++i;
      bool plain = true; // no doubled quote, no CR: the cell is one slice
      qsizetype end = -1;
      while (i < n) {
        if (p[i] == u'"') {
          if (i + 1 < n && p[i + 1] == u'"') {
            plain = false;
            i += 2;
            continue;
          }
          end = i++;
          break;
        }
        if (p[i] == u'\r')
          plain = false;
        ++i;
      }
      if (end < 0) {
        problems << where(sheet.file, sheet.name, quoteRow, int(row.cells.size())) +
                        QStringLiteral(": 单元格的左引号一直没有对应的右引号（文件在引号中结束）");
        end = n;
      }
      if (plain) {
        cell = text.mid(start, end - start);
      } else {
        cell.reserve(end - start);
        for (qsizetype k = start; k < end; ++k) {
          if (p[k] == u'"')
            ++k; // the first of a doubled quote
          else if (p[k] == u'\r' && k + 1 < end && p[k + 1] == u'\n')
            continue;
          cell += p[k] == u'\r' ? QChar(u'\n') : p[k];
        }
      }
      // Records count lines outside cells only: a line break inside a cell
      // belongs to the row it started in.
      if (i < n && p[i] != u',' && p[i] != u'\r' && p[i] != u'\n') {
        problems << where(sheet.file, sheet.name, record, int(row.cells.size())) +
                        QStringLiteral(": 引号括起的单元格在右引号后还有文字（单元格中的引号应写成两个引号 \"\"）");
        const qsizetype start2 = i;
        while (i < n && p[i] != u',' && p[i] != u'\r' && p[i] != u'\n')
          ++i;
        cell += QStringView(p + start2, i - start2);
      }
    } else {
      const qsizetype start = i;
      while (i < n && p[i] != u',' && p[i] != u'\r' && p[i] != u'\n')
        ++i;
      cell = text.mid(start, i - start);
    }
    row.cells << cell;
    if (i >= n)
      break;
    if (p[i] == u',') {
      ++i;
      if (i == n)
        row.cells << QString(); // "a," at the very end: an empty last cell
      continue;
    }
    // A line end: CR LF, LF or CR.
    if (p[i] == u'\r' && i + 1 < n && p[i + 1] == u'\n')
      ++i;
    ++i;
    endRecord();
  }
  if (!row.cells.isEmpty())
    endRecord();
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

// A numeric cell as a person reads it: whole numbers without a fraction, the
// rest without the binary noise of doubles (0.1+0.2 shows as 0.3).
QString numberText(const QString &v) {
  bool ok = false;
  const double d = v.toDouble(&ok);
  if (!ok || !std::isfinite(d))
    return v;
  if (d == std::floor(d) && std::fabs(d) < 1e15)
    return QString::number(qint64(d));
  return QString::number(d, 'g', 15);
}

constexpr int kMaxColumns = 16384; // A … XFD

// Column index of a cell reference such as "AB12"; -1 when there is none,
// kMaxColumns or more when it lies past the last column.
int columnOf(QStringView ref) {
  int c = 0;
  qsizetype i = 0;
  for (; i < ref.size() && ref[i].isLetter(); ++i)
    c = std::min(c * 26 + (ref[i].toUpper().unicode() - u'A' + 1), kMaxColumns + 1);
  return i == 0 ? -1 : c - 1;
}

constexpr qint64 kMaxPart = 512LL * 1024 * 1024;  // no workbook part is larger
constexpr qint64 kMaxTotal = 1024LL * 1024 * 1024; // nor all of them together

// The parts of a zip file the reader needs, by name.
bool readZip(const QString &path, QHash<QString, QByteArray> &parts, QString &problem) {
  std::unique_ptr<archive, int (*)(archive *)> a(archive_read_new(), archive_read_free);
  archive_read_support_format_zip(a.get());
  if (archive_read_open_filename(a.get(), QFile::encodeName(path).constData(), 1 << 16) != ARCHIVE_OK) {
    problem = QStringLiteral("%1: 不是有效的 xlsx 工作簿（%2）").arg(path, QString::fromLocal8Bit(archive_error_string(a.get())));
    return false;
  }
  archive_entry *e = nullptr;
  qint64 total = 0;
  for (;;) {
    const int rc = archive_read_next_header(a.get(), &e);
    if (rc == ARCHIVE_EOF)
      break;
    if (rc < ARCHIVE_WARN) {
      problem = QStringLiteral("%1: xlsx 工作簿已损坏（%2）").arg(path, QString::fromLocal8Bit(archive_error_string(a.get())));
      return false;
    }
    const char *u = archive_entry_pathname_utf8(e);
    const QString name = u ? QString::fromUtf8(u) : QString::fromLocal8Bit(archive_entry_pathname(e));
    if (!name.endsWith(QLatin1String(".xml")) && !name.endsWith(QLatin1String(".rels")))
      continue;
    QByteArray data;
    char buf[1 << 16];
    for (;;) {
      const la_ssize_t got = archive_read_data(a.get(), buf, sizeof buf);
      if (got < 0) {
        problem = QStringLiteral("%1: xlsx 工作簿中的“%2”已损坏（%3）")
                      .arg(path, name, QString::fromLocal8Bit(archive_error_string(a.get())));
        return false;
      }
      if (got == 0)
        break;
      if (data.size() + got > kMaxPart || total + got > kMaxTotal) {
        problem = QStringLiteral("%1: xlsx 工作簿解压后过大（“%2”超过 512 MB 或全部超过 1 GB），不予读取").arg(path, name);
        return false;
      }
      data.append(buf, got);
      total += got;
    }
    parts.insert(name, data);
  }
  return true;
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

void readXlsx(const QString &path, SheetFileContents &result) {
  QHash<QString, QByteArray> parts;
  QString problem;
  if (!readZip(path, parts, problem)) {
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
                           .arg(x.errorString());
  };

  QHash<QString, QString> targets; // relationship id -> part name
  QString sharedPart;               // the shared strings, when the workbook has them
  {
    QXmlStreamReader x(parts.value(QStringLiteral("xl/_rels/workbook.xml.rels")));
    while (!x.atEnd()) {
      x.readNext();
      if (!x.isStartElement() || x.name() != QLatin1String("Relationship"))
        continue;
      const QString target = resolveTarget(x.attributes().value(QLatin1String("Target")).toString());
      targets.insert(x.attributes().value(QLatin1String("Id")).toString(), target);
      if (x.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings")))
        sharedPart = target;
    }
  }

  QStringList shared;
  if (parts.contains(sharedPart)) {
    const QString &part = sharedPart;
    QXmlStreamReader x(parts.value(part));
    while (!x.atEnd()) {
      x.readNext();
      if (x.isStartElement() && x.name() == QLatin1String("si"))
        shared << richText(x);
    }
    if (x.hasError()) {
      xmlProblem(part, x);
      return;
    }
  }

  struct SheetRef {
    QString name, part;
  };
  std::vector<SheetRef> refs;
  {
    QXmlStreamReader x(parts.value(QStringLiteral("xl/workbook.xml")));
    while (!x.atEnd()) {
      x.readNext();
      if (!x.isStartElement() || x.name() != QLatin1String("sheet"))
        continue;
      QString id;
      for (const QXmlStreamAttribute &a : x.attributes())
        if (a.name() == QLatin1String("id") && a.namespaceUri().endsWith(QLatin1String("/relationships")))
          id = a.value().toString();
      refs.push_back({x.attributes().value(QLatin1String("name")).toString(), targets.value(id)});
    }
    if (x.hasError()) {
      xmlProblem(QStringLiteral("xl/workbook.xml"), x);
      return;
    }
  }

  for (const SheetRef &ref : refs) {
    Sheet sheet;
    sheet.file = path;
    sheet.name = ref.name;
    if (!parts.contains(ref.part)) {
      result.problems << QStringLiteral("%1:%2: 工作簿中找不到这张工作表的内容（%3）").arg(path, ref.name, ref.part);
      continue;
    }
    QXmlStreamReader x(parts.value(ref.part));
    int lastRow = 0;
    SheetRow *row = nullptr;
    int nextColumn = 0;
    while (!x.atEnd()) {
      x.readNext();
      if (!x.isStartElement())
        continue;
      if (x.name() == QLatin1String("row")) {
        bool ok = false;
        int r = x.attributes().value(QLatin1String("r")).toInt(&ok);
        if (!ok || r <= lastRow)
          r = lastRow + 1;
        lastRow = r;
        sheet.rows.push_back(SheetRow{r, {}});
        row = &sheet.rows.back();
        nextColumn = 0;
      } else if (x.name() == QLatin1String("c") && row) {
        const QXmlStreamAttributes attrs = x.attributes();
        int column = columnOf(attrs.value(QLatin1String("r")));
        if (column < 0)
          column = nextColumn;
        if (column >= kMaxColumns) {
          result.problems << QStringLiteral("%1:%2:%3: 单元格“%4”超出了工作表的列数（最多 XFD 列），工作簿已损坏")
                                 .arg(path, sheet.name)
                                 .arg(row->number)
                                 .arg(attrs.value(QLatin1String("r")).toString());
          x.skipCurrentElement();
          continue;
        }
        nextColumn = column + 1;
        const QString type = attrs.value(QLatin1String("t")).toString();
        QString value;
        bool haveValue = false;
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
            x.skipCurrentElement();
          }
        }
        if (!haveValue)
          continue;
        QString text;
        if (type == QLatin1String("s")) {
          bool ok = false;
          const int index = value.toInt(&ok);
          if (!ok || index < 0 || index >= shared.size()) {
            result.problems << where(path, sheet.name, row->number, column) +
                                   QStringLiteral(": 单元格引用的共享字符串 %1 不存在（工作簿已损坏）").arg(value);
            continue;
          }
          text = shared[index];
        } else if (type == QLatin1String("inlineStr") || type == QLatin1String("str")) {
          text = unescapeXstring(value);
        } else if (type == QLatin1String("b")) {
          text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (type == QLatin1String("e") || type == QLatin1String("d")) {
          text = value;
        } else {
          text = numberText(value);
        }
        while (row->cells.size() <= column)
          row->cells << QString();
        row->cells[column] = text;
      }
    }
    if (x.hasError()) {
      xmlProblem(ref.part, x);
      continue;
    }
    result.sheets.push_back(std::move(sheet));
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
  parts.emplace_back(QStringLiteral("xl/styles.xml"), xmlPart([&](QXmlStreamWriter &w) {
    // One font, and a cell style that wraps long texts and aligns them top.
    w.writeStartElement(QStringLiteral("styleSheet"));
    w.writeDefaultNamespace(kMain);
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
      for (const char *a : {"numFmtId", "fontId", "fillId", "borderId"})
        w.writeAttribute(QLatin1String(a), QStringLiteral("0"));
    };
    w.writeStartElement(QStringLiteral("cellXfs"));
    w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    w.writeStartElement(QStringLiteral("xf"));
    xfIds();
    w.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("applyAlignment"), QStringLiteral("1"));
    w.writeEmptyElement(QStringLiteral("alignment"));
    w.writeAttribute(QStringLiteral("vertical"), QStringLiteral("top"));
    w.writeAttribute(QStringLiteral("wrapText"), QStringLiteral("1"));
    w.writeEndElement();
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
      w.writeStartElement(QStringLiteral("sheetData"));
      for (const SheetRow &row : sheets[i].rows) {
        w.writeStartElement(QStringLiteral("row"));
        w.writeAttribute(QStringLiteral("r"), QString::number(row.number));
        for (int c = 0; c < row.cells.size(); ++c) {
          const QString &text = row.cells[c];
          if (text.isEmpty())
            continue;
          auto it = index.constFind(text);
          if (it == index.constEnd()) {
            it = index.insert(text, int(strings.size()));
            strings << text;
          }
          ++references;
          w.writeStartElement(QStringLiteral("c"));
          w.writeAttribute(QStringLiteral("r"), SheetColumnName(c) + QString::number(row.number));
          w.writeAttribute(QStringLiteral("t"), QStringLiteral("s"));
          w.writeTextElement(QStringLiteral("v"), QString::number(*it));
          w.writeEndElement();
        }
        w.writeEndElement();
      }
      w.writeEndElement();
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

SheetFileContents ReadCsvBytes(const QString &path, const QByteArray &bytes) {
  SheetFileContents result;
  QString text, problem;
  if (!decodeCsv(path, bytes, text, result.encoding, problem)) {
    result.problems << problem;
    return result;
  }
  Sheet sheet;
  sheet.file = path;
  sheet.name = QFileInfo(path).completeBaseName();
  parseCsv(text, sheet, result.problems);
  result.sheets.push_back(std::move(sheet));
  return result;
}

SheetFileContents ReadSheetFile(const QString &path) {
  SheetFileContents result;
  const QFileInfo info(path);
  if (!info.exists()) {
    result.problems << QStringLiteral("%1: 文件不存在").arg(path);
    return result;
  }
  if (!info.isFile()) {
    result.problems << QStringLiteral("%1: 不是普通文件").arg(path);
    return result;
  }
  if (isXlsx(path)) {
    readXlsx(path, result);
    return result;
  }
  if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
    result.problems << QStringLiteral("%1: 只能导入 .xlsx 或 .csv 文件").arg(path);
    return result;
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    result.problems << QStringLiteral("%1: 无法读取：%2").arg(path, f.errorString());
    return result;
  }
  return ReadCsvBytes(path, f.readAll());
}

void WriteSheetFile(const QString &path, const std::vector<Sheet> &sheets) {
  QByteArray bytes;
  if (isXlsx(path)) {
    bytes = zipBytes(workbookParts(sheets));
  } else {
    bytes = "\xEF\xBB\xBF";
    if (!sheets.empty()) {
      QString text;
      for (const SheetRow &row : sheets.front().rows) {
        QStringList cells;
        for (const QString &c : row.cells)
          cells << csvCell(c);
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
