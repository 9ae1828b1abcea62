// test-links: widgets
// What features reach the window through: the program's events, the
// presenter (an empty paper refused, the paper reloaded with new settings
// where the learner was), and a bank replaced under the open window.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "app/AppEvents.h"
#include "app/BankService.h"
#include "app/PaperState.h"
#include "render/MyExternal.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/FavouritesRepository.h"
#include "store/SystemParameters.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kOtherBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'新科目',0,'0'),(10,'新章',1,'1'),"
    "(100,'新节',10,'2');\n"
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1);\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释) VALUES"
    "(7,7,100,'单项选择题',1,'新题七','A','解七');\n"
    "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(7,7,1,'甲'),(7,7,2,'乙');\n"
    "INSERT INTO 系统参数(参数名,参数值) VALUES('TreeViewIndex','0'),('软件标题','新题库');\n");

QByteArray fileBytes(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<int> currentPaperNumbers(const PaperState &paper) {
  std::vector<int> out;
  for (const TXiaoTi &x : paper.paper)
    out.push_back(x.XiaoTiHao);
  return out;
}

QString pageText(TFrmMain &w) {
  if (!w.WebBrowser1->waitForLoad())
    return QStringLiteral("<load timed out>");
  return w.WebBrowser1->evaluate(QStringLiteral("document.body ? document.body.innerText : ''")).toString();
}

// A step that puts the bank of `source` in place the way restore and update
// do: a complete file renamed over the bank.
BankReplaceStep renameOver(const QString &source) {
  return [source](const QString &bank) {
    const QString partial = bank + QStringLiteral(".new");
    QFile::remove(partial);
    QVERIFY(QFile::copy(source, partial));
    QVERIFY(std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(bank).constData()) == 0);
  };
}

} // namespace

class TstWindowSeams : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindowFixture> m_fixture;
  PaperState &paperState() const { return m_fixture->paperState(); }
  TFrmMain &w() { return *m_fixture->window; }

