// The mock exam without widgets, on a small real bank: which questions are
// candidates in each range, the count rows, the random paper, the messages of
// the loading steps, the time limit and its clock.
// test-links: logic

#include "PaperHelpers.h"
#include "FakeDialogs.h"
#include "TestEnv.h"
#include "exam/ExamClock.h"
#include "exam/MockExamRepository.h"
#include "exam/MockExamSetup.h"
#include "store/BankBuilder.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace {

// Subjects 1 and 2 (3 is not a subject); chapters 11, 12 (of 1), 21, 22 (of
// 2); sections 111, 121, 211, 221 and 1111 below section 111.
//   111: 单项选择题 1..12, case questions 41 (41-43), 45 (45-48), 49 (49-50)
//   121: 判断题 21..23          211: 多项选择题 31..35
//   221: 判断题 71, 72 and five case questions 73, 75, 77, 79, 81 whose
//        heads are 判断题 too (two sub-questions each)
//   60 sits on chapter 11 itself, 61 below section 111, 62 under subject 3.
// 类型说明 lists 单项选择题 twice; 填空题 has no candidates; 简答题 (91, in
// 111) has no row in 类型说明.
// Favourites: 5, and 50 (a sub-question of case 49). Wrong answers: 2, 31
// and 46 (of case 45); 3 was answered right.
const char *kBank = R"SQL(
INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES
 (1,'科目甲',0,'0'),(2,'科目乙',0,'0'),(3,'其他',0,'9'),
 (11,'第一章',1,'1'),(12,'第二章',1,'1'),(21,'第三章',2,'1'),(22,'第四章',2,'1'),(31,'杂项',3,'1'),
 (111,'第一节',11,'2'),(121,'第一节',12,'2'),(211,'第一节',21,'2'),(221,'第一节',22,'2'),(311,'第一节',31,'2'),
 (1111,'小节',111,'3');
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES
 (1,'单项选择题','',1),(2,'多项选择题','',2),(3,'判断题','',1),(4,'填空题','',1),(5,'案例分析题','',2),
 (6,'单项选择题','',3);
WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<12)
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,答案) SELECT x,x,111,'单项选择题','A' FROM n;
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,答案) VALUES
 (21,21,121,'判断题','A'),(22,22,121,'判断题','A'),(23,23,121,'判断题','A'),
 (31,31,211,'多项选择题','AB'),(32,32,211,'多项选择题','AB'),(33,33,211,'多项选择题','AB'),
 (34,34,211,'多项选择题','AB'),(35,35,211,'多项选择题','AB'),
 (41,41,111,'单项选择题','A'),(42,41,111,'单项选择题','A'),(43,41,111,'简答题',''),
 (45,45,111,'单项选择题','A'),(46,45,111,'单项选择题','A'),(47,45,111,'单项选择题','A'),(48,45,111,'多项选择题','AB'),
 (49,49,111,'单项选择题','A'),(50,49,111,'单项选择题','A'),
 (60,60,11,'单项选择题','A'),(61,61,1111,'单项选择题','A'),(62,62,311,'单项选择题','A'),
 (71,71,221,'判断题','A'),(72,72,221,'判断题','A'),
 (73,73,221,'判断题','A'),(74,73,221,'判断题','A'),(75,75,221,'判断题','A'),(76,75,221,'判断题','A'),
 (77,77,221,'判断题','A'),(78,77,221,'判断题','A'),(79,79,221,'判断题','A'),(80,79,221,'判断题','A'),
 (81,81,221,'判断题','A'),(82,81,221,'判断题','A'),
 (91,91,111,'简答题','');
INSERT INTO 大题(大题号,大题内容) VALUES (41,'案例一'),(45,'案例二'),(49,'案例三'),
 (73,'甲'),(75,'乙'),(77,'丙'),(79,'丁'),(81,'戊');
UPDATE 小题 SET 是否收藏=1 WHERE 小题号 IN (5,50);
INSERT INTO 测试结果(编号,测试名称,测试类型) VALUES (1,'第一章',1);
INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES (1,2,0),(1,3,-1),(1,31,0),(1,46,0);
)SQL";

std::vector<int> sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<int> range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i)
    v.push_back(i);
  return v;
}

QStringList labels(const std::vector<CountRow> &rows) {
  QStringList out;
  for (const CountRow &r : rows)
    out << QStringLiteral("%1 %2/%3").arg(r.label).arg(r.value).arg(r.maximum);
  return out;
}

