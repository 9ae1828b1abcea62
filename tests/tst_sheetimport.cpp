// test-links: logic
// Question sheets as teachers make them in spreadsheet programs: numbers
// shown through their formats, merged subject cells, formulas, hidden rows,
// columns and sheets, stray cells far right, empty rows by the million, and
// CSV in GB18030. Every workbook is made here with the program's own writer.

#include "BankDump.h"
#include "TestEnv.h"
#include "store/BankBuilder.h"
#include "store/BankImport.h"
#include "store/SheetFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace {

const QStringList kHeader = {"科目", "章", "节", "题型", "题干", "选项A", "选项B", "答案", "解析"};

SheetCell number(int column, const QString &value, const QString &format) {
  SheetCell c;
  c.column = column;
  c.text = value;
  c.kind = SheetCellKind::Number;
  c.format = format;
  return c;
}
SheetCell special(int column, SheetCellKind kind, const QString &text) {
  SheetCell c;
  c.column = column;
  c.text = text;
  c.kind = kind;
  return c;
}
SheetRow textRow(int number, const QStringList &texts) { return SheetRow(number, texts); }


bool anyStartsWith(const QStringList &lines, const QString &prefix) {
  return std::any_of(lines.cbegin(), lines.cend(), [&](const QString &l) { return l.startsWith(prefix); });
}

} // namespace

