// test-links: logic
// Question banks from spreadsheets: CSV quoting and encodings, workbooks as
// spreadsheet programs write them, the checks (every bad row reported at
// once, nothing written), numbering that is kept from an older bank, and the
// demo bank's round trip through export-sheet and import.

#include "BankDump.h"
#include "TestEnv.h"
#include "render/Gbk.h"
#include "store/BankBuilder.h"
#include "store/BankImport.h"
#include "store/FileError.h"
#include "store/SheetFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <archive.h>
#include <archive_entry.h>
#include <sqlite3.h>

namespace {

const QStringList kHeader = {QStringLiteral("科目"), QStringLiteral("章"),   QStringLiteral("节"),   QStringLiteral("题型"),
                             QStringLiteral("题干"), QStringLiteral("选项A"), QStringLiteral("选项B"), QStringLiteral("选项C"),
                             QStringLiteral("选项D"), QStringLiteral("答案"), QStringLiteral("解析"), QStringLiteral("分值"),
                             QStringLiteral("案例"), QStringLiteral("案例组")};

// A question row: the tree, type, stem, options A–D, answer, explanation,
// score, case material, case group.
QStringList row(const QString &type, const QString &stem, const QStringList &options, const QString &answer,
                const QString &score = {}, const QString &caseText = {}, const QString &caseId = {},
                const QString &section = QStringLiteral("第一节 甲"), const QString &explanation = QStringLiteral("解析"))
{
  QStringList cells = {QStringLiteral("科目一"), QStringLiteral("第一章"), section, type, stem};
  for (int k = 0; k < 4; ++k)
    cells << options.value(k);
  cells << answer << explanation << score << caseText << caseId;
  return cells;
}

void writeCsv(const QString &path, const QList<QStringList> &rows, const QStringList &header = kHeader) {
  Sheet s;
  s.rows.push_back({1, header});
  for (const QStringList &r : rows)
    s.rows.push_back({int(s.rows.size()) + 1, r});
  WriteSheetFile(path, {s});
}

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// A zip of the given parts, written with libarchive.
QByteArray zip(const QList<std::pair<QString, QByteArray>> &parts) {
  QByteArray out;
  archive *a = archive_write_new();
  archive_write_set_format_zip(a);
  archive_write_open(
      a, &out, nullptr,
      [](archive *, void *client, const void *buf, size_t n) -> la_ssize_t {
        static_cast<QByteArray *>(client)->append(static_cast<const char *>(buf), qsizetype(n));
        return la_ssize_t(n);
      },
      nullptr);
  for (const auto &[name, data] : parts) {
    archive_entry *e = archive_entry_new();
    archive_entry_set_pathname(e, name.toUtf8().constData());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, data.size());
    archive_write_header(a, e);
    archive_write_data(a, data.constData(), size_t(data.size()));
    archive_entry_free(e);
  }
  archive_write_close(a);
  archive_write_free(a);
  return out;
}


// What a bank's questions are: every table a sheet describes.
const QStringList kContentQueries = {
    QStringLiteral("SELECT 小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释 FROM 小题 ORDER BY 小题号"),
    QStringLiteral("SELECT * FROM 答案选项 ORDER BY 小题号,答案编号"),
    QStringLiteral("SELECT * FROM 大题 ORDER BY 大题号"),
    QStringLiteral("SELECT * FROM 题目类别 ORDER BY 编号"),
    QStringLiteral("SELECT * FROM 类型说明 ORDER BY ID"),
};

} // namespace

