// test-links: widgets
// Favourites and the question filter in the real main window on the demo
// bank, through the program's own dialogs and real modal exec()s: three
// favourites marked on a chapter paper (one a case question), practised
// from 收藏夹 and stored as a kind-4 test, one removed, the rest cleared by
// 全部取消 while the paper's links still say 取消收藏; then the paper
// filtered down to one question type.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "PaperHelpers.h"
#include "TestEnv.h"
#include "app/ui/PageControl.h"
#include "collections/ui/SCJST.h"
#include "collections/ui/STGL.h"
#include "collections/ui/StringGridSC.h"
#include "exam/ui/ShowTestResult.h"
#include "mainwin/StartPaper.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "app/ui/WidgetDialogs.h"
#include "app/PaperState.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

int count(TDataModule1 &dm, const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
  q.SQL.Add(sql);
  q.Open();
  return q.Fields(0).AsInteger();
}

int marked(TDataModule1 &dm) { return count(dm, QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏<>0")); }

void click(QAbstractButton *b) { QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection); }

} // namespace

class TstCollectionsJourney : public QObject {
  Q_OBJECT

  TFrmMain *m_w = nullptr;
  QString favouriteLink(int i) {
    return QStringLiteral("document.querySelectorAll('a[mode=\"sc\"]')[%1]").arg(i);
  }
  QString linkText(int i) {
    return m_w->WebBrowser1->evaluate(favouriteLink(i) + QStringLiteral(".firstElementChild.innerHTML")).toString();
  }
  int linkCount() {
    return m_w->WebBrowser1->evaluate(QStringLiteral("document.querySelectorAll('a[mode=\"sc\"]').length")).toInt();
  }
  // The page's favourite links in page order, by the number each passes.
  std::vector<int> linkNumbers() {
    const QVariantList calls = m_w->WebBrowser1
                                   ->evaluate(QStringLiteral("Array.from(document.querySelectorAll('a[mode=\"sc\"]'))"
                                                             ".map(a => a.getAttribute('onclick'))"))
                                   .toList();
    std::vector<int> out;
    for (const QVariant &c : calls)
      out.push_back(c.toString().section(QLatin1Char('\''), 1, 1).toInt());
    return out;
  }
  void clickLink(int i) { m_w->WebBrowser1->runScript(favouriteLink(i) + QStringLiteral(".firstElementChild.click()")); }

private slots:
  void favouritesThenFilter() {
    MainWindowFixture f;
    QVERIFY(f.showActive());
    TFrmMain &w = *f.window;
    m_w = &w;
    TDataModule1 &dm = *w.dataModule();
    QVERIFY(w.WebBrowser1->waitForLoad());
    WidgetDialogs real;
    setDialogs(&real);
    dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=0;"));

    // Chapter 212: stand-alone 94 … 100 and the case 101 (102, 103).
    const CategoryTreeView &tree = *w.TreeView1;
    const TTreeNodeInfo *node = nullptr;
    for (int i = 0; i < tree.nodeCount() && !node; ++i)
      if (const TTreeNodeInfo *info = tree.info(tree.itemAt(i)); info && info->ID == 212)
        node = info;
    QVERIFY(node);
    QVERIFY(w.showPaper(ChapterPaperRequest(dm, *node)));
    QVERIFY(w.WebBrowser1->waitForLoad());
    const std::vector<int> links = linkNumbers();
    QCOMPARE(links.back(), 101);
    const std::vector<int> chosen{links[0], links[4], links.back()};

    // Three favourites marked from the page.
    for (int i : {0, 4, int(links.size()) - 1})
      clickLink(i);
    QTRY_COMPARE(marked(dm), 3);
    for (int x : chosen)
      QCOMPARE(count(dm, QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(x)), 1);

    // 收藏夹 → 显示全部试题 on the summary page.
    QStringList tabs;
    {
      ModalDriver d;
      d.onModal<TFrmSCJST>([&](TFrmSCJST &form) {
        for (int i = 0; i < form.PageControl1->count(); ++i)
          tabs << form.PageControl1->tabText(i);
        form.PageControl1->setCurrentIndex(0);
        click(form.BitBtn1);
      });
      w.command(QStringLiteral("ActSCJST"))->trigger();
      QVERIFY2(d.done(), qPrintable(d.failure()));
    }
    QCOMPARE(tabs, (QStringList{QStringLiteral("全部试题"), node->Name}));
    QCOMPARE(f.paperState().kind, PaperKinds::Favourites);
    QVERIFY(f.paperState().title.startsWith(QStringLiteral("收藏试题(")));
    QCOMPARE(numbers(f.paperState().paper), chosen);
    QVERIFY(w.WebBrowser1->waitForLoad());
    QCOMPARE(linkCount(), 3);
    for (int i = 0; i < 3; ++i)
      QCOMPARE(linkText(i), QStringLiteral("取消收藏"));

    // Graded and stored when the report closes: a test of kind 4.
    const int favouriteTests = count(dm, QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试类型=4"));
    {
      ModalDriver d;
      d.onModal<TFrmShowTestResult>([&](TFrmShowTestResult &report) { click(report.closeButton()); });
      w.command(QStringLiteral("ActSummitPaper"))->trigger();
      QVERIFY2(d.done(), qPrintable(d.failure()));
      QCOMPARE(d.recorded().size(), 2); // whether to keep it, and that it was kept
    }
    QCOMPARE(count(dm, QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试类型=4")), favouriteTests + 1);

    // One removed from its chapter's page, then the window closed.
    {
      ModalDriver d;
      d.onModal<TFrmSCJST>([&](TFrmSCJST &form) {
        form.PageControl1->setCurrentIndex(1);
        form.chapterGrid(1)->selectRow(0);
        click(form.BitBtn2);
      });
      d.until<TFrmSCJST>([&](TFrmSCJST &form) {
        if (form.chapterGrid(1)->dataRowCount() != 2)
          return false;
        click(form.BitBtn3);
        return true;
      });
      w.command(QStringLiteral("ActSCJST"))->trigger();
      QVERIFY2(d.done(), qPrintable(d.failure()));
    }
    QCOMPARE(marked(dm), 2);
    QCOMPARE(count(dm, QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(chosen[0])), 0);
    QCOMPARE(f.paperState().kind, PaperKinds::Favourites);
    QCOMPARE(numbers(f.paperState().paper), chosen);

    // 全部取消: asked, cleared, told, closed.
    {
      ModalDriver d;
      d.onModal<TFrmSCJST>([&](TFrmSCJST &form) { click(form.BitBtn4); });
      w.command(QStringLiteral("ActSCJST"))->trigger();
      QVERIFY2(d.done(), qPrintable(d.failure()));
      QCOMPARE(d.boxTexts(), (QStringList{QStringLiteral("确定取消全部收藏吗？取消后不能恢复！"),
                                     QStringLiteral("已经没有收藏的试题，程序将关闭收藏夹窗口！")}));
    }
    QCOMPARE(marked(dm), 0);

    // The page on display still says 取消收藏: a click sets what the link
    // shows then (收藏本题, not marked), and the next one marks it.
    QCOMPARE(linkText(1), QStringLiteral("取消收藏"));
    QSignalSpy written(&w.events(), &AppEvents::favouriteToggled);
    clickLink(1);
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(linkText(1), QStringLiteral("收藏本题"));
    QCOMPARE(marked(dm), 0);
    clickLink(1);
    QTRY_COMPARE(written.count(), 2);
    QCOMPARE(count(dm, QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(chosen[1])), 1);

    // Answers shown, then 试题过滤 down to 判断题: the page rebuilt as
    // 试题过滤, still a favourites paper, its answers hidden again.
    QAction *showAll = w.command(QStringLiteral("ActShowAllAnswer"));
    showAll->trigger();
    QCOMPARE(TActionList::Tag(showAll), 1);
    {
      ModalDriver d;
      d.onModal<TFrmSTGL>([&](TFrmSTGL &form) {
        for (int i = 0; i < form.CheckListBox1->count(); ++i) {
          QListWidgetItem *item = form.CheckListBox1->item(i);
          item->setCheckState(item->text() == QStringLiteral("判断题") ? Qt::Checked : Qt::Unchecked);
        }
        click(form.BitBtn1);
      });
      w.command(QStringLiteral("ActSTGL"))->trigger();
      QVERIFY2(d.done(), qPrintable(d.failure()));
      QCOMPARE(d.boxTexts(), QStringList{QStringLiteral("试题过滤会清除当前所选择的答案，是否继续？(Y/N)")});
    }
    setDialogs(nullptr);
    QCOMPARE(f.paperState().kind, PaperKinds::Favourites);
    QCOMPARE(f.paperState().title, QStringLiteral("试题过滤"));
    QCOMPARE(numbers(f.paperState().paper), std::vector<int>{chosen[1]});
    QCOMPARE(TActionList::Tag(showAll), 0);
    QVERIFY(w.WebBrowser1->waitForLoad());
    QCOMPARE(w.WebBrowser1->evaluate(QStringLiteral("document.title")).toString(), QStringLiteral("试题过滤"));
    QCOMPARE(linkNumbers(), std::vector<int>{chosen[1]});
    QCOMPARE(w.WebBrowser1->evaluate(QStringLiteral("document.getElementById('Answer1').style.display")).toString(),
             QStringLiteral("none"));
    QVERIFY2(w.WebBrowser1->scriptErrors().isEmpty(), qPrintable(w.WebBrowser1->scriptErrors().join(QLatin1Char('\n'))));
  }
};

QBRX_TEST_MAIN(TstCollectionsJourney)
#include "tst_collectionsjourney.moc"
