// test-links: logic
// The writer behind the page's favourite links, on a real bank: only the
// numbers the page on display carries, the state the last call of each
// question asks for (a flip after what the earlier calls left), one
// transaction per turn of the event loop, and an engine error told once.
// ctest-timeout: 120

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "TestEnv.h"
#include "collections/FavouritesWriter.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "store/DM.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <sqlite3.h>

namespace {

// Stand-alone 1 (单选) and 2 (简答, no options), case 10 of 10 and 11, 20
// not on the paper, 30 without a type (the page gives it no link).
const QString kBank = QStringLiteral(
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1),(2,'简答题','',1),"
    "(3,'案例分析题','',1);\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) VALUES"
    "(1,1,1,'单项选择题',1,'一','A',0),(2,2,1,'简答题',2,'二','略',0),"
    "(10,10,1,'案例分析题',3,'十','略',0),(11,10,1,'案例分析题',3,'十一','略',0),"
    "(20,20,1,'单项选择题',1,'二十','A',0),(30,30,1,'',1,'三十','A',0);\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(10,'案例');\n"
    "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(1,1,1,'甲'),(1,1,2,'乙'),(20,20,1,'甲');\n");

const std::vector<int> kNumbers{1, 2, 10, 11, 20, 30};

int commitCounter(void *counter) {
  ++*static_cast<int *>(counter);
  return 0;
}

struct Bank : OpenedBank {
  int commits = 0;
  PaperState paper; // the paper on display, fresh for each bank
  Bank() : OpenedBank({kBank}) {
    paper.paper = {{1}, {2}, {10}, {11}, {30}};
    paper.kind = PaperKinds::Chapter;
    BuildQuestionPage(paper, QStringLiteral("第一章"), 0, dm, ProgramDir(dir.root()));
    sqlite3_commit_hook(dm.ADOConnection1.handle(), commitCounter, &commits);
  }
  ~Bank() { sqlite3_commit_hook(dm.ADOConnection1.handle(), nullptr, nullptr); }
  // "1=0,2=1 …" for the numbers listed.
  QString marks() {
    QStringList out;
    for (int x : kNumbers)
      out << QStringLiteral("%1=%2").arg(x).arg(count(QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(x)));
    return out.join(QLatin1Char(','));
  }
  void setMarks(const QString &marked) {
    dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=0;"));
    for (const QString &x : marked.split(QLatin1Char(' '), Qt::SkipEmptyParts))
      dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号=%1;").arg(x.toInt()));
  }
};

// "1:1 1:0 2:~": number, then 1 set, 0 clear, ~ flip.
void send(FavouritesWriter &writer, const QString &calls) {
  for (const QString &call : calls.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QStringList p = call.split(QLatin1Char(':'));
    const FavouriteMark mark = p[1] == u"1" ? FavouriteMark::Set : p[1] == u"0" ? FavouriteMark::Clear : FavouriteMark::Flip;
    writer.request(p[0].toInt(), mark);
  }
}

QList<int> numbersOf(const QSignalSpy &spy) {
  QList<int> out;
  for (const QList<QVariant> &args : spy)
    out << args.at(0).toInt();
  return out;
}

} // namespace

class TstFavouritesWriter : public QObject {
  Q_OBJECT

private slots:
  void lastCallWins_data() {
    QTest::addColumn<QString>("marked"); // marked before the calls
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QList<int>>("toggled"); // favouriteToggled, in number order
    const QString none = QStringLiteral("1=0,2=0,10=0,11=0,20=0,30=0");
    QTest::newRow("set") << "" << "1:1" << "1=1,2=0,10=0,11=0,20=0,30=0" << QList<int>{1};
    QTest::newRow("clear") << "1" << "1:0" << none << QList<int>{1};
    QTest::newRow("clear what is clear (still told)") << "" << "1:0" << none << QList<int>{1};
    QTest::newRow("flip from clear") << "" << "2:~" << "1=0,2=1,10=0,11=0,20=0,30=0" << QList<int>{2};
    QTest::newRow("flip from set") << "2" << "2:~" << none << QList<int>{2};
    QTest::newRow("set, then flip") << "" << "1:1 1:~" << none << QList<int>{1};
    QTest::newRow("clear, then flip") << "" << "1:0 1:~" << "1=1,2=0,10=0,11=0,20=0,30=0"
                                                      << QList<int>{1};
    QTest::newRow("flip, then set") << "1" << "1:~ 1:1" << "1=1,2=0,10=0,11=0,20=0,30=0" << QList<int>{1};
    QTest::newRow("two flips: nothing to write") << "1" << "1:~ 1:~" << "1=1,2=0,10=0,11=0,20=0,30=0" << QList<int>{};
    QTest::newRow("three flips") << "" << "1:~ 1:~ 1:~" << "1=1,2=0,10=0,11=0,20=0,30=0" << QList<int>{1};
    QTest::newRow("set, flip, flip") << "" << "1:1 1:~ 1:~" << "1=1,2=0,10=0,11=0,20=0,30=0" << QList<int>{1};
    QTest::newRow("the last of many") << "" << "1:1 1:0 1:1 1:~ 1:1 1:0" << none << QList<int>{1};
    QTest::newRow("questions apart") << "10" << "10:~ 1:1 2:~ 1:~ 2:1 10:1"
                                     << "1=0,2=1,10=1,11=0,20=0,30=0" << QList<int>{1, 2, 10};
    // 11 is a case's second sub-question, 20 not on the paper, 30 has no
    // link; none of them is taken, whatever the page passes.
    QTest::newRow("numbers without a link") << "11" << "11:0 20:1 30:1 20:~ 99:1 -1:1 0:~ 10:1"
                                            << "1=0,2=0,10=1,11=1,20=0,30=0" << QList<int>{10};
    QTest::newRow("only numbers without a link") << "" << "20:1 11:~" << none << QList<int>{};
  }

