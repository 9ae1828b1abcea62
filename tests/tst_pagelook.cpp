// test-links: widgets
// ctest-timeout: 240
// How a generated paper looks in the real view under the default look and
// under the night look: every text readable against what is behind it, a
// dark page printed on light paper, no sideways scrolling at the widths a
// 1024-pixel screen gives, the answer toolbars' labels reached with Tab,
// and nothing grading reads changed by the view's own style.

#include "TestEnv.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "render/PageHighlight.h"
#include "render/StyleSheet.h"
#include "render/ui/WebHtmlView.h"
#include "settings/DisplaySettingsLogic.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

namespace {

// One question of each kind a page draws (choices, true/false, answer
// boxes, a case), one marked as a favourite, long texts without a space,
// and 120 more single choices so that the page runs far below the screen.
const char *kBank = R"SQL(
INSERT INTO 系统参数(参数名,参数值) VALUES ('字体','宋体'),('字号','14px'),('工具栏字号','10px'),
 ('颜色','#000000'),('背景色','#F9F9F9'),('行间距','170'),('软件标题','题库');
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES (1,'单项选择题','（单选）',1),
 (2,'多项选择题','（多选）',2),(3,'判断题','（判断）',1),(4,'填空题','（填空）',1),
 (5,'简答题','（简答）',5),(6,'计算题','（计算）',5),(7,'案例分析题','（案例）',2);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,1,'单项选择题',1,'单选题干，查找的词在这里','B','解一',0),
 (2,2,1,'多项选择题',2,'多选题干','AC','解二',1),
 (3,3,1,'判断题',3,'判断题干','A','解三',0),
 (4,4,1,'填空题',4,'填空题干____','答','解四',0),
 (5,5,1,'简答题',5,'简答题干ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ','答','解五',0),
 (6,6,1,'计算题',6,'计算题干','答','解六',0),
 (10,10,1,'单项选择题',1,'案例子一','A','甲',0),
 (11,10,1,'多项选择题',2,'案例子二','BD','乙',0);
INSERT INTO 大题(大题号,大题内容) VALUES (10,'案例材料');
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (1,1,1,'甲'),(1,1,2,'乙'),(1,1,3,'丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙丙'),
 (2,2,1,'a'),(2,2,2,'b'),(2,2,3,'c'),(2,2,4,'d'),
 (10,10,1,'a'),(10,10,2,'b'),
 (10,11,1,'a'),(10,11,2,'b'),(10,11,3,'c'),(10,11,4,'d');
WITH RECURSIVE n(x) AS (SELECT 100 UNION ALL SELECT x+1 FROM n WHERE x<219)
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏)
 SELECT x,x,1,'单项选择题',1,'更多题干'||x,'A','解',0 FROM n;
WITH RECURSIVE n(x) AS (SELECT 100 UNION ALL SELECT x+1 FROM n WHERE x<219)
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) SELECT x,x,k,'选项'||k FROM n, (SELECT 1 AS k UNION SELECT 2);
)SQL";

// The texts of the page that read worse than 4.5:1 against what is behind
// them: for every element with text of its own that is drawn, its colour
// and the background colours of it and its ancestors, composed.
const char *kUnreadable = R"JS((function () {
  function rgba(t) {
    var m = /rgba?\(([^)]*)\)/.exec(t || '');
    if (!m) return null;
    var p = m[1].split(',').map(parseFloat);
    if (p.length < 4) p.push(1);
    return p;
  }
  function over(top, under) {
    var a = top[3];
    return [0, 1, 2].map(function (i) { return top[i] * a + under[i] * (1 - a); }).concat([1]);
  }
  function lum(c) {
    var l = c.slice(0, 3).map(function (v) {
      v /= 255;
      return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
  }
  function behind(el) {
    var layers = [];
    for (var e = el; e; e = e.parentElement) {
      var c = rgba(getComputedStyle(e).backgroundColor);
      if (c && c[3] > 0) { layers.push(c); if (c[3] >= 1) break; }
    }
    var b = [255, 255, 255, 1];
    for (var i = layers.length - 1; i >= 0; --i) b = over(layers[i], b);
    return b;
  }
  var bad = [], checked = 0, all = document.body.getElementsByTagName('*');
  for (var i = 0; i < all.length; ++i) {
    var el = all[i], own = '';
    for (var n = el.firstChild; n; n = n.nextSibling)
      if (n.nodeType === 3) own += n.data;
    if (!/\S/.test(own) || el.getClientRects().length === 0) continue;
    var back = behind(el), fore = over(rgba(getComputedStyle(el).color), back);
    var a = lum(fore), b = lum(back), r = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
    ++checked;
    if (r < 4.5) bad.push(el.tagName + '#' + el.id + '.' + el.className + ' "' + own.trim().slice(0, 8) + '" ' + r.toFixed(2));
  }
  return [checked, bad.join('\n')];
})())JS";

const char *kDefault = "default", *kNight = "night";

} // namespace

class TstPageLook : public QObject {
  Q_OBJECT

