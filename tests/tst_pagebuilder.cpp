// test-links: logic
// The question page: a whole small page byte for byte, grouping and order,
// case questions, inputs per type, the paper state, and failures.
// ctest-timeout: 180

#include "FakeDialogs.h"
#include "PageBuilderExpected.h"
#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>
#include <memory>

namespace {

// A bank with each kind of row the builder distinguishes: options stored out
// of order, a 判断题, a row without type, a case question of two, a 填空题
// whose type has no description, and a character outside GBK.
const char *kMixedBank = R"SQL(
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES
 (1,'单项选择题','（每题1分）',1),(2,'判断题','（每题1分，对的选A）',1),
 (3,'案例分析题','（每小题2分）',2),(4,'多项选择题','（每题2分）',2);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (7,7,1,'单项选择题',1,'项目的<b>首要</b>目标是？','B','质量优先𠀀',1),
 (12,12,1,'判断题',3,'风险可以完全消除。','B','不能',0),
 (15,15,1,'',2,'空类型','A','',0),
 (20,20,1,'单项选择题',1,'第一问','A','解一',1),
 (21,20,1,'多项选择题',2,'第二问','BD','解二',0),
 (30,30,1,'填空题',4,'填写____。','进度','略',0);
INSERT INTO 大题(大题号,大题内容) VALUES(20,'某公司承接项目。');
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (7,7,2,'成本'),(7,7,1,'质量'),(20,20,1,'甲'),(20,20,2,'乙'),(20,21,1,'丙'),(20,21,2,'丁');
)SQL";

// Case 20 of three sub-questions with a stand-alone question before it.
const char *kCaseBank = R"SQL(
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','（单选）',1),(2,'案例分析题','（案例）',2);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (5,5,1,'单项选择题',1,'独立题','A','解',0),
 (20,20,1,'单项选择题',1,'子一','A','甲',0),
 (21,20,1,'多项选择题',2,'子二','BD','乙',0),
 (22,20,1,'单项选择题',1,'子三','C','丙',0);
INSERT INTO 大题(大题号,大题内容) VALUES(20,'案例材料');
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (5,5,1,'a'),(5,5,2,'b'),(20,20,1,'a'),(20,20,2,'b'),(20,21,1,'a'),(20,21,2,'b'),(20,21,3,'c'),
 (20,22,1,'a'),(20,22,2,'b'),(20,22,3,'c');
)SQL";

// Two types that share one type number, and a type name holding a quote.
const char *kGroupBank = R"SQL(
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES
 (1,'单项选择题','（单）',1),(2,'不定项选择题','（不定）',1),(3,'O''Neil题','（引号）',1);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,1,'单项选择题',1,'一','A','',0),(2,2,1,'不定项选择题',1,'二','A','',0),
 (3,3,1,'单项选择题',1,'三','A','',0),(4,4,1,'O''Neil题',2,'四','A','',0);
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(1,1,1,'x'),(2,2,1,'x'),(3,3,1,'x'),(4,4,1,'x');
)SQL";

// One question of each input kind.
const char *kInputBank = R"SQL(
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,1,'单项选择题',1,'单','C','',0),(2,2,1,'多项选择题',2,'多','ABD','',0),
 (3,3,1,'判断题',3,'判','A','',0),(4,4,1,'简答题',4,'答','略','',0);
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (1,1,1,'a'),(1,1,2,'b'),(1,1,3,'c'),(2,2,1,'a'),(2,2,2,'b'),(2,2,3,'c'),(2,2,4,'d');
)SQL";

const char *kScriptStart = "<script language=\"JavaScript\">\r\n";
const char *kScriptEnd = "</script>\r\n";

// A program directory with an open bank.
struct Bank {
  explicit Bank(const char *sql) : fixture({QString::fromUtf8(sql)}), dir(fixture.root()) {
    opened = OpenBankAtStartup(dm, fixture.root()) == StartupResult::Opened;
  }
  TestEnv::ProgramDirFixture fixture;
  ProgramDir dir;
  TDataModule1 dm;
  bool opened = false;

