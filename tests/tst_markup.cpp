// test-links: logic
// Bank texts that would swallow the rest of a question page: the checker's
// cases, the bank tool refusing them, and the page showing such a text as
// plain text while every other text stays markup.

#include "TestEnv.h"
#include "common/MarkupCheck.h"
#include "exam/TestReport.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "store/BankBuilder.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QFile>
#include <QStringDecoder>
#include <QtTest>

class TstMarkup : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

private slots:
  void check_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset"); // -1: fine
    // Markup the vendor writes on purpose.
    QTest::newRow("plain text") << "没有标记的题干" << -1;
    QTest::newRow("bold and breaks") << "项目的<b>首要</b>目标<br/>是？<br>" << -1;
    QTest::newRow("less-than as text") << "若 a < b 且 b<3，则 a<=2" << -1;
    QTest::newRow("lone < at the end") << "a <" << -1;
    QTest::newRow("own table") << "<table border=\"1\"><tr><th>甲</th><td>1<td>2</tr></table>" << -1;
    QTest::newRow("picture with > in a quoted value") << "<img src=\"im/a.svg\" alt=\"x>y\"/>" << -1;
    QTest::newRow("closed comment") << "甲<!-- 备注 -->乙" << -1;
    QTest::newRow("empty comment") << "甲<!-->乙" << -1;
    QTest::newRow("closed textarea") << "<TEXTAREA rows=2>写<b>这里</b></textarea >" << -1;
    QTest::newRow("closed script") << "<script>var a = '</b>';</script>" << -1;
    QTest::newRow("unclosed paragraph") << "<p>第一段<p>第二段" << -1;
    QTest::newRow("own div and span") << "<div><span>x</span></div>" << -1;
    // Markup that would swallow or break the rest of the page.
    QTest::newRow("unclosed textarea") << "题干<textarea>" << 2;
    QTest::newRow("unclosed TEXTAREA, other end tag") << "<TEXTAREA>x</textareax>" << 0;
    QTest::newRow("unclosed script") << "a<script>var x;" << 1;
    QTest::newRow("unclosed style") << "<style>b{}" << 0;
    QTest::newRow("unclosed title") << "<title>x" << 0;
    QTest::newRow("unclosed xmp") << "<xmp>x" << 0;
    QTest::newRow("unclosed iframe") << "<iframe src=x>" << 0;
    QTest::newRow("unclosed noscript") << "<noscript>" << 0;
    QTest::newRow("plaintext") << "<plaintext>x</plaintext>" << 0;
    QTest::newRow("unclosed comment") << "甲<!-- 乙" << 1;
    QTest::newRow("stray </table>") << "甲</table>乙" << 1;
    QTest::newRow("stray </div>") << "<div>x</div></div>" << 12;
    QTest::newRow("stray </td>") << "x</td>" << 1;
    QTest::newRow("stray </span>") << "x</SPAN>" << 1;
    QTest::newRow("stray </form>") << "</form>" << 0;
    QTest::newRow("</body>") << "x</body>" << 1;
    QTest::newRow("</html> after its own <html>") << "<html>x</html>" << 7;
    QTest::newRow("tag cut off at the end") << "甲<b" << 1;
    QTest::newRow("end tag cut off") << "甲</b" << 1;
    QTest::newRow("unclosed quote") << "<a href=\"x>乙</a>" << 0;
    QTest::newRow("unclosed select") << "<select><option>a</option>" << 0;
    QTest::newRow("unclosed <!") << "<!DOCTYPE" << 0;
  }
  void check() {
    QFETCH(QString, text);
    QFETCH(int, offset);
    const MarkupCheck::Problem p = MarkupCheck::check(text);
    QCOMPARE(p.offset, offset);
    QCOMPARE(p.message.isEmpty(), offset < 0);
    QCOMPARE(MarkupCheck::pageText(text), offset < 0 ? text : text.toHtmlEscaped());
  }

  // A question whose stem would swallow the page is shown as text; the
  // questions after it are still on the page, with their markup.
  void thePageShowsABadTextAsText() {
    TestEnv::ProgramDirFixture fixture({QString::fromUtf8(R"SQL(
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,1,'单项选择题',1,'第一题<textarea>','A','解释</div>',0),
 (2,2,1,'单项选择题',1,'第二题<b>粗</b>','B','好',0);
INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES
 (1,1,1,'<!-- 甲'),(1,1,2,'乙'),(2,2,1,'<i>丙</i>'),(2,2,2,'丁');
)SQL")});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, fixture.root()), StartupResult::Opened);
    paperState().paper = {TXiaoTi{1}, TXiaoTi{2}};
    paperState().kind = 1;
    const ProgramDir dir(fixture.root());
    BuildQuestionPage(paperState(), QStringLiteral("标记"), 0, dm, dir);
    QFile f(dir.questionPagePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringDecoder gbk("GBK");
    const QString page = gbk(f.readAll());
    QVERIFY(page.contains(QStringLiteral("1. 第一题&lt;textarea&gt;</span>")));
    QVERIFY(page.contains(QStringLiteral("解释&lt;/div&gt;")));
    QVERIFY(page.contains(QStringLiteral("\">&lt;!-- 甲</label>")));
    QVERIFY(page.contains(QStringLiteral("2. 第二题<b>粗</b></span>")));
    QVERIFY(page.contains(QStringLiteral("\"><i>丙</i></label>")));
    QVERIFY(!page.contains(QStringLiteral("<textarea>")));
    QCOMPARE(paperState().questions.size(), std::size_t(2));
  }

  // The section name (the page's title), the answers and the question type
  // follow the same rule as the stems: a text that would swallow the page is
  // shown as text, an ordinary one stays as it is; inside an attribute
  // value every text has its quotes, ampersands and "<" escaped. The bank
  // tool's check names those fields too.
  void titleAnswerAndTypeFollowTheRule() {
    TestEnv::ProgramDirFixture fixture({QString::fromUtf8(R"SQL(
INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES (5,'第一节<textarea rows="2">未闭合',0,'2');
INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES (1,'单项选择题','（单选）',1),(2,'判断<textarea>题','（判断）',1);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES
 (1,1,5,'单项选择题',1,'第一题','B"><textarea>','',0),
 (2,2,5,'判断<textarea>题',2,'第二题','A','',0),
 (3,3,5,'单项选择题',1,'第三题','A&amp;<b>B</b>','',0),
 (10,10,5,'单项选择题',3,'案例子一','C"','',0),
 (11,10,5,'单项选择题',3,'案例子二','<title>x','',0);
INSERT INTO 大题(大题号,大题内容) VALUES (10,'案例材料');
)SQL")});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, fixture.root()), StartupResult::Opened);
    const QString problems = CheckBankMarkup(dm.ADOConnection1).join(QLatin1Char('\n'));
    for (const char *field : {"表“题目类别”第 5 行（编号=5）字段“名称”", "表“小题”第 1 行（小题号=1）字段“答案”",
                              "表“小题”第 2 行（小题号=2）字段“题目类型”", "表“小题”第 11 行（小题号=11）字段“答案”"})
      QVERIFY2(problems.contains(QString::fromUtf8(field)), qPrintable(problems));

    paperState().paper = {TXiaoTi{1}, TXiaoTi{2}, TXiaoTi{3}, TXiaoTi{10}};
    paperState().kind = 1;
    const ProgramDir dir(fixture.root());
    const QString title = QStringLiteral("第一节<textarea rows=\"2\">未闭合");
    BuildQuestionPage(paperState(), title, 0, dm, dir);
    QFile f(dir.questionPagePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringDecoder gbk("GBK");
    const QString page = gbk(f.readAll());
    const QString shownTitle = QStringLiteral("第一节&lt;textarea rows=&quot;2&quot;&gt;未闭合");
    for (const QString &expected : {
             QStringLiteral("<title>") + shownTitle + QStringLiteral("</title>"),
             QStringLiteral("class=\"TestCaption\">\r\n") + shownTitle + QStringLiteral("\r\n"),
             QStringLiteral("【答案解析】B&quot;&gt;&lt;textarea&gt;<br>"),
             QStringLiteral("lx=\"单项选择题\" value=\"B&quot;>&lt;textarea>\" />"),
             QStringLiteral("判断&lt;textarea&gt;题（判断）"),
             QStringLiteral("lx=\"判断&lt;textarea>题\" value=\"A\" />"),
             QStringLiteral("【答案解析】A&amp;<b>B</b><br>"), // ordinary: as stored
             QStringLiteral("value=\"A&amp;amp;&lt;b>B&lt;/b>\" />"),
             QStringLiteral("【答案解析】4.C\"；5.&lt;title&gt;x。<br>"),
             QStringLiteral("value=\"4.C&quot;；5.&lt;title>x。\" />"),
         })
      QVERIFY2(page.contains(expected), qPrintable(expected));
    QVERIFY(!page.contains(QStringLiteral("<textarea")));
    QCOMPARE(page.count(QStringLiteral("<title>")), 1);
    QCOMPARE(page.count(QStringLiteral("type=\"hidden\"")), 4);

    // The result report names the question types too.
    TTest result;
    result.TiMuType = QStringLiteral("判断<textarea>题");
    const QString report = BuildTestReport({result}).lines.join(QLatin1Char('\n'));
    QVERIFY2(report.contains(QStringLiteral(">判断&lt;textarea&gt;题</td>")), qPrintable(report));
  }
};

QBRX_TEST_MAIN(TstMarkup)
#include "tst_markup.moc"