  PaperState m_paper;
  std::unique_ptr<TestEnv::ProgramDirFixture> m_fixture;
  ProgramDir m_dir;
  std::unique_ptr<TDataModule1> m_dm;
  std::unique_ptr<WebHtmlView> m_view;

  QVariant eval(const QString &script) { return m_view->evaluate(script); }

  // The page of every question under `look`, written and shown at `width`.
  void showPaper(const QString &look, int width = 900) {
    LoadSystemParameters(*m_dm);
    if (look == QLatin1String(kNight))
      ApplyNightColours(DisplaySettings);
    WriteStyleSheet(m_dir);
    m_paper = PaperState{};
    m_paper.paper = {{1}, {2}, {3}, {4}, {5}, {6}, {10}};
    for (int x = 100; x < 220; ++x)
      m_paper.paper.push_back({x});
    m_paper.kind = PaperKinds::Chapter;
    BuildQuestionPage(m_paper, QStringLiteral("第一章"), 0, *m_dm, m_dir);
    m_view->resize(width, 700);
    m_view->navigate(m_dir.questionPagePath());
    QVERIFY(m_view->waitForLoad());
  }

  // Every text of the page readable, drawn as `media` draws it.
  void verifyReadable() {
    const QVariantList result = eval(QString::fromLatin1(kUnreadable)).toList();
    QCOMPARE(result.size(), 2);
    QVERIFY2(result[0].toInt() > 100, "the page's texts were not found");
    QVERIFY2(result[1].toString().isEmpty(), qPrintable(result[1].toString()));
  }

private slots:
  void initTestCase() {
    m_fixture = std::make_unique<TestEnv::ProgramDirFixture>(QStringList{QString::fromUtf8(kBank)});
    m_dir = ProgramDir(m_fixture->root());
    m_dm = std::make_unique<TDataModule1>();
    QCOMPARE(OpenBankAtStartup(*m_dm, m_fixture->root()), StartupResult::Opened);
    m_view = std::make_unique<WebHtmlView>();
    m_view->show();
  }

  void cleanupTestCase() {
    m_view.reset();
    m_dm.reset();
  }

  void cleanup() {
    QVERIFY2(m_view->scriptErrors().isEmpty(), qPrintable(m_view->scriptErrors().join(QLatin1Char('\n'))));
    m_view->clearScriptErrors();
  }

  void looks_data() {
    QTest::addColumn<QString>("look");
    QTest::newRow("default") << QString::fromLatin1(kDefault);
    QTest::newRow("night") << QString::fromLatin1(kNight);
  }