class TstBankImport : public QObject {
  Q_OBJECT

private slots:
  // Commas, doubled quotes and line breaks inside quoted cells; CR LF, LF
  // and a last record without a line end; an empty cell at the end.
  void csvQuoting() {
    const QByteArray bytes = "a,\"b,c\",\"say \"\"hi\"\"\"\r\n"
                             "\"two\r\nlines\",\"\",x\n"
                             "last,,";
    const SheetFileContents c = ReadCsvBytes(QStringLiteral("q.csv"), bytes);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join('\n')));
    QCOMPARE(c.sheets.size(), size_t(1));
    QCOMPARE(c.sheets[0].name, QStringLiteral("q"));
    const std::vector<SheetRow> &rows = c.sheets[0].rows;
    QCOMPARE(rows.size(), size_t(3));
    QCOMPARE(rows[0].texts(), (QStringList{"a", "b,c", "say \"hi\""}));
    QCOMPARE(rows[1].texts(), (QStringList{"two\nlines", "", "x"}));
    QCOMPARE(rows[2].texts(), (QStringList{"last"})); // empty cells are not kept
    QCOMPARE(rows[2].number, 3);

    // Broken quoting is named with the row it starts in.
    const SheetFileContents open = ReadCsvBytes(QStringLiteral("q.csv"), "a,b\nc,\"d\ne,f\n");
    QCOMPARE(open.problems.size(), 1);
    QVERIFY2(open.problems[0].startsWith(QStringLiteral("q.csv:q:2: B: ")), qPrintable(open.problems[0]));
    const SheetFileContents stray = ReadCsvBytes(QStringLiteral("q.csv"), "a,\"b\"c\n");
    QCOMPARE(stray.problems.size(), 1);
    QVERIFY2(stray.problems[0].startsWith(QStringLiteral("q.csv:q:1: B: ")), qPrintable(stray.problems[0]));
  }

  void csvEncoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding"); // empty: refused
    const QString text = QStringLiteral("科目,题干\n甲,“中文”内容\n");
    QTest::newRow("utf-8") << text.toUtf8() << QStringLiteral("UTF-8");
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << QStringLiteral("UTF-8（带 BOM）");
    QTest::newRow("gbk") << Gbk::encode(text) << QStringLiteral("GBK");
    QTest::newRow("utf-16") << QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)
                            << QString();
    QTest::newRow("neither") << QByteArray("a,\x81\x20\xff\n") << QString();
    QTest::newRow("bom then gbk") << QByteArray("\xEF\xBB\xBF") + Gbk::encode(text) << QString();
  }
  void csvEncoding() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    const SheetFileContents c = ReadCsvBytes(QStringLiteral("e.csv"), bytes);
    if (encoding.isEmpty()) {
      QCOMPARE(c.problems.size(), 1);
      QVERIFY2(c.problems[0].startsWith(QStringLiteral("e.csv: ")), qPrintable(c.problems[0]));
      QVERIFY(c.sheets.empty());
      return;
    }
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join('\n')));
    QCOMPARE(c.encoding, encoding);
    QCOMPARE(c.sheets[0].rows[1].texts(), (QStringList{"甲", "“中文”内容"}));
  }

  // A workbook as spreadsheet programs write it: sheets listed in the
  // workbook in another order than their parts, targets relative and
  // absolute, shared strings under another name with rich text and
  // phonetic runs, inline strings, numbers, escapes, cells without
  // references.
  void xlsxReading() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    const QByteArray rels =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
"<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>\n"
"<Relationship Id=\"rId7\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"/xl/worksheets/sheet9.xml\"/>\n"
"<Relationship Id=\"rId8\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"strings.xml\"/>\n"
"</Relationships>";
    const QByteArray workbook =
        "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>\n"
