// test-links: logic
// The check for bank authors: a table of banks, each with exactly one thing
// wrong for learners, and the line it gives; the tool's output and exit
// status; the import's notes.

#include "TestEnv.h"
#include "store/BankBuilder.h"
#include "store/BankImport.h"
#include "store/BankLint.h"
#include "store/SheetFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A small clean bank: one section, a choice question, a case of two
// sub-questions with a picture that exists (named in another letter case).
const QString kBase = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(2,'第一章',1,'1'),(3,'第一节',2,'2');\n"
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1),(2,'简答题','',5),(3,'案例分析题','',2);\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释) VALUES"
    "(1,1,3,'单项选择题',1,'天空是什么颜色？','A','<b>蓝</b>色'),"
    "(2,2,3,'简答题',2,'问题一<img src=\"im/There.PNG\">','答','解'),"
    "(3,2,3,'简答题',2,'问题二','答','解');\n"
    "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(1,1,1,'A．蓝'),(1,1,2,'B．绿');\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(2,'案例材料');\n");

const char *const kInsert = "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释) VALUES";

// A program directory holding a bank made of the base and `extra`, and
// css/im/there.png.
QString makeBank(const QTemporaryDir &dir, const QString &extra) {
  QDir(dir.path()).mkpath(QStringLiteral("css/im"));
  QFile picture(dir.filePath(QStringLiteral("css/im/there.png")));
  picture.open(QIODevice::WriteOnly);
  picture.write("png");
  picture.close();
  const QString bank = dir.filePath(QStringLiteral("QBRX.db"));
  BuildBankFromTexts(bank, {kBase + extra});
  return bank;
}

} // namespace

