// test-links: logic
// The wrong-question redo's lists, papers and deletes on a real bank.

#include "PaperHelpers.h"
#include "BankFixture.h"
#include "TestEnv.h"
#include "review/WrongRedo.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QtTest>

namespace {

// Chapters 100 and 200 are both called "第一节 概述". Chapter 100: the newest
// test (3) has no wrong answer, the older one (1) has. Chapter 200: test 2.
// Mock exam 10 has two wrong sub-questions of case 20, one wrong question
// whose 大题号 is 0 and one whose head is gone; mock exam 11 has none.
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),"
    "(100,'第一节 概述',10,'2'),(200,'第一节 概述',10,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A'),(6,6,100,'单项选择题',1,'题六','A'),(7,7,200,'判断题',2,'题七','A'),"
    "(20,20,100,'案例分析题',9,'案例二十','A'),(21,20,100,'单项选择题',9,'二十之一','A'),"
    "(22,20,100,'单项选择题',9,'二十之二','A'),(40,0,100,'单项选择题',1,'无头','A'),"
    "(50,49,100,'单项选择题',1,'头已删','A');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型,所属章节) VALUES"
    "(1,'第一节 概述',2,0,'2026-01-01 00:00:00',1,100),(2,'第一节 概述',1,0,'2026-01-02 00:00:00',1,200),"
    "(3,'第一节 概述',2,2,'2026-01-03 00:00:00',1,100),(10,'模拟考场',5,0,'2026-01-04 00:00:00',2,0),"
    "(11,'模拟考场',1,1,'2026-01-05 00:00:00',2,0);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,5,0),(1,6,0),(2,7,0),(3,5,-1),(3,6,-1),"
    "(10,21,0),(10,22,0),(10,40,0),(10,50,0),(10,5,0),(11,5,-1);\n");

std::vector<qint64> ids(const std::vector<RedoTestRow> &rows) {
  std::vector<qint64> out;
  for (const RedoTestRow &r : rows)
    out.push_back(r.id);
  return out;
}

// Two subjects, each with 第一章 / 第一节 概述, and 第二章 / 第一节 概述 in
// the first: three chapter tests of one name; and 第三节 alone.
const QString kSameNames = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'会计',0,'0'),(2,'税法',0,'0'),"
    "(10,'第一章',1,'1'),(11,'第二章',1,'1'),(20,'第一章',2,'1'),"
    "(100,'第一节 概述',10,'2'),(110,'第一节 概述',11,'2'),(200,'第一节 概述',20,'2'),(300,'第三节',20,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型,所属章节) VALUES"
    "(1,'第一节 概述',1,0,'2026-01-01 00:00:00',1,100),(2,'第一节 概述',1,0,'2026-01-01 00:00:00',1,110),"
    "(3,'第一节 概述',1,0,'2026-01-01 00:00:00',1,200),(4,'第三节',1,0,'2026-01-01 00:00:00',1,300);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,5,0),(2,5,0),(3,5,0),(4,5,0);\n");

} // namespace

class TstWrongRedo : public QObject {
  Q_OBJECT

private slots:
  // Chapters are told apart by number, not by name; a chapter whose newest
  // test has no wrong answer shows its older one, the first row included.
  void lists() {
    OpenedBank bank({kBank});
    WrongRedo r(bank.dm);
    r.load();
    QCOMPARE(ids(r.rows(RedoPage::Chapters)), (std::vector<qint64>{1, 2}));
    QCOMPARE(r.rows(RedoPage::Chapters)[0].wrong, 2);
    QCOMPARE(ids(r.rows(RedoPage::MockExams)), std::vector<qint64>{10});
    QCOMPARE(r.rows(RedoPage::MockExams)[0].wrong, 5);
    QVERIFY(r.rows(RedoPage::Favourites).empty());
    QVERIFY(r.rows(RedoPage::Reviews).empty());
    const std::vector<RedoQuestionRow> tab = r.wrongQuestions(1);
    QCOMPARE(tab.size(), std::size_t(2));
    QCOMPARE(tab[0].xiaoTiHao, 5);
    QCOMPARE(tab[1].content, QStringLiteral("题六"));
  }

  // A case comes back once by its head; 0 and vanished heads never reach a
  // paper; listing every question keeps a case twice.
  void papers() {
    OpenedBank bank({kBank});
    WrongRedo r(bank.dm);
    QCOMPARE(numbers(r.testPaper(10)), (std::vector<int>{5, 20}));
    QCOMPARE(numbers(r.questionPaper(21)), std::vector<int>{20});
    QVERIFY(r.questionPaper(40).empty());
    QVERIFY(r.questionPaper(50).empty());
    QVERIFY(r.questionPaper(999).empty());
    QCOMPARE(numbers(r.questionsPaper({21, 22, 40, 5})), (std::vector<int>{20, 20, 5}));
    QVERIFY(r.testPaper(11).empty());
  }

  // "删除" on a test tab takes the question off that test only; a whole test
  // goes with its questions, all or nothing.
  void deletes() {
    OpenedBank bank({kBank});
    WrongRedo r(bank.dm);
    r.load();
    r.deleteQuestion(1, 5);
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 测试编号=1")), 1);
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 小题号=5")), 3);
    QCOMPARE(r.rows(RedoPage::Chapters)[0].wrong, 1);

    // The fault comes from a TEMP trigger of the connection: the program
    // runs no trigger of a bank file.
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "CREATE TEMP TRIGGER refuse BEFORE DELETE ON 测试结果 WHEN old.编号=10 BEGIN SELECT RAISE(ABORT,'disk I/O error'); END;"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, r.deleteTest(RedoPage::MockExams, 10));
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 测试编号=10")), 5);
    QCOMPARE(ids(r.rows(RedoPage::MockExams)), std::vector<qint64>{10});
    QVERIFY(!bank.dm.ADOConnection1.InTransaction());

    r.deleteTest(RedoPage::Chapters, 2);
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 编号=2")), 0);
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 测试编号=2")), 0);
    QCOMPARE(ids(r.rows(RedoPage::Chapters)), std::vector<qint64>{1});
  }

  // Chapter tests of one name are led by as much of their place in the tree
  // as tells them apart; a unique name, and names the tree cannot tell
  // apart (kBank: two sections of one chapter), stay as they are.
  void captionsTellChaptersApart() {
    OpenedBank bank({kSameNames});
    WrongRedo r(bank.dm);
    r.load();
    QStringList captions;
    for (const RedoTestRow &row : r.rows(RedoPage::Chapters))
      captions << row.caption;
    QCOMPARE(captions, (QStringList{QStringLiteral("会计 · 第一章 · 第一节 概述"), QStringLiteral("会计 · 第二章 · 第一节 概述"),
                                    QStringLiteral("税法 · 第一章 · 第一节 概述"), QStringLiteral("第三节")}));
    QCOMPARE(r.rows(RedoPage::Chapters)[0].name, QStringLiteral("第一节 概述"));

    OpenedBank same({kBank});
    WrongRedo s(same.dm);
    s.load();
    for (const RedoTestRow &row : s.rows(RedoPage::Chapters))
      QCOMPARE(row.caption, QStringLiteral("第一节 概述"));
  }
};

QBRX_TEST_MAIN(TstWrongRedo)
#include "tst_wrongredo.moc"
