// test-links: widgets
// The favourites window: what it lists, its removals and papers, through
// the program's own dialogs and a real modal exec().
// ctest-timeout: 240

#include "FakeDialogs.h"
#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "PaperHelpers.h"
#include "TestEnv.h"
#include "collections/Favourites.h"
#include "collections/ui/CollectionsCommands.h"
#include "app/ui/PageControl.h"
#include "collections/ui/SCJST.h"
#include "collections/ui/StringGridSC.h"
#include "common/ErrorHandler.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "store/DM.h"
#include "store/FavouritesRepository.h"
#include "store/Startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QListView>
#include <QTableView>
#include "app/PaperState.h"

#include <QtTest>

namespace {

// Chapter 100: questions 5 and case 20 (its head, with the shared stem) ;
// chapter 200: question 7 alone; chapter 300: questions 8 and 9.
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),"
    "(100,'第一节',10,'2'),(200,'第二节',10,'2'),(300,'第三节',10,'2');\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(20,'案例材料二十');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A',1),(20,20,100,'案例分析题',9,'二十之一','A',1),"
    "(7,7,200,'判断题',2,'题七','A',1),(8,8,300,'单项选择题',1,'题八','A',1),(9,9,300,'单项选择题',1,'题九','A',1),"
    "(10,10,300,'单项选择题',1,'未收藏','A',0);\n");

struct Bank : OpenedBank {
  using OpenedBank::OpenedBank;
  int marked() { return count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏=1")); }
};


QStringList summary(TFrmSCJST &f) {
  QStringList out;
  auto *m = f.StringGrid1->model();
  for (int r = 0; r < m->rowCount(); ++r)
    out << m->index(r, 0).data().toString() + QLatin1Char(' ') + m->index(r, 1).data().toString() +
               QLatin1Char(' ') + m->index(r, 2).data().toString();
  return out;
}

void click(QPushButton *b) { QMetaObject::invokeMethod(b, &QPushButton::click, Qt::QueuedConnection); }

} // namespace

class TstFavourites : public QObject {
  Q_OBJECT

private slots:
  // A case favourite is listed under its shared stem, chapters in order.
  void listing() {
    Bank bank({kBank});
    const std::vector<FavouriteChapter> c = ReadFavourites(bank.dm);
    QCOMPARE(c.size(), std::size_t(3));
    QCOMPARE(c[0].name, QStringLiteral("第一节"));
    QCOMPARE(c[0].rows.size(), std::size_t(2));
    QCOMPARE(c[0].rows[1].content, QStringLiteral("案例材料二十"));
    QCOMPARE(c[2].rows.size(), std::size_t(2));
  }

