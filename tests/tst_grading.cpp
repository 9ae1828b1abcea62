// test-links: widgets
// Grading the paper on display: judging the chosen letters, the red stems,
// the summary by question type and its marks, against a scripted page and a
// real bank; once on a generated page in the real view.
// ctest-timeout: 180

#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "FakeHtmlView.h"
#include "TestEnv.h"
#include "exam/ui/ShowTestResult.h"
#include "common/ProgramDir.h"
#include "exam/Grading.h"
#include "mainwin/ui/MainCommands.h"
#include "render/PageBuilder.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"

#include "app/PaperState.h"

#include <QtTest>
#include <memory>

namespace {

const char *kTypes = R"SQL(
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1);
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(2,'多项选择题','',2);
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(3,'判断题','',0.5);
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(4,'案例分析题','',3);
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(5,'O''Brien题','',4);
)SQL";

// One sub-question of a scripted paper: its type, options, stored answer, the
// letters the learner ticks and its case question (0: none).
struct Q {
  QString type;
  int options;
  QString answer;
  QString ticked;
  int daTiHao = 0;
};

// A generated paper: two single-choice questions, a true/false one and a
// case question of two sub-questions.
const char *kPageBank = R"SQL(
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','（单选）',1),(2,'判断题','（判断）',0.5),
 (3,'案例分析题','（案例）',2),(4,'多项选择题','（多选）',2);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (5,5,1,'单项选择题',1,'独立一','A','',0),
 (6,6,1,'单项选择题',1,'独立二','C','',0),
 (7,7,1,'判断题',3,'判断','B','',0),
 (20,20,1,'单项选择题',1,'子一','B','',0),
 (21,20,1,'多项选择题',2,'子二','acd','',0);
INSERT INTO 大题(大题号,大题内容) VALUES(20,'案例材料');
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (5,5,1,'a'),(5,5,2,'b'),(5,5,3,'c'),(6,6,1,'a'),(6,6,2,'b'),(6,6,3,'c'),
 (20,20,1,'a'),(20,20,2,'b'),(20,21,1,'a'),(20,21,2,'b'),(20,21,3,'c'),(20,21,4,'d');
)SQL";

struct Group {
  QString type;
  int count;
  int right;
};

} // namespace

Q_DECLARE_METATYPE(QList<Q>)
Q_DECLARE_METATYPE(QList<Group>)

class TstGrading : public QObject {
  Q_OBJECT

  std::unique_ptr<FeatureHarness> m_harness;
  // Short names for the harness's parts.
  PaperState &paperState() { return m_harness->paper; }
  TDataModule1 *m_dm = nullptr;
  FakeDialogs *m_dialogs = nullptr;
  std::unique_ptr<FakeHtmlView> m_page;

  // Puts the paper into paperState().questions (numbers 101, 102, ...) and ticks
  // the letters on the page.
  void setPaper(const QList<Q> &paper) {
    paperState().questions.clear();
    int n = 100;
    for (const Q &q : paper) {
      TShiTi s;
      s.XiaoTiHao = ++n;
      s.NumOfSel = q.options;
      s.TiMuType = q.type;
      s.Answer = q.answer;
      s.DaTiHao = q.daTiHao;
      paperState().questions.push_back(s);
      for (int i = 0; i < q.options; ++i)
        m_page->checked.insert(QStringLiteral("%1/%2").arg(n).arg(i), q.ticked.contains(QChar('A' + i)));
      m_page->checked.insert(QStringLiteral("T%1_%1").arg(n), false);
    }
    paperState().onDisplay = true;
  }

  QStringList expectedRedStems(const QList<Q> &paper, const QList<bool> &right) {
    QStringList ids;
    for (int i = 0; i < paper.size(); ++i)
      if (!right[i])
        ids << QStringLiteral("T%1_%1").arg(101 + i);
    return ids;
  }

private slots:
  void init() {
    m_harness = std::make_unique<FeatureHarness>(QStringList{QString::fromUtf8(kTypes)});
    m_dm = &m_harness->dm;
    m_dialogs = m_harness->fake();
    m_page = std::make_unique<FakeHtmlView>();
  }
  void cleanup() {
    m_page.reset();
    m_dialogs = nullptr;
    m_dm = nullptr;
    m_harness.reset();
  }

