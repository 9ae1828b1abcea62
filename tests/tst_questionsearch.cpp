// The question search without widgets, on a small real bank: its refusals,
// the scope by node number, LIKE patterns typed by the learner, quotes and
// backslashes found as typed, a case question found once; and the pattern
// the page marks the found text with.
// test-links: logic

#include "BankFixture.h"
#include "TestEnv.h"
#include "collections/QuestionSearch.h"
#include "render/PageHighlight.h"

#include <QtTest>
#include <algorithm>

namespace {

// Two subjects, each with a chapter named 第一章 (10 and 20), and a chapter
// 30 without sections. Section 100 under 10 holds questions 1 (a quote),
// 2 (a backslash) and the case question 40 (41, 42 its other
// sub-questions); section 200 under 20 holds 4. Question 5 hangs on the
// chapter itself, 6 on a node two levels below it: neither is searched.
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(2,'科目乙',0,'0'),"
    "(10,'第一章',1,'1'),(20,'第一章',2,'1'),(30,'空章',1,'1'),(100,'第一节',10,'2'),(200,'第一节',20,'2'),"
    "(110,'深层',100,'3');\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(40,'案例材料');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) VALUES"
    "(1,1,100,'单项选择题',1,'O''Brien 的问题','A',0),"
    "(2,2,100,'单项选择题',1,'路径 C:\\temp 的问题','A',0),"
    "(4,4,200,'单项选择题',1,'乙科目的问题','A',0),"
    "(5,5,10,'单项选择题',1,'挂在章上的问题','A',0),"
    "(6,6,110,'单项选择题',1,'深层的问题','A',0),"
    "(40,40,100,'单项选择题',1,'案例首问','A',0),"
    "(41,40,100,'单项选择题',1,'案例第二问 命中','A',0),"
    "(42,40,100,'多项选择题',2,'案例第三问 命中','AB',0);\n");

std::vector<int> numbers(const SearchOutcome &o) {
  std::vector<int> out;
  for (const SearchResult &r : o.rows)
    out.push_back(r.xiaoTiHao);
  return out;
}

std::vector<int> sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)

class TstQuestionSearch : public QObject {
  Q_OBJECT

private slots:
  // The nodes one level below the top, each with its own number.
  void scopeNodes() {
    OpenedBank bank({kBank});
    std::vector<SearchScopeNode> nodes = QuestionSearch(bank.dm).scopeNodes();
    std::sort(nodes.begin(), nodes.end(), [](auto &a, auto &b) { return a.id < b.id; });
    QCOMPARE(nodes.size(), std::size_t(3));
    QCOMPARE(nodes[0].id, 10);
    QCOMPARE(nodes[1].id, 20);
    QCOMPARE(nodes[1].name, QStringLiteral("第一章"));
    QCOMPARE(nodes[2].name, QStringLiteral("空章"));
    // Two chapters of one name are told apart by their subjects.
    QStringList labels, paths;
    for (const SearchScopeNode &n : nodes) {
      labels << n.label(nodes);
      paths << n.path();
    }
    QCOMPARE(labels, (QStringList{QStringLiteral("科目甲：第一章"), QStringLiteral("科目乙：第一章"), QStringLiteral("空章")}));
    QCOMPARE(paths, (QStringList{QStringLiteral("科目甲 › 第一章"), QStringLiteral("科目乙 › 第一章"),
                                 QStringLiteral("科目甲 › 空章")}));
  }