  // Every text, with the answers open, a favourite marked, a stem graded
  // wrong (as grading colours it) and found text marked.
  void everyTextReadable_data() { looks_data(); }
  void everyTextReadable() {
    QFETCH(QString, look);
    showPaper(look);
    m_view->runScript(QStringLiteral("showAllAnswer(true)"));
    m_view->setColor({QStringLiteral("T3_3"), QStringLiteral("T11_11")}, QStringLiteral("red"));
    QCOMPARE(eval(HighlightScript(QStringLiteral("查找的词"))).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("document.querySelectorAll('span.ShowAnswer[style*=\"red\"]').length")).toInt(), 1);
    verifyReadable();
    // answerAgain gives the stems the page's colour back: still readable.
    m_view->runScript(QStringLiteral("answerAgain(); showAllAnswer(true)"));
    verifyReadable();
  }

  // Printed, a night page is dark text on white paper: none of its colours
  // reaches the PDF; the default look prints as it is shown.
  void printsOnLightPaper_data() { looks_data(); }
  void printsOnLightPaper() {
    QFETCH(QString, look);
    showPaper(look);
    m_view->setColor({QStringLiteral("T3_3")}, QStringLiteral("red"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
    QVERIFY(m_view->printToPdf(pdf));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // The fill colours ("r g b rg") of every content stream.
    QList<QColor> fills;
    const QRegularExpression fill(QStringLiteral("([0-9.]+) ([0-9.]+) ([0-9.]+) rg"));
    for (qsizetype at = bytes.indexOf("stream\n"); at >= 0; at = bytes.indexOf("stream\n", at + 1)) {
      const qsizetype end = bytes.indexOf("endstream", at);
      QByteArray data = bytes.mid(at + 7, end - at - 7);
      if (!data.startsWith('\x78')) // not a zlib stream
        continue;
      const quint32 size = 64 * 1024 * 1024;
      data.prepend(char(size & 0xFF)).prepend(char(size >> 8 & 0xFF)).prepend(char(size >> 16 & 0xFF)).prepend(char(size >> 24));
      const QString text = QString::fromLatin1(qUncompress(data));
      for (auto m = fill.globalMatch(text); m.hasNext();) {
        const auto c = m.next();
        fills << QColor::fromRgbF(c.captured(1).toFloat(), c.captured(2).toFloat(), c.captured(3).toFloat());
      }
    }
    QVERIFY2(!fills.isEmpty(), "no colour found in the PDF");
    const auto near = [&fills](const QColor &c) {
      return std::any_of(fills.begin(), fills.end(), [&c](const QColor &f) {
        return std::abs(f.red() - c.red()) < 2 && std::abs(f.green() - c.green()) < 2 && std::abs(f.blue() - c.blue()) < 2;
      });
    };
    if (look == QLatin1String(kNight)) {
      QVERIFY(!near(QColor(kNightBack)));
      QVERIFY(!near(QColor(kNightText)));
    } else {
      QVERIFY(near(QColor(QStringLiteral("#F9F9F9"))));
    }
    QVERIFY2(near(QColor(QStringLiteral("#C00000"))), "the wrong stem is not printed in dark red");
  }

  // At the view widths a 1024-pixel screen gives (the main window's, the
  // tree column beside it, and a view alone), with every answer open.
  void fitsTheWidth_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("1024 window") << 1024 - 266;
    QTest::newRow("1024") << 1024;
    QTest::newRow("narrow") << 600;
  }
  void fitsTheWidth() {
    QFETCH(int, width);
    showPaper(QString::fromLatin1(kDefault), width);
    m_view->runScript(QStringLiteral("showAllAnswer(true)"));
    const QVariantList w = eval(QStringLiteral("var d = document.documentElement;"
                                               "[d.scrollWidth, d.clientWidth, document.querySelector('textarea[name=\\\"5_5\\\"]').offsetWidth]"))
                               .toList();
    QCOMPARE(w.size(), 3);
    QVERIFY2(w[0].toInt() <= w[1].toInt(), qPrintable(QStringLiteral("scrollWidth %1 > clientWidth %2")
                                                           .arg(w[0].toInt()).arg(w[1].toInt())));
    QVERIFY(w[2].toInt() > width / 2); // the answer box still spans the page
  }

  // Tab goes from the first question's options to its 显示答案, 收藏本题
  // and 错题反馈; Enter on 显示答案 opens the answer.
  void tabReachesTheToolbarLabels() {
    showPaper(QString::fromLatin1(kDefault));
    m_view->activateWindow();
    QWidget *input = m_view->engineView()->focusProxy();
    QVERIFY(input);
    input->setFocus();
    const QString focused = QStringLiteral(
        "var e = document.activeElement; !e || e === document.body ? '' :"
        " Array.prototype.indexOf.call(document.all, e) + '|' + (e.className === 'ShowAnswer' ? e.innerText : e.tagName)");
    QStringList reached;
    QString previous;
    for (int i = 0; i < 8 && reached.size() < 3; ++i) {
      QTest::keyClick(input, Qt::Key_Tab);
      QString now;
      QTRY_VERIFY((now = eval(focused).toString()) != previous);
      previous = now;
      const QString label = now.section(QLatin1Char('|'), 1);
      if (label == QStringLiteral("显示答案") || label == QStringLiteral("收藏本题") || label == QStringLiteral("错题反馈"))
        reached << label;
    }
    QCOMPARE(reached, QStringList({QStringLiteral("显示答案"), QStringLiteral("收藏本题"), QStringLiteral("错题反馈")}));
    QTest::keyClick(input, Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(input, Qt::Key_Tab, Qt::ShiftModifier);
    QTRY_COMPARE(eval(QStringLiteral("document.activeElement.id")).toString(), QStringLiteral("ShowButton1"));
    QTest::keyClick(input, Qt::Key_Return);
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('Answer1').style.display")).toString(), QString());
    QCOMPARE(eval(QStringLiteral("document.getElementById('ShowButton1').innerText")).toString(),
             QStringLiteral("隐藏答案"));
  }

  // Questions far below the screen read and colour as the page's bytes say:
  // their texts, their inputs.
  void questionsOffTheScreenReadAsBefore() {
    showPaper(QString::fromLatin1(kDefault));
    QVERIFY(eval(QStringLiteral("document.getElementById('T219_219').getBoundingClientRect().top > 4 * innerHeight"))
                .toBool());
    QVERIFY(eval(QStringLiteral("document.body.innerText.indexOf('更多题干219') >= 0")).toBool());
    QCOMPARE(eval(QStringLiteral("document.getElementById('T219_219').innerText")).toString(),
             QStringLiteral("121. 更多题干219"));
    m_view->runScript(QStringLiteral("document.getElementById('219/1').click()"));
    const auto states = m_view->markChoices({ChoiceMark{219, 2, QStringLiteral("A")}, ChoiceMark{218, 2, QStringLiteral("A")}},
                                            QStringLiteral("red"));
    QVERIFY(states);
    QCOMPARE(*states, (std::vector<bool>{false, true, false, false}));
    QCOMPARE(eval(QStringLiteral("[document.getElementById('T219_219').style.color,"
                                 " document.getElementById('T218_218').style.color].join()"))
                 .toString(),
             QStringLiteral("red,red"));
  }
};

QBRX_TEST_MAIN(TstPageLook)
#include "tst_pagelook.moc"