  QByteArray bytes() const {
    QFile f(dir.questionPagePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QStringList lines() const {
    QStringDecoder gbk("GBK");
    return QString(gbk(bytes())).split(QStringLiteral("\r\n"));
  }
};

void setPaper(PaperState &state, std::initializer_list<int> numbers, qint16 kind) {
  state.paper.clear();
  for (int n : numbers)
    state.paper.push_back(TXiaoTi{n});
  state.kind = kind;
}

// The page text outside the script block (which is checked in the view).
QByteArray withoutScript(const QByteArray &page) {
  const int start = page.indexOf(kScriptStart);
  const int end = page.indexOf(kScriptEnd);
  if (start < 0 || end < start)
    return page;
  return page.left(start + int(qstrlen(kScriptStart))) + "[SCRIPT]\r\n" + page.mid(end);
}

QStringList matching(const QStringList &lines, const QString &pattern) {
  QStringList out;
  const QRegularExpression re(pattern);
  for (const QString &l : lines)
    if (re.match(l).hasMatch())
      out << l;
  return out;
}

} // namespace

class TstPageBuilder : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

private slots:
  void init() {
    paperState() = PaperState{};
    DisplaySettings = TDisplaySettings{};
  }

  // Written out by hand from the page format; the bytes are made by Qt's own
  // GBK converter, not by the program's.
  void wholePageByteForByte() {
    Bank bank(kMixedBank);
    QVERIFY(bank.opened);
    QVERIFY(QDir(bank.fixture.path(QStringLiteral("css"))).removeRecursively());
    FakeDialogs dialogs;
    DisplaySettings.FontColor = QStringLiteral("#333333");
    setPaper(paperState(), {12, 7, 20, 30, 15}, PaperKinds::Chapter);

    BuildQuestionPage(paperState(), QStringLiteral("第一章 概论"), 0, bank.dm, bank.dir);

    QStringEncoder gbk("GBK");
    const QByteArray want = QByteArray(gbk(QString::fromUtf8(kMixedPage))).replace("\n", "\r\n");
    const QByteArray page = bank.bytes();
    QVERIFY(!page.startsWith("\xEF\xBB\xBF"));
    const QByteArray got = withoutScript(page);
    if (got != want) {
      const QList<QByteArray> g = got.split('\n'), w = want.split('\n');
      for (int i = 0; i < qMin(g.size(), w.size()); ++i)
        QCOMPARE(QStringDecoder("GBK")(g[i]).operator QString(), QStringDecoder("GBK")(w[i]).operator QString());
      QCOMPARE(g.size(), w.size());
    }
    QCOMPARE(got, want);

    // The script carries the font colour of the build, on a line of its own.
    const QByteArray script = page.mid(page.indexOf(kScriptStart), page.indexOf(kScriptEnd) - page.indexOf(kScriptStart));
    QVERIFY(script.contains("\r\nvar beforeColor=\"#333333\";\r\n"));
    for (const char *fn : {"SubmitQuestion(Qid)", "showAnswer()", "changeFont(mode)", "scbt(id,mark)",
                           "SubmitErrorQuestion(id)", "showAllAnswer(mode)", "answerAgain()"})
      QVERIFY2(script.contains(QByteArray("function ") + fn), fn);

    // A GBK character is its two bytes, one outside GBK a reference.
    QVERIFY(page.contains("\xD6\xCA\xC1\xBF\xD3\xC5\xCF\xC8&#x20000;")); // 质量优先𠀀

    QCOMPARE(paperState().title, QStringLiteral("第一章 概论"));
    QVERIFY(paperState().onDisplay);
    // The numbers the page's links pass: every stand-alone question with a
    // type (a 填空题 too), a case by its first sub-question.
    QCOMPARE(paperState().linkNumbers, (std::vector<int>{7, 12, 20, 30}));
    QCOMPARE(int(paperState().questions.size()), 4);
    const struct {
      int x, sel, da;
      const char *type, *answer;
    } want4[] = {{7, 2, 0, "单项选择题", "B"}, {12, 2, 0, "判断题", "B"},
                 {20, 2, 20, "单项选择题", "A"}, {21, 2, 20, "多项选择题", "BD"}};
    for (int i = 0; i < 4; ++i) {
      const TShiTi &t = paperState().questions[size_t(i)];
      QCOMPARE(t.XiaoTiHao, want4[i].x);
      QCOMPARE(t.NumOfSel, want4[i].sel);
      QCOMPARE(t.DaTiHao, want4[i].da);
      QCOMPARE(t.TiMuType, QString::fromUtf8(want4[i].type));
      QCOMPARE(t.Answer, QString::fromUtf8(want4[i].answer));
      QCOMPARE(t.IsRight, false);
    }
    QVERIFY(dialogs.shown.isEmpty());
  }