  void refusals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<qint32>>("scope");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("warning");
    QTest::newRow("no text") << QString() << std::vector<qint32>{10} << SearchText::NoText << false;
    QTest::newRow("nothing ticked") << QStringLiteral("问题") << std::vector<qint32>{} << SearchText::NoScope << true;
    QTest::newRow("node gone") << QStringLiteral("问题") << std::vector<qint32>{9999} << SearchText::NoSubject << true;
    QTest::newRow("no sections") << QStringLiteral("问题") << std::vector<qint32>{30} << SearchText::NoChapter << true;
    QTest::newRow("not found") << QStringLiteral("没有的词") << std::vector<qint32>{10, 20} << SearchText::NotFound << true;
  }
  void refusals() {
    QFETCH(QString, text);
    QFETCH(std::vector<qint32>, scope);
    QFETCH(QString, message);
    QFETCH(bool, warning);
    OpenedBank bank({kBank});
    const SearchOutcome o = QuestionSearch(bank.dm).run(text, scope);
    QVERIFY(!o.found());
    QVERIFY(o.rows.empty());
    QCOMPARE(o.message, message);
    QCOMPARE(o.icon, warning ? Dialogs::Icon::Warning : Dialogs::Icon::Information);
  }

  // What a typed text finds under the ticked nodes: quotes and backslashes
  // as typed, "%" and "_" as patterns, ASCII letters in either case; only
  // the sections right under a ticked node, and a chapter of the same name
  // elsewhere only when it is ticked itself.
  void finds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<qint32>>("scope");
    QTest::addColumn<std::vector<int>>("found");
    QTest::newRow("quote") << QStringLiteral("O'Brien") << std::vector<qint32>{10} << std::vector<int>{1};
    QTest::newRow("quote, other case") << QStringLiteral("o'BRIEN") << std::vector<qint32>{10} << std::vector<int>{1};
    QTest::newRow("backslash") << QStringLiteral("C:\\temp") << std::vector<qint32>{10} << std::vector<int>{2};
    QTest::newRow("backslash alone") << QStringLiteral("\\") << std::vector<qint32>{10, 20} << std::vector<int>{2};
    QTest::newRow("percent: all in scope") << QStringLiteral("%") << std::vector<qint32>{10} << std::vector<int>{1, 2, 40};
    QTest::newRow("underscore") << QStringLiteral("_'Brien") << std::vector<qint32>{10} << std::vector<int>{1};
    QTest::newRow("inner percent") << QStringLiteral("O'B%的") << std::vector<qint32>{10} << std::vector<int>{1};
    QTest::newRow("first chapter of 甲") << QStringLiteral("问题") << std::vector<qint32>{10} << std::vector<int>{1, 2};
    QTest::newRow("first chapter of 乙") << QStringLiteral("问题") << std::vector<qint32>{20} << std::vector<int>{4};
    QTest::newRow("both") << QStringLiteral("问题") << std::vector<qint32>{10, 20} << std::vector<int>{1, 2, 4};
    QTest::newRow("sql in the text") << QStringLiteral("x') OR 1=1 --") << std::vector<qint32>{10, 20} << std::vector<int>{};
  }
  void finds() {
    QFETCH(QString, text);
    QFETCH(std::vector<qint32>, scope);
    QFETCH(std::vector<int>, found);
    OpenedBank bank({kBank});
    const SearchOutcome o = QuestionSearch(bank.dm).run(text, scope);
    QCOMPARE(sorted(numbers(o)), found);
    QCOMPARE(o.found(), !found.empty());
  }

  // Hits in two sub-questions of a case question that are not its head
  // bring the case once, by its head's number, at its first hit's place
  // and with that hit's text: a paper of it is never empty. The texts are
  // read by number, in the order asked, empty for a number not in the bank.
  void caseQuestionOnce() {
    OpenedBank bank({kBank});
    QuestionSearch search(bank.dm);
    const SearchOutcome o = search.run(QStringLiteral("命中"), {10});
    QCOMPARE(numbers(o), std::vector<int>{40});
    QCOMPARE(o.rows[0].textOf, 41); // 单 sorts before 多
    QCOMPARE(o.rows[0].type, QStringLiteral("单项选择题"));
    QCOMPARE(search.texts({41, 999, 40}),
             (std::vector<QString>{QStringLiteral("案例第二问 命中"), QString(), QStringLiteral("案例首问")}));
  }

  void likeFragmentRegExp_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("source");
    QTest::newRow("letters either case") << QStringLiteral("O'Brien") << QStringLiteral("[oO]'[bB][rR][iI][eE][nN]");
    QTest::newRow("wildcards inside") << QStringLiteral("a%命_") << QStringLiteral("[aA][\\s\\S]*?命[\\s\\S]");
    QTest::newRow("ends dropped") << QStringLiteral("%%命中%") << QStringLiteral("命中");
    QTest::newRow("syntax escaped") << QStringLiteral("(1+1)/2.[x]{y}|^$*?")
                                    << QStringLiteral("\\(1\\+1\\)\\/2\\.\\[[xX]\\]\\{[yY]\\}\\|\\^\\$\\*\\?");
    QTest::newRow("backslash") << QStringLiteral("C:\\t") << QStringLiteral("[cC]:\\\\[tT]");
    QTest::newRow("hyphen as is") << QStringLiteral("1-2") << QStringLiteral("1-2");
    QTest::newRow("only wildcards") << QStringLiteral("%_%") << QString();
    QTest::newRow("percent") << QStringLiteral("%") << QString();
  }
  void likeFragmentRegExp() {
    QFETCH(QString, text);
    QFETCH(QString, source);
    QCOMPARE(LikeFragmentRegExp(text), source);
    QCOMPARE(HighlightScript(text).isEmpty(), source.isEmpty());
  }
};

QBRX_TEST_MAIN(TstQuestionSearch)
#include "tst_questionsearch.moc"
