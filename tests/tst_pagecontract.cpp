// test-links: widgets
// ctest-timeout: 240
// Generated question pages in the real view, with the main window's bridge:
// the page's own script (answers, favourites, zoom, answering again, error
// feedback) and the favourite toggle behind it.

#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "TestEnv.h"
#include "collections/FavouritesWriter.h"
#include "render/ui/ExternalContainer.h"
#include "app/PaperState.h"
#include "render/MyExternal.h"
#include "render/PageBuilder.h"
#include "render/StyleSheet.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/FavouritesRepository.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QApplication>
#include <QWebEngineView>
#include <QtTest>

namespace {

// Three stand-alone questions (one with a character outside GBK) and a case
// question of three; distinct colours so that the sheet and the page's reset
// colour are recognisable.
const char *kBank = R"SQL(
INSERT INTO 系统参数(参数名,参数值) VALUES ('字体','宋体'),('字号','14px'),('工具栏字号','10px'),
 ('颜色','#333333'),('背景色','#123456'),('行间距','170'),('软件标题','题库');
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES (1,'单项选择题','（单选）',1),
 (2,'多项选择题','（多选）',2),(3,'判断题','（判断）',1),(4,'案例分析题','（案例）',2);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,1,'单项选择题',1,'单选题干𠀀','B','解一',0),
 (2,2,1,'多项选择题',2,'多选题干','AC','解二',0),
 (3,3,1,'判断题',3,'判断题干','A','解三',0),
 (10,10,1,'单项选择题',1,'案例子一','A','甲',0),
 (11,10,1,'多项选择题',2,'案例子二','BD','乙',0),
 (12,10,1,'单项选择题',1,'案例子三','C','丙',0);
INSERT INTO 大题(大题号,大题内容) VALUES (10,'案例材料');
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (1,1,1,'甲'),(1,1,2,'乙'),(1,1,3,'丙'),
 (2,2,1,'a'),(2,2,2,'b'),(2,2,3,'c'),(2,2,4,'d'),
 (10,10,1,'a'),(10,10,2,'b'),
 (10,11,1,'a'),(10,11,2,'b'),(10,11,3,'c'),(10,11,4,'d'),
 (10,12,1,'a'),(10,12,2,'b'),(10,12,3,'c');
)SQL";

// The page of questions 1, 2, 3 and case 10: answer blocks 1, 2, 3 and 7
// (the case's sub-questions take the numbers 4 to 6).
const QStringList kShowButtons{QStringLiteral("ShowButton1"), QStringLiteral("ShowButton2"),
                               QStringLiteral("ShowButton3"), QStringLiteral("ShowButton7")};

QString js(const QString &text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

} // namespace

class TstPageContract : public QObject {
  Q_OBJECT

  std::unique_ptr<FeatureHarness> m_harness;
  // Short names for the harness's parts.
  PaperState &paperState() { return m_harness->paper; }
  ProgramDir m_dir;
  TDataModule1 *m_dm = nullptr;
  FakeDialogs *m_dialogs = nullptr;
  WebHtmlView *m_view = nullptr;
  TExternalContainer *m_container = nullptr;
  FavouritesWriter *m_writer = nullptr;

