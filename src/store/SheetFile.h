#pragma once
// Spreadsheets as tables of text: .xlsx workbooks (a zip of XML parts, read
// with libarchive and QXmlStreamReader, each worksheet streamed) and .csv
// files (RFC 4180, cells may hold commas, quotes and line breaks; UTF-8 with
// or without a byte-order mark, GBK or GB18030, told apart by the bytes).
// A workbook cell reads as the text it shows: a number through its number
// format (dates, times, percentages, thousands separators), a merged range's
// value in every cell of the range. What a question bank is made of lives in
// BankImport; this file knows only cells.

#include <QString>
#include <QStringList>
#include <vector>

// How the writer stores a cell. The reader gives every cell as Text, with
// the text it shows.
enum class SheetCellKind {
  Text,    // a shared string
  Number,  // `text` is the value ("18172"), shown through `format`
  Error,   // `text` is an error value ("#DIV/0!")
  Formula, // `text` is the formula ("1/0"), written without a computed value
};

struct SheetCell {
  int column = 0; // 0 = A
  QString text;
  // Reading: why the cell has no text to take (an error value, a formula
  // without a computed value, a number format that cannot be shown), in
  // Chinese; `text` is then empty.
  QString problem;
  SheetCellKind kind = SheetCellKind::Text;
  QString format; // writing a Number: its number format code ("0%", "yyyy年m月d日")
};

struct SheetRow {
  SheetRow() = default;
  SheetRow(int number, const QStringList &texts); // every non-empty text a cell
  int number = 0;               // the row's number as the spreadsheet shows it (1 = first)
  std::vector<SheetCell> cells; // only the cells that exist, by ascending column
  bool hidden = false;
  const SheetCell *cell(int column) const;
  QString text(int column) const { const SheetCell *c = cell(column); return c ? c->text : QString(); }
  // The texts from column A to the last cell, empty where a cell is missing.
  QStringList texts() const;
  // The cell of a column, made (empty) when it is missing.
  SheetCell &at(int column);
};

struct Sheet {
  QString file; // the path as given
  QString name; // the sheet's tab name; a .csv file's base name
  std::vector<SheetRow> rows; // rows without any cell are left out
  bool hidden = false;        // a hidden (or very hidden) sheet
  std::vector<int> hiddenColumns;
  QStringList merges;         // merged ranges ("A2:A10"); applied when read
  // Reading with SheetReadOptions::headerColumns: the cells right of the
  // first row's last cell, which were not kept.
  qint64 cellsPastHeader = 0;
};

struct SheetFileContents {
  std::vector<Sheet> sheets;
  // How a .csv file's text was decoded ("UTF-8", "UTF-8（带 BOM）", "GBK",
  // "GB18030"); empty for a workbook.
  QString encoding;
  // What kept a part of the file from being read, each as
  // "FILE:sheet:row: column: problem" (or "FILE: problem" for the whole
  // file). Rows that could be read are still in `sheets`.
  QStringList problems;
};

struct SheetReadOptions {
  // A table with a header row: the first row with a cell fixes the columns,
  // and cells right of its last cell are counted, not kept (a stray value in
  // column XFD costs nothing).
  bool headerColumns = false;
};

// Reads a .xlsx or .csv file (chosen by the suffix, letter case ignored).
// Never throws: a missing, unreadable or damaged file comes back as a problem.
SheetFileContents ReadSheetFile(const QString &path, const SheetReadOptions &options = {});

// What ReadSheetFileRows hands over as it reads.
class SheetRowReceiver {
public:
  virtual ~SheetRowReceiver() = default;
  // A sheet without its rows: its file, name and whether it is hidden.
  virtual void sheetBegins(const Sheet &sheet) = 0;
  // Each row the sheet would hold, in order; it may be moved from.
  virtual void row(SheetRow &row) = 0;
  // The sheet again, now with its hidden columns, merges and cells past the
  // header; without its rows.
  virtual void sheetEnds(const Sheet &sheet) = 0;
};

// ReadSheetFile for a reader that takes the rows one at a time: a .csv file
// is never held as rows (a workbook still is, one sheet at a time, as its
// merged ranges follow its rows). Gives back the encoding and the problems,
// in the order ReadSheetFile would; `sheets` stays empty.
SheetFileContents ReadSheetFileRows(const QString &path, const SheetReadOptions &options, SheetRowReceiver &receiver);

// The parts of ReadSheetFile, for texts already in memory.
SheetFileContents ReadCsvBytes(const QString &path, const QByteArray &bytes, const SheetReadOptions &options = {});

// A column's letters: 0 -> "A", 25 -> "Z", 26 -> "AA".
QString SheetColumnName(int column);

// The text a number shows under a number format code ("0.00%",
// "yyyy\"年\"m\"月\"d\"日\"", "#,##0.00", "h:mm"), dates counted from 1900
// (or 1904). False when the format is beyond what can be shown faithfully
// (fractions, conditions, other numerals).
bool FormatSheetNumber(double value, const QString &format, bool date1904, QString &text);

// Writes `sheets` as a workbook (shared strings in cells formatted as text,
// one worksheet per sheet, with their merges, hidden rows, columns and
// sheets) or, for a .csv path, the first sheet as UTF-8 with a byte-order
// mark and CR LF line ends (the form spreadsheet programs open without
// asking). The file is written under a temporary name and renamed into
// place. Throws FileError.
void WriteSheetFile(const QString &path, const std::vector<Sheet> &sheets);