// The setup with every chapter but `keep` unticked.
void tickOnly(MockExamSetup &setup, std::set<qint32> keep) {
  for (std::size_t i = 0; i < setup.chapters.size(); ++i)
    if (!keep.count(setup.chapters[i].id) && setup.chapters[i].ticked)
      setup.run(setup.tickChapter(int(i), false));
}

// Sets the count of the row labelled `label` (the case row when isCase).
void setCount(MockExamSetup &setup, const QString &label, int value, bool isCase = false) {
  for (std::size_t i = 0; i < setup.rows.size(); ++i)
    if (setup.rows[i].label == label && setup.rows[i].isCase == isCase)
      setup.setCount(int(i), value);
}

void zeroCounts(MockExamSetup &setup) {
  for (std::size_t i = 0; i < setup.rows.size(); ++i)
    setup.setCount(int(i), 0);
}

} // namespace

class TstMockExamLogic : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  std::unique_ptr<TDataModule1> m_dm;
  std::unique_ptr<FakeDialogs> m_dialogs;
  int m_banks = 0;

  TADOConnection &connection() { return m_dm->ADOConnection1; }

  std::unique_ptr<MockExamSetup> loadedSetup() {
    auto setup = std::make_unique<MockExamSetup>(connection());
    setup->firstLoad();
    return setup;
  }