private slots:
  void init() {
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(!w().startupFailed());
    QVERIFY(m_fixture->showActive());
    QVERIFY(w().WebBrowser1->waitForLoad());
    m_fixture->dialogs.shown.clear();
  }
  void cleanup() { m_fixture.reset(); }

  // A paper that holds nothing (a draw that found no question) is refused:
  // the paper on display, its kind, title and page stay, and grading keeps
  // working on it.
  void showPaperRefusesAnEmptyPaper() {
    const auto paper = currentPaperNumbers(paperState());
    const QString title = paperState().title;
    const QByteArray page = fileBytes(w().programDir().questionPagePath());
    QSignalSpy shown(&w().events(), &AppEvents::paperShown);
    PaperRequest empty;
    empty.kind = PaperKinds::MockExam;
    empty.title = QStringLiteral("模拟考场");
    QVERIFY(!w().context().presenter.showPaper(empty));
    QCOMPARE(m_fixture->dialogs.texts(), QStringList{QStringLiteral("没有试题！")});
    QCOMPARE(currentPaperNumbers(paperState()), paper);
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, title);
    QCOMPARE(fileBytes(w().programDir().questionPagePath()), page);
    QCOMPARE(shown.count(), 0);
  }

  // New settings reach the paper on display: the same questions, the new
  // look, where the learner had scrolled to; kind and title stay.
  void settingsChangedReloadsThePaperInPlace() {
    TFrmMain &win = w();
    const auto paper = currentPaperNumbers(paperState());
    const QString title = paperState().title;
    win.WebBrowser1->runScript(QStringLiteral("window.scrollTo(0, 300)"));
    QTRY_VERIFY(win.WebBrowser1->evaluate(QStringLiteral("window.scrollY")).toInt() >= 300);
    const int scrolled = win.WebBrowser1->evaluate(QStringLiteral("window.scrollY")).toInt();
    DisplaySettings.FontColor = QStringLiteral("#123456");
    QSignalSpy shown(&win.events(), &AppEvents::paperShown);
    emit win.events().settingsChanged();
    QVERIFY(fileBytes(win.programDir().questionPagePath()).contains("var beforeColor=\"#123456\";"));
    QTRY_VERIFY(win.WebBrowser1->evaluate(QStringLiteral("typeof beforeColor == 'string' ? beforeColor : ''"))
                    .toString() == QStringLiteral("#123456"));
    QTRY_COMPARE(win.WebBrowser1->evaluate(QStringLiteral("window.scrollY")).toInt(), scrolled);
    QCOMPARE(currentPaperNumbers(paperState()), paper);
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, title);
    QCOMPARE(shown.count(), 0);
  }

  // A bank replaced under the open window: the title, the tree and the first
  // section's paper come from the new bank, the paper is shown once, and the
  // page's favourite link works on the new bank.
  void bankReplacedUnderTheWindow() {
    TFrmMain &win = w();
    TestEnv::ProgramDirFixture other({kOtherBank});
    QSignalSpy shown(&win.events(), &AppEvents::paperShown);
    QSignalSpy replaced(&win.events(), &AppEvents::bankReplaced);
    ReplaceBank(win.context(), renameOver(other.path(QStringLiteral("QBRX.db"))));
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(SoftTitle, QStringLiteral("新题库"));
    QCOMPARE(win.windowTitle(), QStringLiteral("新题库"));
    QCOMPARE(win.categoryTree().count(), 3);
    QCOMPARE(win.TreeViewIndex, 2);
    QCOMPARE(currentPaperNumbers(paperState()), std::vector<int>{7});
    QTRY_VERIFY(pageText(win).contains(QStringLiteral("新题七")));
    QVERIFY(!QFile::exists(win.programDir().bankPath() + QStringLiteral(".replacing")));

    auto *bridge = qobject_cast<TMyExternal *>(win.WebBrowser1->external());
    QVERIFY(bridge);
    bridge->DoSeaarchData(QStringLiteral("7"), QString());
    QTRY_COMPARE(FavouritesRepository(*win.dataModule()).isMarked(7), std::optional<bool>(true));
    QVERIFY(m_fixture->dialogs.shown.isEmpty());
  }

  // A replacement that fails leaves the old bank open and as it was: a step
  // that throws after spoiling the file, and a step that leaves a file that
  // is no bank.
  void failedReplacementKeepsTheOldBank_data() {
    QTest::addColumn<bool>("throws");
    QTest::newRow("step throws") << true;
    QTest::newRow("new file does not open") << false;
  }
  void failedReplacementKeepsTheOldBank() {
    QFETCH(bool, throws);
    TFrmMain &win = w();
    const QString bank = win.programDir().bankPath();
    const QByteArray before = fileBytes(bank);
    const QString title = SoftTitle;
    const auto paper = currentPaperNumbers(paperState());
    QSignalSpy replaced(&win.events(), &AppEvents::bankReplaced);
    bool thrown = false;
    try {
      ReplaceBank(win.context(), [throws](const QString &path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("not a bank at all");
        f.close();
        if (throws)
          throw AppError(QStringLiteral("下载中断"));
      });
    } catch (const AppError &e) {
      thrown = true;
      if (throws)
        QCOMPARE(e.message(), QStringLiteral("下载中断"));
    }
    QVERIFY(thrown);
    QCOMPARE(replaced.count(), 0);
    QCOMPARE(fileBytes(bank), before);
    QVERIFY(!QFile::exists(bank + QStringLiteral(".replacing")));
    QCOMPARE(SoftTitle, title);
    QCOMPARE(currentPaperNumbers(paperState()), paper);
    // The connection works on the old bank, favourites included.
    auto *bridge = qobject_cast<TMyExternal *>(win.WebBrowser1->external());
    bridge->DoSeaarchData(QString::number(paper.front()), QString());
    QTRY_COMPARE(FavouritesRepository(*win.dataModule()).isMarked(paper.front()), std::optional<bool>(true));
  }
};

QBRX_TEST_MAIN(TstWindowSeams)
#include "tst_windowseams.moc"