  // Headers follow every change of type in statement order, even between
  // types that share a type number; a quote in a type name is harmless.
  void groupsFollowTypeChanges() {
    Bank bank(kGroupBank);
    QVERIFY(bank.opened);
    setPaper(paperState(), {4, 3, 2, 1}, PaperKinds::Search);
    BuildQuestionPage(paperState(), QStringLiteral("试题查找"), 0, bank.dm, bank.dir);

    const QStringList lines = bank.lines();
    QStringList headers;
    for (int i = 0; i + 1 < lines.size(); ++i)
      if (lines[i] == QLatin1String("<tr><td class=\"TestStyleExplain\">"))
        headers << lines[i + 1];
    QCOMPARE(headers, QStringList({QStringLiteral("单项选择题（单）"), QStringLiteral("不定项选择题（不定）"),
                                   QStringLiteral("单项选择题（单）"), QStringLiteral("O'Neil题（引号）")}));
    QCOMPARE(matching(lines, QStringLiteral("class=\"TestContent\">\\d+\\. ")),
             QStringList({QStringLiteral(" <tr><td class=\"TestMainTitle\"><span id=\"T1_1\" class=\"TestContent\">1. 一</span></td></tr>"),
                          QStringLiteral(" <tr><td class=\"TestMainTitle\"><span id=\"T2_2\" class=\"TestContent\">2. 二</span></td></tr>"),
                          QStringLiteral(" <tr><td class=\"TestMainTitle\"><span id=\"T3_3\" class=\"TestContent\">3. 三</span></td></tr>"),
                          QStringLiteral(" <tr><td class=\"TestMainTitle\"><span id=\"T4_4\" class=\"TestContent\">4. 四</span></td></tr>")}));
    // A type outside the three input kinds keeps the input type of the one before.
    QVERIFY(lines.contains(QStringLiteral("<input type=\"Radio\" id=\"2/0\" name=\"2_2\" value=\"A\" />   <label for=\"2/0\">x</label><br /></td></tr>")));
  }