class TstBankLint : public QObject {
  Q_OBJECT

private slots:
  void oneProblem_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("line"); // empty: the bank is clean
    QTest::newRow("clean") << QString() << QString();
    QTest::newRow("answer not an option") << "UPDATE 小题 SET 答案='C' WHERE 小题号=1;"
                                          << "小题:1: 答案: 答案中的“C”不在选项中（这道题只有 A 到 B）";
    QTest::newRow("same stem") << QString(kInsert) + "(4,4,3,'简答题',2,' 天空 是什么颜色? ','答','');"
                               << "小题:4: 题目内容: 题干与小题 1 相同";
    QTest::newRow("same stem, full-width marks") << QString(kInsert) + "(4,4,3,'简答题',2,'“天空”是什么颜色。','答','');"
                                                 << "小题:4: 题目内容: 题干与小题 1 相同";
    QTest::newRow("options apart in the table") << "INSERT INTO 答案选项 VALUES(2,2,1,'甲'),(1,1,3,'C．红'); UPDATE 小题 SET 答案='C' WHERE 小题号=1;"
                                                << QString();
    QTest::newRow("empty stem") << QString(kInsert) + "(4,4,3,'简答题',2,' \n ','答','');"
                                << "小题:4: 题目内容: 题干是空的";
    QTest::newRow("case without sub-questions") << "INSERT INTO 大题 VALUES(9,'孤立的材料');"
                                                << "大题:9: 大题内容: 案例没有小题";
    QTest::newRow("type missing") << QString(kInsert) + "(4,4,3,'计算题',6,'算一算','1','');"
                                  << "小题:4: 题目类型: 题型“计算题”不在类型说明中";
    QTest::newRow("shown as text") << "UPDATE 小题 SET 解释='<textarea>' WHERE 小题号=2;"
                                   << "小题:2: 解释: 页面会把它当作纯文字显示";
    QTest::newRow("script") << "UPDATE 小题 SET 解释='<b onclick=\"go()\">粗</b>' WHERE 小题号=2;"
                            << "小题:2: 解释: 含有事件脚本";
    QTest::newRow("navigation") << "UPDATE 大题 SET 大题内容='<meta http-equiv=\"refresh\" content=\"0;url=x.htm\">';"
                                << "大题:2: 大题内容: 含有导航或嵌入页面的元素";
    QTest::newRow("network address") << "UPDATE 答案选项 SET 答题选项='B．见 https://example.com/' WHERE 答案编号=2;"
                                     << "答案选项:1: 选项B: 含有网络地址";
    QTest::newRow("missing picture") << "UPDATE 小题 SET 题目内容='看图<img src=\"im/gone.png\">' WHERE 小题号=3;"
                                     << "小题:3: 题目内容: 图片“im/gone.png”在 css/im 中找不到";
    QTest::newRow("node without questions") << "INSERT INTO 题目类别 VALUES(4,'第二节',2,'2');"
                                            << "题目类别:4: 名称: 目录节点“第二节”下没有题目";
    QTest::newRow("text over 1 MB") << "UPDATE 小题 SET 解释=replace(hex(zeroblob(550000)),'0','x') WHERE 小题号=3;"
                                    << "小题:3: 解释: 文字有 1.0 MB，超过 1 MB";
  }
  void oneProblem() {
    QFETCH(QString, sql);
    QFETCH(QString, line);
    QTemporaryDir dir;
    const QString bank = makeBank(dir, sql);
    const BankLintResult r = LintBankFile(bank, dir.path());
    QCOMPARE(r.questions, sql.contains(QLatin1String("(4,4,")) ? 4 : 3);
    if (line.isEmpty()) {
      QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
      return;
    }
    QVERIFY2(r.problems.size() == 1 && r.problems[0].startsWith(line), qPrintable(r.problems.join('\n')));
  }

  // Cases without sub-questions are named by 大题号, the same each time.
  void casesInOrder() {
    QTemporaryDir dir;
    const BankLintResult r = LintBankFile(makeBank(dir, QStringLiteral("INSERT INTO 大题 VALUES(12,'甲'),(5,'乙'),(9,'丙'),(7,'丁');")), dir.path());
    QStringList numbers;
    for (const QString &p : r.problems)
      numbers << p.section(u':', 1, 1);
    QCOMPARE(numbers, (QStringList{"5", "7", "9", "12"}));
  }

  // The tool prints the lines and a summary, and fails when there is any.
  void tool() {
    QTemporaryDir dir;
    const QString bank = makeBank(dir, QStringLiteral("UPDATE 小题 SET 答案='AE' WHERE 小题号=1;"));
    QProcess p;
    p.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {"check", bank});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(QStringLiteral("小题:1: 答案: 答案中的“E”不在选项中")), qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("检查了 3 道小题，共 1 处问题：选择题答案 1 处"));

    QTemporaryDir clean;
    p.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {"check", makeBank(clean, {})});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
  }

  // An import runs the same check and gives its lines as notes.
  void importNotes() {
    QTemporaryDir dir;
    const QString sheet = dir.filePath(QStringLiteral("s.csv"));
    Sheet s;
    s.rows.push_back(SheetRow(1, {"科目", "章", "节", "题型", "题干", "答案"}));
    s.rows.push_back(SheetRow(2, {"语文", "一", "一", "简答题", "什么是诗？", "答"}));
    s.rows.push_back(SheetRow(3, {"语文", "一", "一", "简答题", "什么是诗", "答"}));
    WriteSheetFile(sheet, {s});
    QStringList notes;
    BankImportOptions o;
    o.note = [&](const QString &n) { notes << n; };
    const BankImportResult r = ImportBankSheets(dir.filePath(QStringLiteral("o.db")), {sheet}, o);
    QVERIFY(r.problems.isEmpty());
    QVERIFY2(notes.contains(QStringLiteral("检查：小题:2: 题目内容: 题干与小题 1 相同（不计空白和标点）")), qPrintable(notes.join('\n')));
  }
};

QBRX_TEST_MAIN(TstBankLint)
#include "tst_banklint.moc"