  // Through the command: the last favourite of 第二节 removed from its page
  // takes page and summary row with it (序号 stays 1 … n, later pages keep
  // matching); then 显示全部试题 on the summary gives every favourite in
  // chapter order as a kind-4 paper.
  void removeAndPractise() {
    FeatureHarness h({kBank}, FeatureHarness::RealDialogs);
    h.registerCommands(registerCollectionsCommands);
    const RecordingPresenter &presenter = h.presenter;
    QStringList before, after, tabs;
    ModalDriver d;
    d.onModal<TFrmSCJST>([&](TFrmSCJST &f) {
      before = summary(f);
      f.PageControl1->setCurrentIndex(2);
      click(f.BitBtn2);
    });
    d.until<TFrmSCJST>([&](TFrmSCJST &f) {
      if (f.summaryRows() >= before.size())
        return false; // the answered box may still be closing
      after = summary(f);
      for (int i = 0; i < f.PageControl1->count(); ++i)
        tabs << f.PageControl1->tabText(i);
      f.PageControl1->setCurrentIndex(0);
      click(f.BitBtn1);
      return true;
    });
    h.command(QStringLiteral("ActSCJST"))->trigger();
    QVERIFY2(d.done(), qPrintable(d.failure()));
    QCOMPARE(before, (QStringList{QStringLiteral("1 第一节 2"), QStringLiteral("2 第二节 1"), QStringLiteral("3 第三节 2")}));
    QCOMPARE(d.boxTexts(), QStringList{QStringLiteral("确定取消 题七 的收藏吗？取消后不能恢复！")});
    QCOMPARE(after, (QStringList{QStringLiteral("1 第一节 2"), QStringLiteral("2 第三节 2")}));
    QCOMPARE(tabs, (QStringList{QStringLiteral("全部试题"), QStringLiteral("第一节"), QStringLiteral("第三节")}));
    QCOMPARE(presenter.shown.size(), 1);
    QCOMPARE(numbers(presenter.shown[0].paper), (std::vector<int>{5, 20, 8, 9}));
    QCOMPARE(presenter.shown[0].kind, PaperKinds::Favourites);
    QVERIFY(presenter.shown[0].title.startsWith(QStringLiteral("收藏试题(")));
    QCOMPARE(h.count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏=1")), 4);
  }

  // A chapter's removal is one transaction: a refused third row leaves
  // every mark and the page; 全部取消 when the marks are gone already
  // changes nothing and keeps the window; the last favourite removed
  // closes it with 11 and no paper.
  void removalsAreSafe() {
    Bank bank({kBank});
    FakeDialogs fake;
    fake.defaultAnswer = true;
    // The fault comes from a TEMP trigger of the connection: the program
    // runs no trigger of a bank file.
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON 小题 WHEN old.小题号=20 BEGIN SELECT RAISE(ABORT,'disk I/O error'); END;"));
    TFrmSCJST form(bank.dm, ReadFavourites(bank.dm));
    form.StringGrid1->selectRow(0);
    const bool ran = RunCommand([&] { form.ActCancel(); });
    QVERIFY(!ran);
    QCOMPARE(bank.marked(), 5);
    QCOMPARE(form.summaryRows(), 3);
    QCOMPARE(form.PageControl1->count(), 4);

    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral("DROP TRIGGER refuse; UPDATE 小题 SET 是否收藏=0;"));
    fake.shown.clear();
    form.ActCancelAll();
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("确定取消全部收藏吗？取消后不能恢复！")});
    QVERIFY(form.result() != FavouritesText::kNoneLeftResult);

    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号=7;"));
    TFrmSCJST one(bank.dm, ReadFavourites(bank.dm));
    one.PageControl1->setCurrentIndex(1);
    fake.shown.clear();
    one.ActCancel();
    QCOMPARE(fake.texts().last(), QStringLiteral("已经没有收藏的试题，程序将关闭收藏夹窗口！"));
    QCOMPARE(one.result(), FavouritesText::kNoneLeftResult);
    QVERIFY(one.paper().empty());
    QCOMPARE(bank.marked(), 0);
  }

  // The pages are picked from the list beside them; a page's list is made
  // when it is first shown, from its own chapter's rows, also after an
  // earlier chapter went away.
  void pagesFromTheList() {
    Bank bank({kBank});
    FakeDialogs fake;
    fake.defaultAnswer = true;
    TFrmSCJST form(bank.dm, ReadFavourites(bank.dm));
    QListView *list = form.PageControl1->pageList();
    QCOMPARE(list->model()->rowCount(), 4);
    QVERIFY(!form.PageControl1->widget(3));
    form.StringGrid1->selectRow(0);
    form.ActCancel(); // 第一节, from the summary
    QCOMPARE(form.PageControl1->tabText(1), QStringLiteral("第二节"));
    list->setCurrentIndex(list->model()->index(2, 0));
    QCOMPARE(form.PageControl1->currentIndex(), 2);
    auto *grid = qobject_cast<TStringGridSCJ *>(form.PageControl1->currentWidget());
    QVERIFY(grid);
    QCOMPARE(grid->dataRowCount(), 2);
    QCOMPARE(grid->xiaoTiHao(0), 8);
    QCOMPARE(grid->content(1), QStringLiteral("题九"));
  }

  void emptyFavourites() {
    FeatureHarness h({QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0');")});
    h.registerCommands(registerCollectionsCommands);
    h.command(QStringLiteral("ActSCJST"))->trigger();
    const FakeDialogs &fake = *h.fake();
    const RecordingPresenter &presenter = h.presenter;
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("收藏夹是空的，没有可以显示的试题信息！")});
    QVERIFY(fake.modalForms.isEmpty());
    QVERIFY(presenter.shown.isEmpty());
  }
};

QBRX_TEST_MAIN(TstFavourites)
#include "tst_favourites.moc"