  void inputsPerType_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("type");   // input type written
    QTest::addColumn<QString>("letters"); // values of the inputs, in order
    QTest::addColumn<int>("recorded");    // NumOfSel, or -1 when not recorded
    QTest::newRow("单项选择题") << 1 << "Radio" << "ABC" << 3;
    QTest::newRow("多项选择题") << 2 << "CheckBox" << "ABCD" << 4;
    QTest::newRow("判断题") << 3 << "Radio" << "AB" << 2;
    QTest::newRow("简答题") << 4 << "" << "" << -1;
  }
  void inputsPerType() {
    QFETCH(int, number);
    QFETCH(QString, type);
    QFETCH(QString, letters);
    QFETCH(int, recorded);
    Bank bank(kInputBank);
    QVERIFY(bank.opened);
    setPaper(paperState(), {number}, PaperKinds::Chapter);
    BuildQuestionPage(paperState(), QStringLiteral("题"), 0, bank.dm, bank.dir);

    const QRegularExpression input(QStringLiteral("<input type=\"(\\w*)\" id=\"(\\d+)/(\\d+)\" name=\"(\\d+)_(\\d+)\" value=\"(\\w)\" />"));
    QString values;
    int k = 0;
    for (const QString &line : bank.lines()) {
      const QRegularExpressionMatch m = input.match(line);
      if (!m.hasMatch())
        continue;
      QCOMPARE(m.captured(1), type);
      QCOMPARE(m.captured(2).toInt(), number);
      QCOMPARE(m.captured(3).toInt(), k++);
      QCOMPARE(m.captured(4).toInt(), number);
      QCOMPARE(m.captured(5).toInt(), number);
      values += m.captured(6);
    }
    QCOMPARE(values, letters);
    if (recorded < 0) {
      QVERIFY(paperState().questions.empty());
      QCOMPARE(matching(bank.lines(), QStringLiteral("<textarea")).size(), 1);
    } else {
      QCOMPARE(int(paperState().questions.size()), 1);
      QCOMPARE(paperState().questions[0].NumOfSel, recorded);
    }
  }

  // The error-feedback page of a non-lead sub-question shows its whole case,
  // once per listed sub-question, with no toolbar; mode 1 keeps the state.
  void feedbackPageShowsWholeCase_data() {
    QTest::addColumn<QList<int>>("listed");
    QTest::addColumn<QStringList>("stems");
    QTest::newRow("one sub-question") << QList<int>{21} << QStringList{"（一）案例材料"};
    QTest::newRow("two of the same case") << QList<int>{22, 21} << QStringList{"（一）案例材料", "（二）案例材料"};
  }
  void feedbackPageShowsWholeCase() {
    QFETCH(QList<int>, listed);
    QFETCH(QStringList, stems);
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    paperState().questions = {TShiTi{999, 4, QStringLiteral("单项选择题"), QStringLiteral("A"), true, 0}};
    paperState().paper.clear();
    for (int n : listed)
      paperState().paper.push_back(TXiaoTi{n});
    paperState().kind = PaperKinds::Feedback;
    BuildQuestionPage(paperState(), QStringLiteral("错题反馈"), 1, bank.dm, bank.dir);

    const QStringList lines = bank.lines();
    QCOMPARE(matching(lines, QStringLiteral("^（")), stems);
    QStringList wantSubs, subs;
    int n = 1;
    for (int c = 0; c < stems.size(); ++c)
      for (int x : {20, 21, 22})
        wantSubs << QStringLiteral("T%1_%1 %2").arg(x).arg(n++);
    const QRegularExpression stem(QStringLiteral("<span id=\"(T\\d+_\\d+)\" class=\"TestContent\">(\\d+)\\. "));
    for (const QString &l : lines)
      if (const QRegularExpressionMatch m = stem.match(l); m.hasMatch())
        subs << m.captured(1) + u' ' + m.captured(2);
    QCOMPARE(subs, wantSubs);
    const QStringList body = lines.mid(lines.indexOf(QStringLiteral("</head>")));
    QVERIFY(matching(body, QStringLiteral("ToolBar1|ShowButton|Answer\\d|name=\"da\"|onclick")).isEmpty());
    QVERIFY(lines.contains(QStringLiteral("案例分析题（案例）")));
    QCOMPARE(int(paperState().questions.size()), 1);
    QCOMPARE(paperState().questions[0].XiaoTiHao, 999);
    QVERIFY(!paperState().onDisplay);
  }

  // Mode 1 of another kind writes answer blocks but keeps paperState().questions.
  void modeOneKeepsPaperQuestions() {
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    paperState().questions = {TShiTi{999, 4, QStringLiteral("单项选择题"), QStringLiteral("A"), true, 0}};
    setPaper(paperState(), {5}, PaperKinds::Chapter);
    BuildQuestionPage(paperState(), QStringLiteral("题"), 1, bank.dm, bank.dir);
    QCOMPARE(int(paperState().questions.size()), 1);
    QCOMPARE(paperState().questions[0].XiaoTiHao, 999);
    QVERIFY(paperState().onDisplay);
    QVERIFY(bank.lines().contains(QStringLiteral("<span id=\"Answer1\" style=\"display: none\"> ")));
  }

  void emptyPaperShowsMessage() {
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    FakeDialogs dialogs;
    paperState().questions = {TShiTi{999, 4, QStringLiteral("单项选择题"), QStringLiteral("A"), false, 0}};
    paperState().linkNumbers = {999};
    setPaper(paperState(), {}, PaperKinds::Favourites);
    BuildQuestionPage(paperState(), QStringLiteral("收藏试题"), 0, bank.dm, bank.dir);

    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("没有试题！"));
    QCOMPARE(dialogs.shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Information);
    QCOMPARE(paperState().title, QStringLiteral("收藏试题"));
    QCOMPARE(int(paperState().questions.size()), 1);
    QVERIFY(paperState().linkNumbers.empty()); // the page has no link
    QVERIFY(!paperState().onDisplay);
    // Head and body start only.
    QVERIFY(bank.bytes().endsWith("<tr><td width=\"77%\" align=\"center\" class=\"TestCaption\">\r\n"));
    QVERIFY(!bank.bytes().contains("</html>"));
  }

  // Only a non-lead sub-question listed: nothing passes the clause.
  void noRowPassesTheClause() {
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    FakeDialogs dialogs;
    paperState().questions = {TShiTi{999, 4, QStringLiteral("单项选择题"), QStringLiteral("A"), false, 0}};
    setPaper(paperState(), {21}, PaperKinds::Chapter);
    BuildQuestionPage(paperState(), QStringLiteral("第二章"), 0, bank.dm, bank.dir);

    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(paperState().questions.empty());
    QVERIFY(!paperState().onDisplay);
    QVERIFY(bank.bytes().endsWith("<tr><td width=\"77%\" align=\"center\" class=\"TestCaption\">\r\n"
                                  "</div> </div></body></html>\r\n"));
  }

  // An engine error leaves the page on disk and the paper state as they were.
  void engineErrorKeepsPreviousPage() {
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    setPaper(paperState(), {5, 20}, PaperKinds::Chapter);
    BuildQuestionPage(paperState(), QStringLiteral("第一页"), 0, bank.dm, bank.dir);
    const QByteArray before = bank.bytes();
    QCOMPARE(int(paperState().questions.size()), 4);

    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral("DROP TABLE 答案选项;"));
    setPaper(paperState(), {20}, PaperKinds::Chapter);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, BuildQuestionPage(paperState(), QStringLiteral("第二页"), 0, bank.dm, bank.dir));
    QCOMPARE(bank.bytes(), before);
    QCOMPARE(int(paperState().questions.size()), 4);
    QCOMPARE(paperState().linkNumbers, (std::vector<int>{5, 20}));
  }

  void unwritablePageRaisesFileError() {
    Bank bank(kCaseBank);
    QVERIFY(bank.opened);
    QVERIFY(QDir().mkpath(bank.dir.questionPagePath())); // a directory in its place
    setPaper(paperState(), {5}, PaperKinds::Chapter);
    QVERIFY_THROWS_EXCEPTION(FileError, BuildQuestionPage(paperState(), QStringLiteral("题"), 0, bank.dm, bank.dir));
  }

  void caseNumerals_data() {
    QTest::addColumn<int>("j");
    QTest::addColumn<QString>("numeral");
    const struct {
      int j;
      const char *n;
    } rows[] = {{0, ""},           {1, "一"},           {9, "九"},           {10, "十"},
                {11, "十一"},      {20, "二十"},        {35, "三十五"},      {99, "九十九"},
                {100, "一百"},     {101, "一百零一"},   {110, "一百一十"},   {111, "一百一十一"},
                {120, "一百二十"}, {123, "一百二十三"}, {200, "二百"},       {305, "三百零五"},
                {999, "九百九十九"}, {1000, "一千"},    {1001, "一千零一"},  {1010, "一千零一十"},
                {1100, "一千一百"}, {2019, "二千零一十九"}, {9999, "九千九百九十九"},
                {10000, "一万"},   {10001, "一万零一"}, {10100, "一万零一百"}, {23456, "二万三千四百五十六"}};
    for (const auto &r : rows)
      QTest::newRow(QByteArray::number(r.j)) << r.j << QString::fromUtf8(r.n);
  }
  void caseNumerals() {
    QFETCH(int, j);
    QFETCH(QString, numeral);
    QCOMPARE(CaseNumeral(j), numeral);
  }
};

QBRX_TEST_MAIN(TstPageBuilder)
#include "tst_pagebuilder.moc"