class TstSheetImport : public QObject {
  Q_OBJECT

private slots:
  // A number shows what its format says; a format whose text cannot be
  // known is refused rather than guessed.
  void numberFormats_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("shown"); // empty: refused
    QTest::newRow("chinese date") << 18172.0 << "yyyy\"年\"m\"月\"d\"日\"" << "1949年10月1日";
    QTest::newRow("month day") << 46024.0 << "m\"月\"d\"日\"" << "1月2日";
    QTest::newRow("m/d") << 46024.0 << "m/d" << "1/2";
    QTest::newRow("date time") << 45000.75 << "yyyy-mm-dd hh:mm:ss" << "2023-03-15 18:00:00";
    QTest::newRow("the day 1900 never had") << 60.0 << "yyyy-m-d" << "1900-2-29";
    QTest::newRow("weekday") << 44927.0 << "aaaa" << "星期日";
    QTest::newRow("time") << 0.354166666666667 << "h:mm" << "8:30";
    QTest::newRow("noon") << 0.5 << "h:mm AM/PM" << "12:00 PM";
    QTest::newRow("chinese afternoon") << 0.75 << "上午/下午h\"时\"mm\"分\"" << "下午6时00分";
    QTest::newRow("elapsed hours") << 1.5 << "[h]:mm" << "36:00";
    QTest::newRow("percent") << 0.4 << "0%" << "40%";
    QTest::newRow("percent decimals") << 0.125 << "0.00%" << "12.50%";
    QTest::newRow("thousands") << 12345.5 << "#,##0.00" << "12,345.50";
    QTest::newRow("currency") << 1234.5 << "[$¥-804]#,##0.00" << "¥1,234.50";
    QTest::newRow("negative section") << -3.5 << "0.0;(0.0)" << "(3.5)";
    QTest::newRow("negative one section") << -3.5 << "0.00" << "-3.50";
    QTest::newRow("literal text") << 7.0 << "\"第\"0\"题\"" << "第7题";
    QTest::newRow("scientific") << 12345.0 << "0.00E+00" << "1.23E+04";
    QTest::newRow("general") << 3.14159 << "General" << "3.14159";
    QTest::newRow("text format") << 1.0 << "@" << "1";
    QTest::newRow("fraction") << 0.5 << "# ?/?" << "";
    QTest::newRow("chinese numerals") << 5.0 << "[DBNum1]General" << "";
    QTest::newRow("condition") << 100.0 << "[>=100]0;0.0" << "";
  }
  void numberFormats() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, shown);
    QString text;
    const bool ok = FormatSheetNumber(value, format, false, text);
    QCOMPARE(ok, !shown.isEmpty());
    if (ok)
      QCOMPARE(text, shown);
  }

  // A teacher's sheet: subject, chapter and section merged down the rows,
  // a date, a percentage and an amount in number cells, a hidden row and
  // column, a stray value in column XFD, a hidden draft sheet. It becomes
  // the bank the sheet shows, and the notes say what was hidden.
  void teachersSheet() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("teacher.xlsx"));
    Sheet s;
    s.name = QStringLiteral("题目");
    s.rows.push_back(textRow(1, kHeader));
    SheetRow r2 = textRow(2, {"语文", "第一章", "第一节", "单项选择题", "新中国成立于", "", "1950年1月1日", "A", "史实"});
    r2.cells.insert(r2.cells.begin() + 5, number(5, "18172", "yyyy\"年\"m\"月\"d\"日\""));
    SheetRow r3 = textRow(3, {"", "", "", "单项选择题", "及格线是", "", "50%", "A"});
    r3.cells.insert(r3.cells.begin() + 2, number(5, "0.6", "0%"));
    SheetRow r4 = textRow(4, {"", "", "", "填空题", "合计金额"});
    r4.cells.push_back(number(7, "12345.5", "#,##0.00"));
    r4.cells.push_back(special(16383, SheetCellKind::Text, "XFD 里的字"));
    r4.hidden = true;
    s.rows.push_back(r2);
    s.rows.push_back(r3);
    s.rows.push_back(r4);
    s.merges = {"A2:A4", "B2:B4", "C2:C4"};
    s.hiddenColumns = {8};
    Sheet draft;
    draft.name = QStringLiteral("草稿");
    draft.hidden = true;
    draft.rows.push_back(textRow(1, kHeader));
    draft.rows.push_back(textRow(2, {"语文", "第一章", "第一节", "判断题", "草稿题", "", "", "正确"}));
    WriteSheetFile(path, {s, draft});

    QStringList notes;
    BankImportOptions o;
    o.note = [&](const QString &n) { notes << n; };
    const QString out = dir.filePath(QStringLiteral("out.db"));
    BankImportResult r = ImportBankSheets(out, {path}, o);
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    QCOMPARE(r.questions, 3);
    QCOMPARE(dump(out, "SELECT 题目内容,答案 FROM 小题 ORDER BY 小题号"),
             (QStringList{"新中国成立于|A", "及格线是|A", "合计金额|12,345.50"}));
    QCOMPARE(dump(out, "SELECT 答题选项 FROM 答案选项 WHERE 答案编号=1 ORDER BY 小题号"),
             (QStringList{"A．1949年10月1日", "A．60%"}));
    QCOMPARE(dump(out, "SELECT count(DISTINCT 所属编号) FROM 小题"), QStringList{"1"});
    const QString at = path + QStringLiteral(":题目：");
    QVERIFY2(anyStartsWith(notes, at + "有 1 行是隐藏的（第 4 行）"), qPrintable(notes.join('\n')));
    QVERIFY2(anyStartsWith(notes, at + "I 列是隐藏的"), qPrintable(notes.join('\n')));
    QVERIFY2(anyStartsWith(notes, at + "有 1 个单元格在表头最右一列的右边"), qPrintable(notes.join('\n')));
    QVERIFY2(anyStartsWith(notes, path + ":草稿：这张工作表是隐藏的，没有导入"), qPrintable(notes.join('\n')));

    // Asked for, the hidden sheet comes in too, with a note.
    notes.clear();
    o.includeHiddenSheets = true;
    r = ImportBankSheets(out, {path}, o);
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    QCOMPARE(r.questions, 4);
    QVERIFY(anyStartsWith(notes, path + ":草稿：这张工作表是隐藏的，照样导入了"));
  }

  // Cells that show no text to take refuse their row, named by cell and
  // reason; the same cells in a column the import does not read are no
  // concern.
  void cellsWithoutText() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.xlsx"));
    Sheet s;
    s.name = QStringLiteral("题目");
    s.rows.push_back(textRow(1, kHeader + QStringList{"备注"}));
    SheetRow r2 = textRow(2, {"语文", "一", "一", "填空题", "一除以零"});
    r2.cells.push_back(special(7, SheetCellKind::Error, "#DIV/0!"));
    r2.cells.push_back(special(9, SheetCellKind::Error, "#REF!"));
    SheetRow r3 = textRow(3, {"语文", "一", "一", "填空题"});
    r3.cells.push_back(special(4, SheetCellKind::Formula, "CONCAT(\"甲\",\"乙\")"));
    r3.cells.push_back(special(7, SheetCellKind::Text, "答"));
    SheetRow r4 = textRow(4, {"语文", "一", "一", "单项选择题", "几分之几"});
    r4.cells.push_back(number(5, "0.5", "# ?/?"));
    r4.cells.push_back(special(6, SheetCellKind::Text, "一半"));
    r4.cells.push_back(special(7, SheetCellKind::Text, "A"));
    s.rows = {s.rows[0], r2, r3, r4};
    WriteSheetFile(path, {s});
    const BankImportResult r = ImportBankSheets(dir.filePath(QStringLiteral("out.db")), {path});
    const QString at = path + QStringLiteral(":题目:");
    const QStringList expected = {
        at + "2: 答案: 单元格是错误值 #DIV/0!",
        at + "3: 题干: 公式没有计算结果",
        at + "4: 选项A: 数字格式“# ?/?”显示的文字无法确定",
    };
    for (const QString &e : expected)
      QVERIFY2(anyStartsWith(r.problems, e), qPrintable(QStringLiteral("missing: %1\ngot:\n%2").arg(e, r.problems.join('\n'))));
    QCOMPARE(r.problems.size(), expected.size());
  }

  // Rows are kept sparse and empty ones dropped: a value in XFD on every
  // row and a million empty rows cost no more than the cells that exist,
  // and a header bounds what an import keeps.
  void sparseRows() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.xlsx"));
    Sheet s;
    s.name = QStringLiteral("表");
    s.rows.push_back(textRow(1, {"科目", "题干"}));
    for (int i = 2; i <= 2001; ++i) {
      SheetRow r = textRow(i, {"甲", "乙"});
      r.cells.push_back(special(16383, SheetCellKind::Text, "远"));
      s.rows.push_back(r);
    }
    for (int i = 2002; i <= 1002001; ++i)
      s.rows.push_back(SheetRow(i, {}));
    WriteSheetFile(path, {s});

    SheetFileContents c = ReadSheetFile(path);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join('\n')));
    QCOMPARE(c.sheets[0].rows.size(), size_t(2001)); // the empty rows are left out
    QCOMPARE(c.sheets[0].rows[1].cells.size(), size_t(3));
    QCOMPARE(c.sheets[0].rows[1].text(16383), QStringLiteral("远"));

    SheetReadOptions table;
    table.headerColumns = true;
    c = ReadSheetFile(path, table);
    QCOMPARE(c.sheets[0].rows[1].cells.size(), size_t(2));
    QCOMPARE(c.sheets[0].cellsPastHeader, qint64(2000));
  }

  // CSV: GB18030 read (characters GBK lacks); a bad byte or a NUL is named
  // by its row and column, a damaged workbook in Chinese.
  void csvAndDamage() {
    const QByteArray gb18030 = QByteArray("\xbf\xc6\xc4\xbf,\xcc\xe2\xb8\xc9\n") + "\xbc\xd7,\x95\x32\x82\x36\n";
    SheetFileContents c = ReadCsvBytes(QStringLiteral("g.csv"), gb18030);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join('\n')));
    QCOMPARE(c.encoding, QStringLiteral("GB18030"));
    QCOMPARE(c.sheets[0].rows[1].texts(), (QStringList{"甲", QString::fromUcs4(U"\U00020000")}));

    c = ReadCsvBytes(QStringLiteral("b.csv"), "a,b\n\"c\nd\",e\nf,\x81\x20\n"); // a cell of two lines
    QCOMPARE(c.problems.size(), 1);
    QVERIFY2(c.problems[0].startsWith(QStringLiteral("b.csv: 第 3 行 B 列的文字既不是 UTF-8")), qPrintable(c.problems[0]));
    c = ReadCsvBytes(QStringLiteral("n.csv"), QByteArray("a,b\nc,d\0\n", 9));
    QCOMPARE(c.problems.size(), 1);
    QVERIFY2(c.problems[0].startsWith(QStringLiteral("n.csv: 第 2 行 B 列有 NUL 字节")), qPrintable(c.problems[0]));

    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.xlsx"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("PK\x03\x04 not really");
    f.close();
    c = ReadSheetFile(bad);
    QCOMPARE(c.problems.size(), 1);
    static const QRegularExpression english(QStringLiteral("[A-Za-z]{5,}"));
    QVERIFY2(!QString(c.problems[0]).remove(bad).contains(english), qPrintable(c.problems[0]));
  }

  // export-sheet writes 判断题 answers as 正确/错误 and a workbook whose
  // cells are text, so "01" stays "01" when a spreadsheet program saves it.
  void exportJudgeAnswers() {
    QTemporaryDir dir;
    const QString sheet = dir.filePath(QStringLiteral("in.csv"));
    Sheet s;
    s.rows.push_back(textRow(1, {"科目", "章", "节", "题型", "题干", "答案"}));
    s.rows.push_back(textRow(2, {"语文", "一", "一", "判断题", "天是蓝的", "正确"}));
    s.rows.push_back(textRow(3, {"语文", "一", "一", "判断题", "地是方的", "错误"}));
    s.rows.push_back(textRow(4, {"语文", "一", "一", "填空题", "编号", "01"}));
    WriteSheetFile(sheet, {s});
    const QString bank = dir.filePath(QStringLiteral("b.db"));
    QVERIFY(ImportBankSheets(bank, {sheet}).problems.isEmpty());
    const QString back = dir.filePath(QStringLiteral("back.xlsx"));
    ExportBankSheet(bank, back);
    const SheetFileContents c = ReadSheetFile(back);
    const QStringList header = c.sheets[0].rows[0].texts();
    const int answer = int(header.indexOf(QStringLiteral("答案")));
    QCOMPARE(c.sheets[0].rows[1].text(answer), QStringLiteral("正确"));
    QCOMPARE(c.sheets[0].rows[2].text(answer), QStringLiteral("错误"));
    QCOMPARE(c.sheets[0].rows[3].text(answer), QStringLiteral("01"));
  }
};

QBRX_TEST_MAIN(TstSheetImport)
#include "tst_sheetimport.moc"