  // A run of calls in one turn of the event loop: nothing is written until
  // the loop turns, then everything in one transaction.
  void lastCallWins() {
    QFETCH(QString, marked);
    QFETCH(QString, calls);
    QFETCH(QString, after);
    QFETCH(QList<int>, toggled);
    Bank bank;
    QCOMPARE(bank.paper.linkNumbers, (std::vector<int>{1, 2, 10}));
    bank.setMarks(marked);
    const QString before = bank.marks();
    FakeDialogs dialogs;
    FavouritesWriter writer(bank.dm, bank.paper);
    QSignalSpy spy(&writer, &FavouritesWriter::favouriteToggled);
    bank.commits = 0;

    send(writer, calls);
    QCOMPARE(bank.marks(), before);
    QCOMPARE(bank.commits, 0);
    QTRY_VERIFY(!writer.hasPending());
    QCOMPARE(bank.marks(), after);
    QCOMPARE(numbersOf(spy), toggled);
    QCOMPARE(bank.commits, toggled.isEmpty() ? 0 : 1);
    QVERIFY(dialogs.shown.isEmpty());
  }

  // Calls in later turns: a flip applies to what the bank holds by then.
  // Calls that keep coming turn after turn are written together, at most
  // one transaction every kMinWriteGapMs.
  void laterTurnsBuildOnEarlierOnes() {
    Bank bank;
    FakeDialogs dialogs;
    FavouritesWriter writer(bank.dm, bank.paper);
    send(writer, QStringLiteral("1:1 2:~"));
    QTRY_VERIFY(!writer.hasPending());
    send(writer, QStringLiteral("1:~ 2:~ 2:~ 2:~"));
    QTRY_VERIFY(!writer.hasPending());
    QCOMPARE(bank.marks(), QStringLiteral("1=0,2=0,10=0,11=0,20=0,30=0"));
    QCOMPARE(bank.commits, 2);

    bank.commits = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (int turn = 0; turn < 301; ++turn) {
      send(writer, QStringLiteral("1:~"));
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    QTRY_VERIFY(!writer.hasPending());
    const qint64 ms = elapsed.elapsed();
    QCOMPARE(bank.marks(), QStringLiteral("1=1,2=0,10=0,11=0,20=0,30=0"));
    QVERIFY2(bank.commits <= ms / FavouritesWriter::kMinWriteGapMs + 1,
             qPrintable(QStringLiteral("%1 transactions in %2 ms").arg(bank.commits).arg(ms)));
  }

  // A paper shown between the call and the write: the old paper's numbers
  // are no longer taken.
  void paperChangedBeforeTheWrite() {
    Bank bank;
    FakeDialogs dialogs;
    FavouritesWriter writer(bank.dm, bank.paper);
    send(writer, QStringLiteral("1:1 2:1"));
    bank.paper.paper = {{2}};
    BuildQuestionPage(bank.paper, QStringLiteral("第二章"), 0, bank.dm, ProgramDir(bank.dir.root()));
    QTRY_VERIFY(!writer.hasPending());
    QCOMPARE(bank.marks(), QStringLiteral("1=0,2=1,10=0,11=0,20=0,30=0"));
  }

  // A transaction already open on the connection (another writer inside a
  // nested event loop): the marks wait for it instead of failing.
  void waitsForAnOpenTransaction() {
    Bank bank;
    FakeDialogs dialogs;
    FavouritesWriter writer(bank.dm, bank.paper);
    bank.dm.ADOConnection1.BeginTrans();
    send(writer, QStringLiteral("1:1"));
    QTest::qWait(120);
    QVERIFY(writer.hasPending());
    bank.dm.ADOConnection1.CommitTrans();
    QTRY_VERIFY(!writer.hasPending());
    QCOMPARE(bank.marks(), QStringLiteral("1=1,2=0,10=0,11=0,20=0,30=0"));
    QVERIFY(dialogs.shown.isEmpty());
  }

  // An engine error: everything of that turn rolled back, the learner told
  // once; the page's calls that come while the message is up (its event
  // loop delivers them) are dropped, not written and not told again.
  void engineErrorToldOnce() {
    Bank bank;
    bank.setMarks(QStringLiteral("2"));
    struct CallingDialogs : FakeDialogs {
      FavouritesWriter *writer = nullptr;
      void message(const QString &text, const QString &caption, Icon icon) override {
        FakeDialogs::message(text, caption, icon);
        send(*writer, QStringLiteral("1:1 2:0"));
      }
    } dialogs;
    FavouritesWriter writer(bank.dm, bank.paper);
    dialogs.writer = &writer;
    QSignalSpy spy(&writer, &FavouritesWriter::favouriteToggled);
    // The first statement passes, the second fails: nothing of the turn may stay.
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "CREATE TEMP TRIGGER 坏触发 BEFORE UPDATE ON 小题 WHEN NEW.小题号=2 BEGIN SELECT RAISE(ABORT,'坏'); END;"));
    send(writer, QStringLiteral("1:1 2:0"));
    QTRY_VERIFY(!writer.hasPending());
    QTRY_COMPARE(dialogs.texts(), QStringList{FavouritesWriterText::Failed});
    QCOMPARE(dialogs.shown[0].caption, FavouritesWriterText::FailedCaption);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Information);
    QCOMPARE(bank.marks(), QStringLiteral("1=0,2=1,10=0,11=0,20=0,30=0"));
    QCOMPARE(spy.count(), 0);
  }
};

QBRX_TEST_MAIN(TstFavouritesWriter)
#include "tst_favouriteswriter.moc"