private slots:
  void initTestCase() { BankFile::registerVfs(); }

  void init() {
    const QString bank = m_tmp.filePath(QStringLiteral("bank-%1.db").arg(++m_banks));
    BuildBankFromTexts(bank, {QString::fromUtf8(kBank)});
    UnmaskDatabaseFile(bank);
    m_dm = std::make_unique<TDataModule1>();
    connection().Open(bank, kDatabasePassword);
    m_dialogs = std::make_unique<FakeDialogs>();
  }
  void cleanup() {
    m_dialogs.reset();
    m_dm.reset();
  }

  // A question is a candidate when it sits in a section of a ticked chapter
  // and is in the range; a case question by its head, and in the favourite
  // and wrong ranges when any of its sub-questions is marked or was wrong.
  void candidatesByRange_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<std::vector<int>>("expected");
    QTest::addColumn<std::vector<int>>("cases");
    std::vector<int> all = range(1, 12);
    for (int x : {21, 22, 23, 31, 32, 33, 34, 35, 41, 45, 49, 71, 72, 73, 75, 77, 79, 81, 91})
      all.push_back(x);
    QTest::newRow("全部试题") << 0 << all << std::vector<int>{41, 45, 49, 73, 75, 77, 79, 81};
    QTest::newRow("收藏试题") << 1 << std::vector<int>{5, 49} << std::vector<int>{49};
    QTest::newRow("错题重做") << 2 << std::vector<int>{2, 31, 45} << std::vector<int>{45};
  }
  void candidatesByRange() {
    QFETCH(int, range);
    QFETCH(std::vector<int>, expected);
    QFETCH(std::vector<int>, cases);
    auto setup = loadedSetup();
    QVERIFY(setup->SetupReady);
    QCOMPARE(setup->subjects.size(), std::size_t(2));
    QCOMPARE(setup->chapters.size(), std::size_t(4));
    if (range != 0)
      setup->run(setup->chooseRange(QuestionRange(range)));
    QCOMPARE(sorted(setup->CandidateNumbers), expected);
    QCOMPARE(sorted(setup->CaseNumbers), cases);
    QVERIFY(m_dialogs->shown.isEmpty());
    // The size of each case question comes with its head.
    for (const ExamCandidate &c : setup->candidates)
      if (c.XiaoTiHao == 45)
        QCOMPARE(c.caseSize, 4);
  }

  // Rows in 类型说明 order (a name once, types without a row left out), the
  // case row last; a count of 5 held to a smaller maximum.
  void countRows() {
    auto setup = loadedSetup();
    QCOMPARE(labels(setup->rows), (QStringList{QStringLiteral("单项选择题 5/12"), QStringLiteral("多项选择题 5/5"),
                                               QStringLiteral("判断题 5/5"), QStringLiteral("案例分析题 5/8")}));
    QCOMPARE(setup->rows.back().score, 2.0);
    // 5 + 10 + 5 marks of the types; 5 of the eight cases (3, 4, 2 and five
    // of 2 sub-questions) at 2 marks a sub-question: 20 to 26.
    QCOMPARE(SummaryText(setup->summary()), QStringLiteral("共 20 题，满分 40～46 分（案例题的小题数各不相同，满分随抽到的案例题而定）"));

    tickOnly(*setup, {12});
    QCOMPARE(labels(setup->rows), QStringList{QStringLiteral("判断题 3/3")});
    QCOMPARE(SummaryText(setup->summary()), QStringLiteral("共 3 题，满分 3 分"));
    QCOMPARE(setup->setCount(0, 9), 3);
    QCOMPARE(setup->setCount(0, -1), 0);
    QVERIFY(!setup->hasCounts());
  }

  // Draws without repetition from the type alone; a fixed seed gives the
  // same paper, other seeds other papers; all of a type in query order when
  // the count reaches its number; case questions by their heads.
  void draws() {
    auto setup = loadedSetup();
    tickOnly(*setup, {11, 12, 21});
    zeroCounts(*setup);
    setCount(*setup, QStringLiteral("单项选择题"), 5);
    const auto drawn = [&](std::uint64_t seed) {
      std::mt19937_64 random(seed);
      return numbers(setup->generate(random, QDateTime::currentDateTime()).paper);
    };
    const std::vector<int> first = drawn(7);
    QCOMPARE(first.size(), std::size_t(5));
    QCOMPARE(std::set<int>(first.begin(), first.end()).size(), std::size_t(5));
    for (int x : first)
      QVERIFY2(x >= 1 && x <= 12, qPrintable(QString::number(x)));
    QCOMPARE(drawn(7), first);
    bool differs = false;
    for (std::uint64_t seed = 8; seed < 12 && !differs; ++seed)
      differs = drawn(seed) != first;
    QVERIFY(differs);

    // Every question of a type can be drawn, each about as often.
    std::mt19937_64 random(1);
    std::map<int, int> seen;
    for (int i = 0; i < 1200; ++i)
      for (const TXiaoTi &x : DrawPaper(setup->candidates, {{QStringLiteral("单项选择题"), 12, 1}}, random))
        ++seen[x.XiaoTiHao];
    QCOMPARE(seen.size(), std::size_t(12));
    for (const auto &[x, n] : seen)
      QVERIFY2(n > 50 && n < 150, qPrintable(QStringLiteral("%1: %2").arg(x).arg(n)));

    // 5 of exactly 5 and 3 of 3 (the count was held at 3): all, in the
    // order of the candidates; then the case row, 2 of 3.
    zeroCounts(*setup);
    setCount(*setup, QStringLiteral("多项选择题"), 5);
    setCount(*setup, QStringLiteral("判断题"), 5);
    setCount(*setup, MockExamText::CaseRow, 2, true);
    QCOMPARE(setup->rows[2].value, 3);
    std::vector<int> inOrder;
    for (const QString &type : {QStringLiteral("多项选择题"), QStringLiteral("判断题")})
      for (const ExamCandidate &c : setup->candidates)
        if (c.type == type && !c.isCase())
          inOrder.push_back(c.XiaoTiHao);
    QCOMPARE(sorted(inOrder), (std::vector<int>{21, 22, 23, 31, 32, 33, 34, 35}));
    std::set<int> heads;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
      const std::vector<int> paper = drawn(seed);
      QCOMPARE(paper.size(), std::size_t(10));
      QCOMPARE(std::vector<int>(paper.begin(), paper.begin() + 8), inOrder);
      QVERIFY(paper[8] != paper[9]);
      heads.insert(paper.begin() + 8, paper.end());
    }
    QCOMPARE(heads, (std::set<int>{41, 45, 49}));
  }

  // A case question's head is never drawn as a question of its type: asking
  // for 2 判断题 where 2 stand-alone ones and 5 case heads are 判断题 gives
  // the 2 stand-alone ones.
  void caseHeadsOnlyInTheCaseRow() {
    auto setup = loadedSetup();
    tickOnly(*setup, {22});
    QCOMPARE(labels(setup->rows), (QStringList{QStringLiteral("判断题 2/2"), QStringLiteral("案例分析题 5/5")}));
    setCount(*setup, MockExamText::CaseRow, 0, true);
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      std::mt19937_64 random(seed);
      QCOMPARE(numbers(setup->generate(random, QDateTime::currentDateTime()).paper), (std::vector<int>{71, 72}));
    }
    // The request is a kind-2 paper titled with the time.
    std::mt19937_64 random(1);
    const PaperRequest request = setup->generate(random, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(request.kind, PaperKinds::MockExam);
    QCOMPARE(request.title, QStringLiteral("模拟考场(2026-03-04 05:06:07)"));
    QCOMPARE(request.mode, 0);
  }

  // Re-reading chapters ticks every chapter again; unticking every chapter
  // says so once and leaves no count row; a subject with no chapter left
  // leaves the lists empty without a message.
  void messagesAndTicks() {
    auto setup = loadedSetup();
    tickOnly(*setup, {11});
    QVERIFY(m_dialogs->shown.isEmpty());
    setup->run(setup->tickSubject(1, false));
    QCOMPARE(setup->chapters.size(), std::size_t(2));
    QVERIFY(setup->chapters[0].ticked && setup->chapters[1].ticked);

    setup->run(setup->tickChapter(0, false));
    setup->run(setup->tickChapter(1, false));
    QCOMPARE(m_dialogs->texts(), QStringList{MockExamText::NoChapter});
    QCOMPARE(m_dialogs->shown[0].caption, MockExamText::NoChapterCaption);
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Question);
    QVERIFY(setup->CandidateNumbers.empty() && setup->rows.empty());
    QVERIFY(!setup->hasCounts());

    m_dialogs->shown.clear();
    setup->run(setup->tickSubject(0, false));
    QVERIFY(setup->chapters.empty() && setup->rows.empty());
    QVERIFY(m_dialogs->shown.isEmpty());

    // Chapters with no question in the range: "没有符合要求的题目！".
    setup->run(setup->tickSubject(1, true));
    QVERIFY(m_dialogs->shown.isEmpty());
    setup->run(setup->chooseRange(QuestionRange::Favourites));
    QCOMPARE(m_dialogs->texts(), QStringList{MockExamText::NoQuestions});
    QCOMPARE(m_dialogs->shown[0].caption, MockExamText::NoQuestionsCaption);
  }

  // A step that fails leaves no count row, so nothing is drawn from lists
  // that do not match the ticks; the next change works again.
  void failedStepLeavesNoRows() {
    auto setup = loadedSetup();
    QVERIFY(!setup->rows.empty());
    connection().ExecuteScript(QStringLiteral("ALTER TABLE 小题 RENAME TO 小题旧;"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, setup->run(setup->tickChapter(0, false)));
    QVERIFY(setup->rows.empty() && setup->CandidateNumbers.empty());
    connection().ExecuteScript(QStringLiteral("ALTER TABLE 小题旧 RENAME TO 小题;"));
    setup->run(setup->tickChapter(0, true));
    QCOMPARE(setup->rows.size(), std::size_t(4));
  }

  // The time limit's key: missing or not a number reads 0; what is stored
  // is read back within 0 … 600.
  void examMinutes() {
    QCOMPARE(ReadExamMinutes(connection()), 0);
    StoreExamMinutes(connection(), 45);
    QCOMPARE(ReadExamMinutes(connection()), 45);
    QCOMPARE(loadedSetup()->examMinutes, 45);
    StoreExamMinutes(connection(), 5000);
    QCOMPARE(ReadExamMinutes(connection()), kMaxExamMinutes);
    connection().ExecuteScript(QStringLiteral("UPDATE 系统参数 SET 参数值='九十' WHERE 参数名='考试时间';"));
    QCOMPARE(ReadExamMinutes(connection()), 0);
  }

  // The clock reads a time source that the test moves.
  void clock() {
    qint64 now = 1000;
    ExamClock clock(90, [&now] { return now; });
    QCOMPARE(clock.text(), QStringLiteral("90:00"));
    QVERIFY(!clock.warning());
    now += 1;
    QCOMPARE(clock.text(), QStringLiteral("90:00"));
    now += 999;
    QCOMPARE(clock.text(), QStringLiteral("89:59"));
    now = 1000 + (85 * 60 - 1) * 1000;
    QCOMPARE(clock.text(), QStringLiteral("05:01"));
    QVERIFY(!clock.warning());
    now += 1000;
    QCOMPARE(clock.text(), QStringLiteral("05:00"));
    QVERIFY(clock.warning());
    now = 1000 + 90 * 60 * 1000 - 1;
    QCOMPARE(clock.text(), QStringLiteral("00:01"));
    QVERIFY(!clock.expired());
    now += 1;
    QCOMPARE(clock.text(), QStringLiteral("00:00"));
    QVERIFY(clock.expired());
    now += 60000;
    QCOMPARE(clock.remainingMs(), qint64(0));
    QCOMPARE(ExamClock::text(150 * 60 * 1000), QStringLiteral("150:00"));
  }
};

QBRX_TEST_MAIN(TstMockExamLogic)
#include "tst_mockexamlogic.moc"