  QVariant eval(const QString &script) { return m_view->evaluate(script); }
  void click(const QString &selector) {
    m_view->runScript(QStringLiteral("document.querySelector(%1).click()").arg(js(selector)));
  }
  QString text(const QString &id) {
    return eval(QStringLiteral("document.getElementById(%1).innerText").arg(js(id))).toString();
  }
  QString display(const QString &id) {
    return eval(QStringLiteral("document.getElementById(%1).style.display").arg(js(id))).toString();
  }
  QStringList answerStates() {
    QStringList out;
    for (const QString &button : kShowButtons)
      out << text(button) + QLatin1Char('/') + display(QStringLiteral("Answer") + button.mid(10));
    return out;
  }
  int favourite(int xiaoTiHao) {
    TADOQuery q(m_dm->ADOConnection1, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(xiaoTiHao));
    q.Open();
    return q.FieldByName(QStringLiteral("是否收藏")).AsInteger();
  }
  int favouriteCount() {
    TADOQuery q(m_dm->ADOConnection1, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT COUNT(*) FROM 小题 WHERE 是否收藏<>0"));
    q.Open();
    return q.Fields(0).AsInteger();
  }

private slots:
  void initTestCase() {
    m_harness = std::make_unique<FeatureHarness>(QStringList{QString::fromUtf8(kBank)});
    m_dir = m_harness->programDir;
    m_dm = &m_harness->dm;
    m_dialogs = m_harness->fake();
    m_harness->loadParameters();
    m_view = &m_harness->openView();
    m_container = &m_harness->container();
    m_writer = &m_harness->connectFavourites();
  }

  void cleanupTestCase() {
    m_writer = nullptr;
    m_container = nullptr;
    m_view = nullptr;
    m_dm = nullptr;
    m_dialogs = nullptr;
    m_harness.reset();
  }

  // A fresh chapter page of questions 1, 2, 3 and case 10, no favourites.
  void init() {
    m_dialogs->shown.clear();
    m_dialogs->modalForms.clear();
    m_dialogs->modalHandler = nullptr;
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=0;"));
    QVERIFY(m_harness->showPaper({{1}, {2}, {3}, {10}}, PaperKinds::Chapter));
  }

  void cleanup() {
    QVERIFY2(m_view->scriptErrors().isEmpty(), qPrintable(m_view->scriptErrors().join(QLatin1Char('\n'))));
    QVERIFY2(m_dialogs->shown.isEmpty(), qPrintable(m_dialogs->texts().join(QLatin1Char('\n'))));
  }

  // The page links "main.css" and gets css/Main.css; its script is there;
  // the context menu and text selection are cancelled by the page itself;
  // text outside GBK reads back as it is stored.
  void generatedPageInTheView() {
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(18, 52, 86)"));
    QCOMPARE(eval(QStringLiteral("[typeof SubmitQuestion, typeof showAnswer, typeof changeFont, typeof scbt, "
                                 "typeof SubmitErrorQuestion, typeof showAllAnswer, typeof answerAgain, "
                                 "beforeColor].join()"))
                 .toString(),
             QStringLiteral("function,function,function,function,function,function,function,#333333"));
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), QStringLiteral("第一章"));
    QCOMPARE(text(QStringLiteral("T1_1")), QStringLiteral("1. 单选题干\U00020000"));
    QCOMPARE(eval(QStringLiteral("[['contextmenu', MouseEvent], ['selectstart', Event]].map(function (k) {"
                                 "  return document.body.dispatchEvent(new k[1](k[0], {bubbles: true, cancelable: true}));"
                                 "}).join()"))
                 .toString(),
             QStringLiteral("false,false"));
  }

  // A click of the learner's mouse on 显示答案 opens the answer; a second
  // click closes it.
  void showAnswerToggles() {
    const QVariantList rect = eval(QStringLiteral(
        "var r = document.getElementById('ShowButton2').getBoundingClientRect(); [r.left + r.width / 2, r.top + r.height / 2]")).toList();
    QCOMPARE(rect.size(), 2);
    const QPoint centre(rect[0].toInt(), rect[1].toInt());
    QWidget *input = m_view->engineView()->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, Qt::LeftButton, {}, centre);
    QTRY_COMPARE(display(QStringLiteral("Answer2")), QString());
    QCOMPARE(text(QStringLiteral("ShowButton2")), QStringLiteral("隐藏答案"));
    QCOMPARE(display(QStringLiteral("Answer1")), QStringLiteral("none"));

    click(QStringLiteral("#ShowButton2"));
    QCOMPARE(display(QStringLiteral("Answer2")), QStringLiteral("none"));
    QCOMPARE(text(QStringLiteral("ShowButton2")), QStringLiteral("显示答案"));
  }

  void showAllAnswer() {
    click(QStringLiteral("#ShowButton3")); // one already open stays open
    m_view->runScript(QStringLiteral("showAllAnswer(true)"));
    const QString open = QStringLiteral("隐藏答案/"), closed = QStringLiteral("显示答案/none");
    QCOMPARE(answerStates(), QStringList({open, open, open, open}));
    m_view->runScript(QStringLiteral("showAllAnswer(false)"));
    QCOMPARE(answerStates(), QStringList({closed, closed, closed, closed}));
  }

  void favouriteToggles_data() {
    QTest::addColumn<int>("link");      // index among the favourite links
    QTest::addColumn<int>("xiaoTiHao"); // where the mark is stored
    QTest::newRow("stand-alone") << 1 << 2;
    QTest::newRow("case: first sub-question") << 3 << 10;
  }

  // The link flips its own text and colour, and the mark in the database;
  // a second click flips both back.
  void favouriteToggles() {
    QFETCH(int, link);
    QFETCH(int, xiaoTiHao);
    const QString span = QStringLiteral("document.querySelectorAll('a[mode=\"sc\"]')[%1].firstElementChild").arg(link);
    auto linkState = [&] { return eval(span + QStringLiteral(".innerHTML + '/' + ") + span + QStringLiteral(".style.color")).toString(); };
    QCOMPARE(linkState(), QStringLiteral("收藏本题/black"));

    m_view->runScript(span + QStringLiteral(".click()"));
    QCOMPARE(linkState(), QStringLiteral("取消收藏/red"));
    QTRY_COMPARE(favourite(xiaoTiHao), 1);
    QCOMPARE(favouriteCount(), 1);

    m_view->runScript(span + QStringLiteral(".click()"));
    QCOMPARE(linkState(), QStringLiteral("收藏本题/black"));
    QTRY_COMPARE(favourite(xiaoTiHao), 0);
    QCOMPARE(favouriteCount(), 0);
  }

  void favouriteLinkSetsWhatItShows_data() {
    QTest::addColumn<int>("built"); // the mark when the page was built
    QTest::newRow("cleared elsewhere (全部取消)") << 1;
    QTest::newRow("marked elsewhere") << 0;
  }

  // The marks changed elsewhere (the favourites window) after the page was
  // built: a click sets the state its link shows afterwards, not the
  // opposite of what the bank holds by then.
  void favouriteLinkSetsWhatItShows() {
    QFETCH(int, built);
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=%1 WHERE 小题号=2;").arg(built));
    BuildQuestionPage(paperState(), QStringLiteral("第一章"), 0, *m_dm, m_dir);
    m_view->navigate(m_dir.questionPagePath());
    QVERIFY(m_view->waitForLoad());
    const QString span = QStringLiteral("document.querySelectorAll('a[mode=\"sc\"]')[1].firstElementChild");
    const QString shown = built ? QStringLiteral("取消收藏") : QStringLiteral("收藏本题");
    QCOMPARE(eval(span + QStringLiteral(".innerHTML")).toString(), shown);
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=%1 WHERE 小题号=2;").arg(1 - built));

    QSignalSpy written(m_writer, &FavouritesWriter::favouriteToggled);
    m_view->runScript(span + QStringLiteral(".click()"));
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(eval(span + QStringLiteral(".innerHTML")).toString(),
             built ? QStringLiteral("收藏本题") : QStringLiteral("取消收藏"));
    QCOMPARE(favourite(2), 1 - built);
    QCOMPARE(favouriteCount(), 1 - built);
  }

  // Ticks are read back in one call; answering again clears them, closes
  // the answers and gives the stems marked red the page's text colour again.
  void answerAgain() {
    for (const char *id : {"1/1", "2/0", "2/2", "3/1", "11/3"})
      click(QStringLiteral("input[id=\"%1\"]").arg(QLatin1String(id)));
    const QStringList ids{QStringLiteral("1/0"), QStringLiteral("1/1"), QStringLiteral("2/0"),
                          QStringLiteral("2/2"), QStringLiteral("3/0"), QStringLiteral("3/1"),
                          QStringLiteral("11/3"), QStringLiteral("4/0")};
    const std::vector<std::optional<bool>> ticked{false, true, true, true, false, true, true, std::nullopt};
    QCOMPARE(m_view->readChecked(ids), ticked);

    m_view->setColor({QStringLiteral("T1_1"), QStringLiteral("T11_11")}, QStringLiteral("red"));
    click(QStringLiteral("#ShowButton7"));
    m_view->runScript(QStringLiteral("answerAgain()"));

    const std::vector<std::optional<bool>> cleared{false, false, false, false, false, false, false, std::nullopt};
    QCOMPARE(m_view->readChecked(ids), cleared);
    QCOMPARE(eval(QStringLiteral("document.getElementById('T1_1').style.color + '/' + "
                                 "document.getElementById('T11_11').style.color"))
                 .toString(),
             QStringLiteral("rgb(51, 51, 51)/rgb(51, 51, 51)"));
    QCOMPARE(display(QStringLiteral("Answer7")), QStringLiteral("none"));
  }

  // Four sizes; zooming beyond either end changes nothing.
  void changeFontStopsAtBothEnds() {
    auto state = [&] { return eval(QStringLiteral("ii + ' ' + document.body.style.fontSize")).toString(); };
    m_view->runScript(QStringLiteral("changeFont(0)"));
    QCOMPARE(state(), QStringLiteral("0 small"));
    const QStringList up{QStringLiteral("1 medium"), QStringLiteral("2 large"), QStringLiteral("3 x-large"),
                         QStringLiteral("3 x-large")};
    for (const QString &expected : up) {
      m_view->runScript(QStringLiteral("changeFont(1)"));
      QCOMPARE(state(), expected);
    }
    const QStringList down{QStringLiteral("2 large"), QStringLiteral("1 medium"), QStringLiteral("0 small"),
                           QStringLiteral("0 small")};
    for (const QString &expected : down) {
      m_view->runScript(QStringLiteral("changeFont(0)"));
      QCOMPARE(state(), expected);
    }
  }

  void feedbackLinkReachesCTFK_data() {
    QTest::addColumn<int>("link");      // index among the feedback links
    QTest::addColumn<int>("xiaoTiHao"); // the number the link passes
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("stand-alone") << 0 << 1 << QStringList{QStringLiteral("单选题干")};
    QTest::newRow("case") << 3 << 10
                          << QStringList{QStringLiteral("案例材料"), QStringLiteral("案例子一"),
                                         QStringLiteral("案例子二"), QStringLiteral("案例子三")};
  }

  // The feedback link asks for feedback on its question through the bridge;
  // the one-question page is a file of its own, so the paper state (the
  // paper on display, its kind, title and questions) stays as it was.
  void feedbackLinkReachesCTFK() {
    QFETCH(int, link);
    QFETCH(int, xiaoTiHao);
    QFETCH(QStringList, shown);
    const std::vector<TShiTi> paperQuestions = paperState().questions;
    QCOMPARE(int(paperQuestions.size()), 6);
    const qint16 kind = paperState().kind;
    const QString title = paperState().title;
    const size_t paperSize = paperState().paper.size();

    QList<int> asked;
    const auto connection =
        connect(m_container->GetExternal(), &TMyExternal::errorReportRequested, this, [&](int n) { asked << n; });
    m_view->runScript(QStringLiteral("document.querySelectorAll('a[mode=\"ct\"]')[%1].firstElementChild.click()").arg(link));
    QTRY_COMPARE(asked, QList<int>{xiaoTiHao});
    disconnect(connection);

    const QString path = BuildFeedbackPage(xiaoTiHao, *m_dm, m_dir);
    QCOMPARE(QFileInfo(path), QFileInfo(m_dir.feedbackPagePath()));
    WebHtmlView page;
    page.navigate(path);
    QVERIFY(page.waitForLoad());
    const QString body = page.evaluate(QStringLiteral("document.body.innerText")).toString();
    for (const QString &s : shown)
      QVERIFY2(body.contains(s), qPrintable(body));
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelectorAll('[id^=ShowButton], a[mode]').length")).toInt(), 0);
    QVERIFY(page.scriptErrors().isEmpty());

    QCOMPARE(paperState().kind, kind);
    QCOMPARE(paperState().title, title);
    QCOMPARE(paperState().paper.size(), paperSize);
    QCOMPARE(paperState().questions.size(), paperQuestions.size());
    for (size_t i = 0; i < paperQuestions.size(); ++i)
      QCOMPARE(paperState().questions[i].XiaoTiHao, paperQuestions[i].XiaoTiHao);
  }

  void toggleFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("favourites"); // marked questions afterwards
    QTest::newRow("number") << "2" << "ok" << 1;
    QTest::newRow("spaces around") << " 2 " << "ok" << 1;
    QTest::newRow("no such question") << "99" << "" << 0;
    QTest::newRow("injection") << "1 OR 1=1" << "" << 0;
    QTest::newRow("second statement") << "2;UPDATE 小题 SET 是否收藏=1" << "" << 0;
    QTest::newRow("empty") << "" << "" << 0;
    QTest::newRow("not decimal") << "0x2" << "" << 0;
  }

  // Only a decimal number reaches the statement; anything else finds nothing.
  void toggleFromText() {
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(int, favourites);
    QCOMPARE(FavouritesRepository(m_dm->ADOConnection1).toggleFromPage(text), result);
    QCOMPARE(favouriteCount(), favourites);
    if (favourites)
      QCOMPARE(favourite(2), 1);
  }

  // The page's own call with an injection changes nothing; the call after
  // it (calls keep their order) does its work.
  void injectionFromThePage() {
    m_view->runScript(QStringLiteral("scbt('1 OR 1=1'); scbt('3')"));
    QTRY_COMPARE(favourite(3), 1);
    QCOMPARE(favouriteCount(), 1);
  }

  // The toggle runs on statements of its own: a dialog walking the data
  // module's queries when the page calls keeps its rows.
  void toggleLeavesTheSharedQueriesAlone() {
    for (TADOQuery *q : {&m_dm->ADOQuery1, &m_dm->ADOQuery2, &m_dm->ADOQuery3}) {
      q->Close();
      q->SQL.Clear();
      q->SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 ORDER BY 小题号"));
      q->Open();
      q->Next();
    }
    QCOMPARE(FavouritesRepository(m_dm->ADOConnection1).toggleFromPage(QStringLiteral("2")), QStringLiteral("ok"));
    for (TADOQuery *q : {&m_dm->ADOQuery1, &m_dm->ADOQuery2, &m_dm->ADOQuery3}) {
      QVERIFY(q->Active());
      QVERIFY(q->RecordCount() > 2);
      QCOMPARE(q->Fields(0).AsInteger(), 2);
      q->Close();
    }
    QCOMPARE(favourite(2), 1);
  }

  // An engine error: the message of the toggle, result "Error".
  void toggleEngineError() {
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral("ALTER TABLE 小题 RENAME TO 小题旧;"));
    const QString result = FavouritesRepository(m_dm->ADOConnection1).toggleFromPage(QStringLiteral("2"));
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral("ALTER TABLE 小题旧 RENAME TO 小题;"));
    QCOMPARE(result, QStringLiteral("Error"));
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].text, QStringLiteral("收藏/取消收藏操作失败，请重新操作!"));
    QCOMPARE(m_dialogs->shown[0].caption, QStringLiteral("操作失败"));
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Information);
    m_dialogs->shown.clear();
  }
};

QBRX_TEST_MAIN(TstPageContract)
#include "tst_pagecontract.moc"
