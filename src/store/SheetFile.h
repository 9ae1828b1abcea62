#pragma once
// Spreadsheets as plain tables of text: .xlsx workbooks (a zip of XML parts,
// read with libarchive and QXmlStreamReader) and .csv files (RFC 4180, cells
// may hold commas, quotes and line breaks; UTF-8 with or without a byte-order
// mark, or GBK, told apart by the bytes). What a question bank is made of
// lives in BankImport; this file knows only cells.

#include <QString>
#include <QStringList>
#include <vector>

struct SheetRow {
  int number = 0;    // the row's number as the spreadsheet shows it (1 = first)
  QStringList cells; // by column, A first; trailing empty cells may be missing
};

struct Sheet {
  QString file; // the path as given
  QString name; // the sheet's tab name; a .csv file's base name
  std::vector<SheetRow> rows;
};

struct SheetFileContents {
  std::vector<Sheet> sheets;
  // How a .csv file's text was decoded ("UTF-8", "UTF-8（带 BOM）", "GBK");
  // empty for a workbook.
  QString encoding;
  // What kept a part of the file from being read, each as
  // "FILE:sheet:row: column: problem" (or "FILE: problem" for the whole
  // file). Rows that could be read are still in `sheets`.
  QStringList problems;
};

// Reads a .xlsx or .csv file (chosen by the suffix, letter case ignored).
// Never throws: a missing, unreadable or damaged file comes back as a problem.
SheetFileContents ReadSheetFile(const QString &path);

// The parts of ReadSheetFile, for texts already in memory.
SheetFileContents ReadCsvBytes(const QString &path, const QByteArray &bytes);

// A column's letters: 0 -> "A", 25 -> "Z", 26 -> "AA".
QString SheetColumnName(int column);

// Writes `sheets` as a workbook (shared strings, one worksheet per sheet) or,
// for a .csv path, the first sheet as UTF-8 with a byte-order mark and CR LF
// line ends (the form spreadsheet programs open without asking). The file is
// written under a temporary name and renamed into place. Throws FileError.
void WriteSheetFile(const QString &path, const std::vector<Sheet> &sheets);