"<sheet name=\"题目\" sheetId=\"2\" rel:id=\"rId7\"/><sheet name=\"说明\" sheetId=\"1\" rel:id=\"rId3\"/></sheets></workbook>";
    const QByteArray strings = QStringLiteral(
        "<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n"
"<si><t>题干</t></si>\n"
"<si><r><t>多</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">行 </t></r><rPh sb=\"0\" eb=\"1\"><t>ぎょう</t></rPh><r><t>&#10;文字</t></r></si>\n"
"<si><t>回车_x000D_与_x005F_x0041_</t></si>\n"
"</sst>").toUtf8();
    const QByteArray sheet9 = QStringLiteral(
        "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>\n"
"<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>内联</t></is></c></row>\n"
"<row r=\"3\"><c r=\"B3\" t=\"s\"><v>1</v></c><c><v>2.5</v></c><c><v>0.30000000000000004</v></c><c t=\"b\"><v>1</v></c></row>\n"
"<row><c t=\"s\"><v>2</v></c><c r=\"C4\" t=\"str\"><f>A1</f><v>公式值</v></c><c r=\"D4\"><v>3</v></c></row>\n"
"</sheetData></worksheet>").toUtf8();
    const QByteArray sheet1 =
        "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>note</t></is></c></row></sheetData></worksheet>";
    writeFile(path, zip({{"[Content_Types].xml", "<Types/>"},
                         {"xl/worksheets/sheet1.xml", sheet1},
                         {"xl/strings.xml", strings},
                         {"xl/_rels/workbook.xml.rels", rels},
                         {"xl/worksheets/sheet9.xml", sheet9},
                         {"xl/workbook.xml", workbook}}));
    const SheetFileContents c = ReadSheetFile(path);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join('\n')));
    QVERIFY(c.encoding.isEmpty());
    QCOMPARE(c.sheets.size(), size_t(2));
    QCOMPARE(c.sheets[0].name, QStringLiteral("题目"));
    QCOMPARE(c.sheets[1].name, QStringLiteral("说明"));
    const std::vector<SheetRow> &rows = c.sheets[0].rows;
    QCOMPARE(rows.size(), size_t(3));
    QCOMPARE(rows[0].number, 1);
    QCOMPARE(rows[0].texts(), (QStringList{"题干", "", "内联"}));
    QCOMPARE(rows[1].number, 3);
    QCOMPARE(rows[1].texts(), (QStringList{"", "多行 \n文字", "2.5", "0.3", "TRUE"}));
    QCOMPARE(rows[2].number, 4);
    QCOMPARE(rows[2].texts(), (QStringList{"回车\r与_x0041_", "", "公式值", "3"}));
    QCOMPARE(c.sheets[1].rows[0].number, 2);
    QCOMPARE(c.sheets[1].rows[0].texts(), (QStringList{"note"}));

    // What the writer makes, the reader reads back exactly.
    Sheet s;
    s.name = QStringLiteral("表");
    s.rows.push_back({1, {"a,\"b\"", "", "多\n行", "_x0041_", QString(QChar(0x01)) + "ctl"}});
    const QString back = dir.filePath(QStringLiteral("back.xlsx"));
    WriteSheetFile(back, {s});
    const SheetFileContents b = ReadSheetFile(back);
    QVERIFY2(b.problems.isEmpty(), qPrintable(b.problems.join('\n')));
    QCOMPARE(b.sheets[0].rows[0].texts(), s.rows[0].texts());
  }

  // A damaged or foreign file is a problem to report, never a crash.
  void unreadableFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = zip({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"a\"/></sheets></workbook>"}});
    QTest::newRow("truncated zip") << "t.xlsx" << good.left(good.size() / 2);
    QTest::newRow("not a zip") << "n.xlsx" << QByteArray("科目,题干\n");
    QTest::newRow("no workbook") << "w.xlsx" << zip({{"x.xml", "<x/>"}});
    QTest::newRow("bad xml") << "b.xlsx" << zip({{"xl/workbook.xml", "<workbook><sheets>"}});
    QTest::newRow("sheet part missing") << "m.xlsx" << good;
    QTest::newRow("column past XFD")
        << "c.xlsx"
        << zip({{"xl/workbook.xml", "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                                    "<sheets><sheet name=\"a\" r:id=\"s\"/></sheets></workbook>"},
                {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"s\" Target=\"s.xml\"/></Relationships>"},
                {"xl/s.xml", "<worksheet><sheetData><row><c r=\"ZZZZZZZZZZZZ1\"><v>1</v></c></row></sheetData></worksheet>"}});
    QTest::newRow("other suffix") << "q.txt" << QByteArray("a,b\n");
  }
  void unreadableFiles() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    writeFile(path, bytes);
    const BankImportResult r = ImportBankSheets(dir.filePath(QStringLiteral("out.db")), {path});
    QVERIFY(!r.problems.isEmpty());
    QVERIFY2(r.problems[0].startsWith(path + QLatin1Char(':')), qPrintable(r.problems.join('\n')));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.db"))));
  }

  // Every bad row is named with its file, sheet, row and column, all at
  // once; nothing is written.
  void badRows() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bad.csv"));
    const QStringList ab = {"甲", "乙"};
    const QList<QStringList> rows = {
        row("单项选择题", "好题", ab, "A", "1"),                                        // 2
        row("单选题", "题", ab, "A"),                                                   // 3
        row("单项选择题", "题", ab, "C"),                                               // 4
        row("单项选择题", "", ab, "A"),                                                 // 5
        row("单项选择题", "<script>alert(1)", ab, "A"),                                // 6
        row("单项选择题", "题", ab, "AB"),                                              // 7
        row("单项选择题", "题", {"甲", "", "丙"}, "A"),                                 // 8
        row("判断题", "题", {}, "也许"),                                                // 9
        row("判断题", "题", {"对", "错"}, "正确"),                                      // 10
        row("填空题", "题", {}, "答", {}, {}, {}, ""),                                  // 11
        row("填空题", "题", {}, "答", "abc"),                                           // 12
        row("单项选择题", "题", ab, "B", "3"),                                          // 13
        row("单项选择题", "题", ab, "A", {}, "材料", "K1"),                             // 14
        row("单项选择题", "题", ab, "A", {}, "材料"),                                   // 15
        row("案例分析题", "题", {}, "答"),                                              // 16
        row("多项选择题", "题", ab, "A甲"),                                             // 17
        row("单项选择题", "题", ab, "A", {}, {}, "K2"),                                 // 18
        row("单项选择题", "题", ab, "A", {}, {}, "K2"),                                 // 19
        row("简答题", "题", {}, "答"),                                                  // 20
        row("简答题", "题", {}, "答", {}, {}, "K2"),                                    // 21
        row("简答题", "题", {}, "答", {}, {}, {}, QStringLiteral("第一节 甲"), "<!--"), // 22
        row("简答题", "题", {}, "答", {}, {}, {}, QStringLiteral("第三节</table>")),     // 23
    };
    writeCsv(file, rows);
    const QString at = file + QStringLiteral(":bad:");
    const QStringList expected = {
        at + "3: 题型: 未知题型“单选题”",
        at + "4: 答案: 答案中的 C 没有对应的选项",
        at + "5: 题干: 题干不能为空",
        at + "6: 题干: 第 1 个字符：",
        at + "7: 答案: 单项选择题只能有一个答案",
        at + "8: 选项B: 选项之间不能有空缺",
        at + "9: 答案: 判断题的答案应为 正确 或 错误",
        at + "10: 选项A: 判断题不填选项",
        at + "11: 节: 不能为空",
        at + "12: 分值: 分值应是大于 0 的数",
        at + "13: 分值: 单项选择题的分值在 " + file + ":bad 第 2 行已定为 1，这里却是 3",
        at + "14: 案例组: 案例组“K1”只有一个小题",
        at + "15: 案例组: 有案例材料却没有案例组",
        at + "16: 题型: “案例分析题”不是小题的题型",
        at + "17: 答案: 多项选择题的答案只能是选项字母",
        at + "18: 案例: 案例组“K2”的第一行要填写案例材料",
        at + "21: 案例组: 案例组“K2”在第 18 行开始、已经结束",
        at + "22: 解析: 第 1 个字符：",
        at + "23: 节: 第 4 个字符：",
    };
    const QString out = dir.filePath(QStringLiteral("out.db"));
    const BankImportResult r = ImportBankSheets(out, {file});
    for (const QString &e : expected)
      QVERIFY2(std::any_of(r.problems.cbegin(), r.problems.cend(), [&](const QString &p) { return p.startsWith(e); }),
               qPrintable(QStringLiteral("missing: %1\ngot:\n%2").arg(e, r.problems.join('\n'))));
    QCOMPARE(r.problems.size(), expected.size());
    QVERIFY(!QFile::exists(out));

    // The tool prints the same list, one a line, and fails.
    QProcess tool;
    tool.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {"import", out, "--dry-run", file});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 1);
    const QStringList lines = QString::fromUtf8(tool.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(1, expected.size()), r.problems); // after the encoding note
    QVERIFY(!QFile::exists(out));
  }

  // A header without a required column is one problem; a sheet with no
  // question column at all is skipped with a note.
  void headers() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("h.csv"));
    QStringList header = kHeader;
    header[4] = QStringLiteral("题目");
    writeCsv(file, {row("单项选择题", "题", {"甲", "乙"}, "A")}, header);
    const QString notes = dir.filePath(QStringLiteral("notes.csv"));
    writeCsv(notes, {{"随便", "写点"}}, {"说明", "备注"});
    QStringList seen;
    BankImportOptions o;
    o.note = [&](const QString &n) { seen << n; };
    const BankImportResult r = ImportBankSheets(dir.filePath(QStringLiteral("o.db")), {file, notes}, o);
    QCOMPARE(r.problems.size(), 1);
    QVERIFY2(r.problems[0].startsWith(file + QStringLiteral(":h:1: 题干: 缺少这一列")), qPrintable(r.problems[0]));
    QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](const QString &n) { return n.contains(QStringLiteral("跳过这张工作表")); }));
    QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](const QString &n) { return n.contains(QStringLiteral("不认识的列没有导入：题目")); }));
  }

  // The shipped example: the CSV with its parameter file and the workbook
  // give the same bank; normalised options, answers, scores and the case.
  void shippedExample() {
    QTemporaryDir dir;
    const QString src = TestEnv::sourceDir() + QStringLiteral("/assets/import/");
    const QString fromCsv = dir.filePath(QStringLiteral("csv.db"));
    const QString fromXlsx = dir.filePath(QStringLiteral("xlsx.db"));
    BankImportResult r = ImportBankSheets(fromCsv, {src + "example.csv", src + "example-params.csv"});
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    QCOMPARE(r.cases, 1);
    r = ImportBankSheets(fromXlsx, {src + "example.xlsx"});
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    for (const QString &q : kContentQueries + QStringList{"SELECT * FROM 系统参数 ORDER BY 参数名"})
      QCOMPARE(dump(fromXlsx, q), dump(fromCsv, q));

    QCOMPARE(dump(fromCsv, "SELECT 答题选项 FROM 答案选项 WHERE 小题号=1 ORDER BY 答案编号"),
             (QStringList{"A．首行缩进", "B．悬挂缩进", "C．左对齐", "D．分散对齐"}));
    QCOMPARE(dump(fromCsv, "SELECT 答案 FROM 小题 WHERE 题目类型='判断题' ORDER BY 小题号"), (QStringList{"A", "B"}));
    QCOMPARE(dump(fromCsv, "SELECT 分数 FROM 类型说明 WHERE 题目类型 IN ('简答题','案例分析题') ORDER BY ID"),
             (QStringList{"5.0", "2.0"}));
    // The case: its lead's number is the case's number, its sub-questions
    // carry it, and its material is in 大题.
    QCOMPARE(dump(fromCsv, "SELECT 小题号,大题号 FROM 小题 WHERE 大题号 IN (SELECT 大题号 FROM 大题) ORDER BY 小题号"),
             (QStringList{"11|11", "12|11", "13|11"}));
    QVERIFY(dump(fromCsv, "SELECT 大题内容 FROM 大题").value(0).startsWith(QStringLiteral("小王家的网络结构如下")));
    QCOMPARE(dump(fromCsv, "SELECT 参数值 FROM 系统参数 WHERE 参数名 IN ('题库版本','字体') ORDER BY 参数名"),
             (QStringList{"宋体", "2026.02"}));
    // The tree: subjects first, names shared.
    QCOMPARE(dump(fromCsv, "SELECT 编号,名称,父级编号,属性 FROM 题目类别 WHERE 父级编号=0 ORDER BY 编号"),
             (QStringList{"1|办公软件应用|0|0", "2|网络与安全常识|0|0"}));
  }

  // The demo bank through export-sheet (both forms) and import, numbers
  // kept: every question, option, explanation, case, node and type as it
  // was. Importing the same sheet twice gives the same bank.
  void demoRoundTrip_data() {
    QTest::addColumn<QString>("suffix");
    QTest::newRow("csv") << QStringLiteral("csv");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
  }
  void demoRoundTrip() {
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString demo = dir.filePath(QStringLiteral("demo.db"));
    BuildBank(demo, TestEnv::demoSqlFiles());
    const QString sheet = dir.filePath(QStringLiteral("demo.") + suffix);
    ExportBankSheet(demo, sheet);

    const QString kept = dir.filePath(QStringLiteral("kept.db"));
    BankImportOptions o;
    o.keepNumbersFrom = demo;
    BankImportResult r = ImportBankSheets(kept, {sheet}, o);
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    for (const QString &q : kContentQueries)
      QCOMPARE(dump(kept, q), dump(demo, q));
    if (suffix == QLatin1String("xlsx"))
      QCOMPARE(dump(kept, "SELECT * FROM 系统参数 ORDER BY 参数名"), dump(demo, "SELECT * FROM 系统参数 ORDER BY 参数名"));

    const QString once = dir.filePath(QStringLiteral("once.db"));
    const QString twice = dir.filePath(QStringLiteral("twice.db"));
    QVERIFY(ImportBankSheets(once, {sheet}).problems.isEmpty());
    QVERIFY(ImportBankSheets(twice, {sheet}).problems.isEmpty());
    for (const QString &q : kContentQueries)
      QCOMPARE(dump(twice, q), dump(once, q));
    // Without old numbers, they follow the sheet: 1, 2, 3, …
    QCOMPARE(dump(once, "SELECT min(小题号), max(小题号), count(*) FROM 小题"), (QStringList{"1|147|147"}));
  }

  // An edited sheet: a row inserted at the top, one removed, one stem
  // changed. Unchanged rows keep their numbers, the rest get new ones above
  // the old bank's; a case takes the number of its sub-question numbered
  // first, which carries it.
  void keepNumbers() {
    QTemporaryDir dir;
    const QString v1 = dir.filePath(QStringLiteral("v1.csv"));
    const QStringList ab = {"甲", "乙"};
    const QList<QStringList> first = {
        row("单项选择题", "一", ab, "A"),
        row("单项选择题", "二", ab, "A"),
        row("单项选择题", "三", ab, "A"),
        row("单项选择题", "同名题", ab, "A", {}, {}, {}, QStringLiteral("第二节 乙")),
        row("单项选择题", "案一", ab, "A", {}, "材料", "C"),
        row("单项选择题", "案二", ab, "A", {}, {}, "C"),
    };
    writeCsv(v1, first);
    const QString old = dir.filePath(QStringLiteral("v1.db"));
    QVERIFY(ImportBankSheets(old, {v1}).problems.isEmpty());

    const QString v2 = dir.filePath(QStringLiteral("v2.csv"));
    writeCsv(v2, {
                     row("单项选择题", "新题", ab, "A"),
                     row("单项选择题", "一", ab, "A"),
                     row("单项选择题", "三（改）", ab, "B"),
                     row("单项选择题", "同名题", ab, "A"), // same stem, another section: new
                     row("单项选择题", "案零", ab, "A", {}, "材料", "C"),
                     row("单项选择题", "案一", ab, "A", {}, {}, "C"),
                     row("单项选择题", "案二", ab, "A", {}, {}, "C"),
                 });
    BankImportOptions o;
    o.keepNumbersFrom = old;
    const QString updated = dir.filePath(QStringLiteral("v2.db"));
    const BankImportResult r = ImportBankSheets(updated, {v2}, o);
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    QCOMPARE(dump(updated, "SELECT 题目内容,小题号,大题号 FROM 小题 ORDER BY 小题号"),
             (QStringList{"一|1|1", "案一|5|5", "案二|6|5", "新题|7|7", "三（改）|8|8", "同名题|9|9", "案零|10|5"}));
    QCOMPARE(dump(updated, "SELECT 大题号 FROM 大题"), (QStringList{"5"}));
    // Nodes keep their numbers; the section named only in v1 is gone.
    QCOMPARE(dump(updated, "SELECT 编号,名称 FROM 题目类别 ORDER BY 编号"), dump(old, "SELECT 编号,名称 FROM 题目类别 WHERE 名称<>'第二节 乙' ORDER BY 编号"));
  }

  // --dry-run checks everything and writes nothing; a real import replaces
  // an existing bank, but not a sheet it reads.
  void dryRunWritesNothing() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ok.csv"));
    writeCsv(file, {row("单项选择题", "题", {"甲", "乙"}, "a")});
    const QString out = dir.filePath(QStringLiteral("out.db"));
    BankImportOptions o;
    o.dryRun = true;
    BankImportResult r = ImportBankSheets(out, {file}, o);
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.questions, 1);
    QVERIFY(!QFile::exists(out));
    // Never over one of its own sheets.
    r = ImportBankSheets(file, {file});
    QCOMPARE(r.problems.size(), 1);
    QVERIFY(ReadSheetFile(file).problems.isEmpty());
    writeFile(out, "old");
    r = ImportBankSheets(out, {file});
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(dump(out, "SELECT 答案 FROM 小题"), (QStringList{"A"}));
  }

  // Rows are written as they are checked: a problem in the last row still
  // leaves an existing bank as it was and no partial file behind. An output
  // that cannot be made is named only when the rows have no problem.
  void problemAfterWrittenRows() {
    QTemporaryDir dir;
    QList<QStringList> rows;
    for (int i = 0; i < 500; ++i)
      rows << row("单项选择题", QStringLiteral("题%1").arg(i), {"甲", "乙"}, "A");
    rows << row("单项选择题", "最后一题", {"甲", "乙"}, "C");
    const QString bad = dir.filePath(QStringLiteral("bad.csv"));
    writeCsv(bad, rows);
    const QString out = dir.filePath(QStringLiteral("out.db"));
    writeFile(out, "old");
    BankImportResult r = ImportBankSheets(out, {bad});
    QCOMPARE(r.problems, (QStringList{bad + ":bad:502: 答案: 答案中的 C 没有对应的选项（这道题只有 A 到 B）"}));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("partial")), QStringList());

    const QString nowhere = dir.filePath(QStringLiteral("missing/out.db"));
    r = ImportBankSheets(nowhere, {bad});
    QCOMPARE(r.problems.size(), 1);
    rows.removeLast();
    const QString good = dir.filePath(QStringLiteral("good.csv"));
    writeCsv(good, rows);
    QVERIFY_THROWS_EXCEPTION(AppError, ImportBankSheets(nowhere, {good}));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
  }
};

QBRX_TEST_MAIN(TstBankImport)
#include "tst_bankimport.moc"