  // The chosen letters against the stored answer: exact string in option
  // order, the stored answer upper-cased (ASCII letters only).
  void judging_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<bool>("right");
    QTest::newRow("ACD ticked ACD") << "ACD" << 4 << "ACD" << true;
    QTest::newRow("lower-case acd") << "acd" << 4 << "ACD" << true;
    QTest::newRow("mixed-case aCd") << "aCd" << 4 << "ACD" << true;
    QTest::newRow("ACD ticked AC") << "ACD" << 4 << "AC" << false;
    QTest::newRow("ACD ticked ABCD") << "ACD" << 4 << "ABCD" << false;
    QTest::newRow("single B") << "B" << 4 << "B" << true;
    QTest::newRow("single, two ticked") << "B" << 4 << "AB" << false;
    QTest::newRow("true/false first is A") << "A" << 2 << "A" << true;
    QTest::newRow("true/false second is B") << "B" << 2 << "B" << true;
    QTest::newRow("true/false wrong") << "B" << 2 << "A" << false;
    QTest::newRow("unanswered") << "A" << 4 << "" << false;
    QTest::newRow("empty answer, unanswered") << "" << 4 << "" << true;
    QTest::newRow("empty answer, ticked") << "" << 4 << "A" << false;
    QTest::newRow("answer with space") << "A " << 4 << "A" << false;
    QTest::newRow("full-width letter not folded") << QString::fromUtf8("ａ") << 4 << "A" << false;
  }
  void judging() {
    QFETCH(QString, answer);
    QFETCH(int, options);
    QFETCH(QString, ticked);
    QFETCH(bool, right);
    const QList<Q> paper{{"单项选择题", 4, "C", "C"}, {"单项选择题", options, answer, ticked}};
    setPaper(paper);
    paperState().questions[1].IsRight = !right; // grading must overwrite it

    QCOMPARE(GradePaper(paperState(), *m_page, *m_dm), GradeStatus::Graded);
    QCOMPARE(paperState().questions[0].IsRight, true);
    QCOMPARE(paperState().questions[1].IsRight, right);
    QCOMPARE(m_page->colored(), expectedRedStems(paper, {true, right}));
    QCOMPARE(paperState().typeResults.size(), size_t(1));
    QCOMPARE(paperState().typeResults[0].Right, right ? 2 : 1);
    QCOMPARE(paperState().typeResults[0].Error, right ? 0 : 1);
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // An answer stored in another order or with separators matches no choice.
  void reorderedAnswerNeverMatches_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("CDA") << "CDA";
    QTest::newRow("A,C,D") << "A,C,D";
  }
  void reorderedAnswerNeverMatches() {
    QFETCH(QString, answer);
    for (int mask = 0; mask < 16; ++mask) {
      QString ticked;
      for (int i = 0; i < 4; ++i)
        if (mask & (1 << i))
          ticked += QChar('A' + i);
      setPaper({{"多项选择题", 4, answer, ticked}});
      QCOMPARE(GradePaper(paperState(), *m_page, *m_dm), GradeStatus::Graded);
      QVERIFY2(!paperState().questions[0].IsRight, qPrintable(ticked));
    }
  }

  // One entry per type where it first appears; case sub-questions under
  // 案例分析题 whatever their own type; marks from 类型说明.
  void summaryByType_data() {
    QTest::addColumn<QList<Q>>("paper");
    QTest::addColumn<QList<Group>>("groups");
    QTest::newRow("seven questions") << QList<Q>{{"单项选择题", 4, "A", "A"},
                                                 {"单项选择题", 4, "B", "C"},
                                                 {"单项选择题", 4, "C", "C"},
                                                 {"多项选择题", 4, "AB", "AB"},
                                                 {"多项选择题", 4, "ABD", "AB"},
                                                 {"判断题", 2, "A", "A"},
                                                 {"单项选择题", 4, "D", "D", 900},
                                                 {"多项选择题", 4, "BC", "B", 900}}
                                     << QList<Group>{{"单项选择题", 3, 2},
                                                     {"多项选择题", 2, 1},
                                                     {"判断题", 1, 1},
                                                     {"案例分析题", 2, 1}};
    QTest::newRow("types not adjacent") << QList<Q>{{"判断题", 2, "A", "A"},
                                                    {"单项选择题", 4, "A", "B"},
                                                    {"判断题", 2, "B", "B"},
                                                    {"单项选择题", 4, "C", "C"},
                                                    {"判断题", 2, "A", ""}}
                                        << QList<Group>{{"判断题", 3, 2}, {"单项选择题", 2, 1}};
    QTest::newRow("two case questions apart") << QList<Q>{{"判断题", 2, "A", "A", 7},
                                                          {"单项选择题", 4, "A", "A"},
                                                          {"多项选择题", 4, "AB", "AB", 8}}
                                              << QList<Group>{{"案例分析题", 2, 2}, {"单项选择题", 1, 1}};
    QTest::newRow("type name with a quote") << QList<Q>{{"O'Brien题", 4, "A", "A"}}
                                            << QList<Group>{{"O'Brien题", 1, 1}};
    QTest::newRow("only subjective questions") << QList<Q>{} << QList<Group>{};
  }
  void summaryByType() {
    QFETCH(QList<Q>, paper);
    QFETCH(QList<Group>, groups);
    const QHash<QString, double> marks{{"单项选择题", 1}, {"多项选择题", 2}, {"判断题", 0.5},
                                       {"案例分析题", 3}, {"O'Brien题", 4}};
    setPaper(paper);
    QCOMPARE(GradePaper(paperState(), *m_page, *m_dm), GradeStatus::Graded);

    QCOMPARE(m_page->readCalls.size(), 1); // every input in one call
    QCOMPARE(paperState().typeResults.size(), size_t(groups.size()));
    for (int i = 0; i < groups.size(); ++i) {
      const TTest &t = paperState().typeResults[size_t(i)];
      const Group &g = groups[i];
      QCOMPARE(t.TiMuType, g.type);
      QCOMPARE(t.NumOfShiTi, g.count);
      QCOMPARE(t.Right, g.right);
      QCOMPARE(t.Error, g.count - g.right);
      QCOMPARE(t.Total, float(marks[g.type] * g.count));
      QCOMPARE(t.Score, float(marks[g.type] * g.right));
      QCOMPARE(t.MNPP, float(double(g.right) / g.count));
      QVERIFY(!t.alreadyCount);
    }
    QList<bool> right;
    for (const TShiTi &s : paperState().questions)
      right << s.IsRight;
    QCOMPARE(m_page->colorCalls.size(), right.contains(false) ? 1 : 0); // all stems in one call
    QCOMPARE(m_page->colored(), expectedRedStems(paper, right));

    // Grading again without changes gives the same outcome.
    const std::vector<TTest> first = paperState().typeResults;
    QCOMPARE(GradePaper(paperState(), *m_page, *m_dm), GradeStatus::Graded);
    QCOMPARE(paperState().typeResults.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
      QCOMPARE(paperState().typeResults[i].TiMuType, first[i].TiMuType);
      QCOMPARE(paperState().typeResults[i].Right, first[i].Right);
      QCOMPARE(paperState().typeResults[i].Score, first[i].Score);
    }
  }

  // Half a mark per question, 3 of 4 right; a type without a 类型说明 row
  // scores 0 but keeps its counts.
  void marksArithmetic() {
    setPaper({{"判断题", 2, "A", "A"},
              {"判断题", 2, "A", "A"},
              {"判断题", 2, "B", "B"},
              {"判断题", 2, "B", "A"},
              {"排序题", 4, "AB", "AB"},
              {"排序题", 4, "C", ""}});
    QCOMPARE(GradePaper(paperState(), *m_page, *m_dm), GradeStatus::Graded);
    QCOMPARE(paperState().typeResults.size(), size_t(2));
    QCOMPARE(paperState().typeResults[0].Total, 2.0f);
    QCOMPARE(paperState().typeResults[0].Score, 1.5f);
    QCOMPARE(paperState().typeResults[0].MNPP, 0.75f);
    QCOMPARE(paperState().typeResults[1].TiMuType, QStringLiteral("排序题"));
    QCOMPARE(paperState().typeResults[1].Total, 0.0f);
    QCOMPARE(paperState().typeResults[1].Score, 0.0f);
    QCOMPARE(paperState().typeResults[1].MNPP, 0.5f);
  }

  // Before the first question page nothing is read and nothing changes.
  void noPaperOnDisplay() {
    setPaper({{"单项选择题", 4, "A", "B"}});
    paperState().onDisplay = false;
    paperState().typeResults = {TTest{QStringLiteral("旧"), 1, 1, 0, 1, 1, 1, false}};
    ActSummitPaper(paperState(), *m_page, *m_dm);
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].text, QStringLiteral("请先选择试卷！"));
    QCOMPARE(m_dialogs->shown[0].caption, QStringLiteral("未选择试卷"));
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Information);
    QVERIFY(m_page->readCalls.isEmpty());
    QVERIFY(m_page->colorCalls.isEmpty());
    QCOMPARE(paperState().typeResults[0].TiMuType, QStringLiteral("旧"));
    QVERIFY(m_dialogs->modalForms.isEmpty());
  }

  // A page that was not built for paperState().questions: told, nothing changed,
  // no report.
  void pageLacksAnElement_data() {
    QTest::addColumn<QString>("missing");
    QTest::newRow("an option") << "102/3";
    QTest::newRow("a stem") << "T101_101";
  }
  void pageLacksAnElement() {
    setPaper({{"单项选择题", 4, "A", "B"}, {"单项选择题", 4, "A", "A"}});
    QFETCH(QString, missing);
    m_page->checked.remove(missing);
    paperState().questions[0].IsRight = true;
    paperState().typeResults = {TTest{QStringLiteral("旧"), 1, 1, 0, 1, 1, 1, false}};
    ActSummitPaper(paperState(), *m_page, *m_dm);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("当前页面与试卷不符，无法批阅，请重新生成试卷。")});
    QVERIFY(m_page->colorCalls.isEmpty());
    QVERIFY(paperState().questions[0].IsRight);
    QCOMPARE(paperState().typeResults.size(), size_t(1));
    QCOMPARE(paperState().typeResults[0].TiMuType, QStringLiteral("旧"));
    QVERIFY(m_dialogs->modalForms.isEmpty());
  }

  // The page builder's page in the real view: the learner's clicks are read
  // back and exactly the wrong stems turn red.
  void generatedPageInRealView() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kPageBank)});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    const ProgramDir programDir(dir.root());
    for (int n : {5, 6, 7, 20, 21})
      paperState().paper.push_back(TXiaoTi{n});
    paperState().kind = PaperKinds::Chapter;
    BuildQuestionPage(paperState(), QStringLiteral("第一章"), 0, dm, programDir);
    QCOMPARE(paperState().questions.size(), size_t(5));

    WebHtmlView view;
    view.navigate(programDir.questionPagePath());
    QVERIFY(view.waitForLoad());
    // 5 right (A), 6 wrong (B for C), 7 unanswered, 20 right (B), 21 right (A, C, D for "acd").
    view.runScript(QStringLiteral("['5/0', '6/1', '20/1', '21/0', '21/2', '21/3'].forEach(function (id) {"
                                  " document.getElementById(id).click(); });"));
    QCOMPARE(GradePaper(paperState(), view, dm), GradeStatus::Graded);

    QList<bool> right;
    for (const TShiTi &s : paperState().questions)
      right << s.IsRight;
    QCOMPARE(right, (QList<bool>{true, false, false, true, true}));
    const QStringList colors =
        view.evaluate(QStringLiteral("['T5_5', 'T6_6', 'T7_7', 'T20_20', 'T21_21'].map(function (id) {"
                                     " return document.getElementById(id).style.color; })"))
            .toStringList();
    QCOMPARE(colors, (QStringList{"", "red", "red", "", ""}));
    QCOMPARE(paperState().typeResults.size(), size_t(3));
    QCOMPARE(paperState().typeResults[0].TiMuType, QStringLiteral("单项选择题"));
    QCOMPARE(paperState().typeResults[0].Right, 1);
    QCOMPARE(paperState().typeResults[1].TiMuType, QStringLiteral("判断题"));
    QCOMPARE(paperState().typeResults[2].TiMuType, QStringLiteral("案例分析题"));
    QCOMPARE(paperState().typeResults[2].Score, 4.0f);
    QVERIFY2(view.scriptErrors().isEmpty(), qPrintable(view.scriptErrors().join('\n')));
  }

  // A long paper still loading when the learner hands it in: told to wait,
  // nothing judged or coloured; once loaded, the same paper is graded. (The
  // page's last script keeps the engine busy well past grading's wait, as
  // the rest of a very long page does.)
  void paperStillLoadingIsNotGraded() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kPageBank)});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    const ProgramDir programDir(dir.root());
    for (int n : {5, 6, 7})
      paperState().paper.push_back(TXiaoTi{n});
    paperState().kind = PaperKinds::Chapter;
    BuildQuestionPage(paperState(), QStringLiteral("第一章"), 0, dm, programDir);
    QFile page(programDir.questionPagePath());
    QVERIFY(page.open(QIODevice::ReadWrite));
    QByteArray bytes = page.readAll();
    const QByteArray end("</body>");
    QVERIFY(bytes.contains(end));
    bytes.replace(end, "<script>var until = Date.now() + 3 * " + QByteArray::number(GradingText::LoadWaitMs) +
                           "; while (Date.now() < until) {}</script>" + end);
    QVERIFY(page.resize(0) && page.seek(0) && page.write(bytes) == bytes.size());
    page.close();

    WebHtmlView view;
    view.navigate(programDir.questionPagePath());
    paperState().questions[0].IsRight = true;
    QCOMPARE(GradePaper(paperState(), view, dm), GradeStatus::StillLoading);
    QCOMPARE(m_dialogs->texts(), QStringList{GradingText::StillLoading});
    QVERIFY(paperState().questions[0].IsRight);
    QVERIFY(paperState().typeResults.empty());

    QVERIFY(view.waitForLoad(60000));
    QCOMPARE(GradePaper(paperState(), view, dm), GradeStatus::Graded);
    QCOMPARE(view.evaluate(QStringLiteral("document.getElementById('T6_6').style.color")).toString(),
             QStringLiteral("red"));
  }

  // The command opens the report on the new paperState().typeResults.
  void commandOpensReport() {
    setPaper({{"单项选择题", 4, "A", "A"}, {"判断题", 2, "B", "A"}});
    paperState().kind = PaperKinds::Search; // closing stores nothing
    QStringList reportLines;
    m_dialogs->modalHandler = [&](QDialog &dlg) {
      auto &report = dynamic_cast<TFrmShowTestResult &>(dlg);
      reportLines = static_cast<FakeHtmlView &>(report.view()).lines;
      dlg.reject();
      return dlg.result();
    };
    ActSummitPaper(paperState(), *m_page, *m_dm, nullptr, [](QWidget *parent) { return std::make_unique<FakeHtmlView>(parent); });
    QCOMPARE(m_dialogs->modalForms, QStringList{QStringLiteral("TFrmShowTestResult")});
    const QString row = QStringLiteral("<tr><td width=\"28%\" align=\"center\" class=\"table1\">判断题</td>"
                                       "<td width=\"15%\" align=\"center\" class=\"table1\">1</td>"
                                       "<td width=\"12%\" align=\"center\" class=\"table1\">0</td>"
                                       "<td width=\"15%\" align=\"center\" class=\"table1\">0.50</td>"
                                       "<td width=\"15%\" align=\"center\" class=\"table1\">0.00</td>"
                                       "<td width=\"15%\" align=\"center\" class=\"table1\">0.00%</td></tr>");
    QVERIFY2(reportLines.contains(row), qPrintable(reportLines.join('\n')));
    QVERIFY(m_dialogs->shown.isEmpty());
  }
};

QBRX_TEST_MAIN(TstGrading)
#include "tst_grading.moc"
