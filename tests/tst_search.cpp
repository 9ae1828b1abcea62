// test-links: widgets
// The question search's windows: the dialog and its result list (the
// favourites window in search mode) with the program's dialogs scripted,
// the marking of the found text in a real page, and Ctrl+F in the real main
// window through the production dialogs and real modal exec() calls.
// ctest-timeout: 240

#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "PaperHelpers.h"
#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "collections/QuestionSearch.h"
#include "collections/ui/CollectionsCommands.h"
#include "app/ui/PageControl.h"
#include "collections/ui/SCJST.h"
#include "collections/ui/STCZ.h"
#include "collections/ui/StringGridSC.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "render/PageHighlight.h"
#include "render/ui/WebHtmlView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

// One subject with chapter 10 (sections 100) and chapter 30 (no section);
// in section 100 question 1 and the case question 40 whose other
// sub-questions 41 and 42 hold "命中".
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'第一章',1,'1'),(30,'空章',1,'1'),"
    "(100,'第一节',10,'2');\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(40,'案例材料');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) VALUES"
    "(1,1,100,'单项选择题',1,'题一','A',1),(40,40,100,'单项选择题',1,'案例首问','A',0),"
    "(41,40,100,'单项选择题',1,'第二问 命中','A',0),(42,40,100,'多项选择题',2,'第三问 命中','AB',0);\n");


} // namespace

class TstSearch : public QObject {
  Q_OBJECT

private slots:
  // The result list: caption, the buttons of search mode, the count, one
  // row per question; 显示试题 gives the selected row's question, 显示全部
  // 试题 every result in order; 取消收藏 and 全部取消 only beep and write
  // nothing.
  void resultList() {
    OpenedBank bank({kBank});
    FakeDialogs fake;
    fake.defaultAnswer = true;
    const std::vector<SearchResult> rows = {{40, 41, QStringLiteral("单项选择题")},
                                            {1, 1, QStringLiteral("单项选择题")}};
    TFrmSCJST form(bank.dm, rows);
    QCOMPARE(form.windowTitle(), QStringLiteral("试题查找"));
    QVERIFY(form.searchMode());
    QVERIFY(form.BitBtn2->isHidden() && form.BitBtn4->isHidden());
    QVERIFY(!form.BitBtn5->isHidden() && !form.BitBtn1->isHidden() && !form.BitBtn3->isHidden());
    QCOMPARE(form.LabelCount->text(), QStringLiteral("共找到 2 道试题"));
    QVERIFY(!form.LabelCount->isHidden());
    QAbstractItemModel *m = form.StringGrid1->model();
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("    题目内容"));
    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("第二问 命中")); // the first hit's text
    QCOMPARE(m->index(1, 0).data().toString() + m->index(1, 1).data().toString(), QStringLiteral("2题一"));
    QCOMPARE(form.PageControl1->count(), 1);

    form.ActCancel();
    form.ActCancelAll();
    QCOMPARE(fake.beeps, 2);
    QVERIFY(fake.shown.isEmpty());
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏=1")), 1);
    QCOMPARE(form.result(), int(QDialog::Rejected));

    form.StringGrid1->selectRow(1);
    form.ActShowQuestion();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(numbers(form.paper()), std::vector<int>{1});

    TFrmSCJST all(bank.dm, rows);
    all.StringGrid1->clearSelection();
    all.ActShowQuestion();
    QCOMPARE(fake.beeps, 3);
    all.ActCreatePaper();
    QCOMPARE(numbers(all.paper()), (std::vector<int>{40, 1}));
  }

  // A long result list reads the texts of the rows it shows, a block at a
  // time: scrolled to its end it shows the last rows' texts from the bank,
  // the texts asked for stay a few blocks, a number the bank lacks and a
  // block that fails to load show empty cells.
  void resultListReadsShownTexts() {
    OpenedBank bank({QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),"
                                    "(10,'第一章',1,'1'),(100,'第一节',10,'2');"),
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<12000) "
                                    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) "
                                    "SELECT i,i,100,'单项选择题',1,'题'||i,'A',0 FROM n;")});
    std::vector<SearchResult> rows;
    for (int i = 12000; i >= 1; --i)
      rows.push_back({i, i, QStringLiteral("单项选择题")});
    rows.push_back({99999, 99999, QStringLiteral("单项选择题")}); // gone from the bank
    TFrmSCJST form(bank.dm, rows);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.StringGrid1->scrollToBottom();
    form.grab();
    QAbstractItemModel *m = form.StringGrid1->model();
    QCOMPARE(form.LabelCount->text(), QStringLiteral("共找到 12001 道试题"));
    const QModelIndex last = form.StringGrid1->indexAt(QPoint(1, form.StringGrid1->viewport()->height() - 2));
    QCOMPARE(last.row(), 12000);
    QCOMPARE(m->index(11999, 0).data().toString() + m->index(11999, 1).data().toString(), QStringLiteral("12000题1"));
    QCOMPARE(m->index(12000, 1).data().toString(), QString());
    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("题12000"));

    // The same rows on a loader that counts, then one that fails.
    QuestionListModel model;
    std::vector<QuestionListModel::Row> listRows;
    for (const SearchResult &r : rows)
      listRows.push_back({r.xiaoTiHao, QString(), r.type, r.textOf});
    int asked = 0;
    model.setRows(listRows, [&](const std::vector<int> &numbers) {
      asked += int(numbers.size());
      return QuestionSearch(bank.dm).texts(numbers);
    });
    QTableView view;
    view.setModel(&model);
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.scrollToBottom();
    view.grab();
    QCOMPARE(model.index(12000 - 1, 1).data().toString(), QStringLiteral("题1"));
    QVERIFY2(asked <= 800, qPrintable(QString::number(asked)));

    model.setRows(listRows, [](const std::vector<int> &) -> std::vector<QString> {
      throw EDatabaseError(QStringLiteral("磁盘 I/O 错误"), 10);
    });
    view.scrollToBottom();
    view.grab();
    QCOMPARE(model.index(12000 - 1, 1).data().toString(), QString());
    QCOMPARE(model.index(12000 - 1, 2).data().toString(), QStringLiteral("单项选择题"));
  }

  // The dialog through the command: every scope node ticked with its number;
  // the refusals keep it open; a found case question becomes a kind-3 paper
  // "试题查找" by its head with the text to mark; a result list closed
  // without a paper closes the dialog too, and Cancel of either leaves the
  // paper's kind as it was.
  void dialogFlow() {
    FeatureHarness commands({kBank});
    FakeDialogs &fake = *commands.fake();
    commands.registerCommands(registerCollectionsCommands);
    const auto search = [&commands] { commands.command(QStringLiteral("ActSTCZ"))->trigger(); };
    commands.paper.kind = PaperKinds::Chapter;

    QStringList items;
    bool searchIsDefault = false;
    fake.modalHandler = [&](QDialog &d) {
      auto &form = dynamic_cast<TFrmSTCZ &>(d);
      for (int i = 0; i < form.CheckListBox1->count(); ++i) {
        QListWidgetItem *item = form.CheckListBox1->item(i);
        items << item->text() + QLatin1Char('/') + item->data(Qt::UserRole).toString() +
                     (item->checkState() == Qt::Checked ? QStringLiteral("/ticked") : QString());
      }
      searchIsDefault = form.BitBtn1->isDefault();
      return int(QDialog::Rejected);
    };
    search();
    items.sort();
    QVERIFY(searchIsDefault);
    QCOMPARE(items, (QStringList{QStringLiteral("空章/30/ticked"), QStringLiteral("第一章/10/ticked")}));
    QCOMPARE(commands.paper.kind, PaperKinds::Chapter);
    QVERIFY(commands.presenter.shown.isEmpty());

    // Refused twice, then found: the result list chooses every result.
    QStringList lists;
    fake.modalHandler = [&](QDialog &d) {
      if (auto *list = qobject_cast<TFrmSCJST *>(&d)) {
        lists << list->LabelCount->text();
        list->ActCreatePaper();
        return list->result();
      }
      auto &form = dynamic_cast<TFrmSTCZ &>(d);
      form.Search(); // no text
      form.LabeledEdit1->setText(QStringLiteral("命中"));
      form.CheckListBox1->item(0)->setCheckState(Qt::Unchecked);
      form.CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
      form.Search(); // nothing ticked
      if (form.result() == QDialog::Accepted)
        return -1;
      form.CheckListBox1->item(0)->setCheckState(Qt::Checked);
      form.CheckListBox1->item(1)->setCheckState(Qt::Checked);
      form.Search();
      return form.result();
    };
    search();
    QCOMPARE(fake.texts(), (QStringList{SearchText::NoText, SearchText::NoScope}));
    QCOMPARE(fake.shown[1].icon, Dialogs::Icon::Warning);
    QCOMPARE(lists, QStringList{QStringLiteral("共找到 1 道试题")});
    QCOMPARE(commands.presenter.shown.size(), 1);
    const PaperRequest &r = commands.presenter.shown[0];
    QCOMPARE(numbers(r.paper), std::vector<int>{40});
    QCOMPARE(r.kind, PaperKinds::Search);
    QCOMPARE(r.title, QStringLiteral("试题查找"));
    QCOMPARE(r.highlight, QStringLiteral("命中"));

    // The result list closed: no paper, the dialog closes with OK.
    int searchResult = -1;
    fake.modalHandler = [&](QDialog &d) {
      if (qobject_cast<TFrmSCJST *>(&d))
        return int(QDialog::Rejected);
      auto &form = dynamic_cast<TFrmSTCZ &>(d);
      form.LabeledEdit1->setText(QStringLiteral("%"));
      form.Search();
      searchResult = form.result();
      return searchResult;
    };
    search();
    QCOMPARE(searchResult, int(QDialog::Accepted));
    QCOMPARE(commands.presenter.shown.size(), 1);
    QCOMPARE(commands.paper.kind, PaperKinds::Chapter);
  }

  // The marks in a real page: matches inside the stems only, either case
  // of ASCII letters, quotes and backslashes as typed, the page's own
  // stem colouring untouched; a second run marks nothing more.
  void marksInPage() {
    QWidget host;
    WebHtmlView view(&host);
    view.navigate(QStringLiteral("about:blank"));
    view.writeln(QStringLiteral(
        "<html><body><span id=\"T1_1\" class=\"TestContent\">1. O'Brien 与 o'brien <b>O'BRIEN</b></span>"
        "<span id=\"T2_2\">2. 路径 C:\\temp\\x</span><span id=\"Title\">O'Brien</span>"
        "<span id=\"ShowButton1\">O'Brien</span></body></html>"));
    const auto marks = [&](const QString &text) { return view.evaluate(HighlightScript(text)).toInt(); };
    QCOMPARE(marks(QStringLiteral("o'brien")), 3);
    QCOMPARE(marks(QStringLiteral("o'brien")), 0);
    QCOMPARE(view.evaluate(QStringLiteral("Array.from(document.querySelectorAll('span.SearchHit'))"
                                          ".map(function (e) { return e.parentNode.closest('[id]').id; }).join()"))
                 .toString(),
             QStringLiteral("T1_1,T1_1,T1_1"));
    QCOMPARE(view.evaluate(QStringLiteral("document.getElementById('T1_1').innerText")).toString(),
             QStringLiteral("1. O'Brien 与 o'brien O'BRIEN"));

    view.navigate(QStringLiteral("about:blank"));
    view.writeln(QStringLiteral("<html><body><span id=\"T2_2\">2. 路径 C:\\temp\\x 与 C:_temp</span></body></html>"));
    QCOMPARE(marks(QStringLiteral("C:\\t%p")), 1);
    QCOMPARE(view.evaluate(QStringLiteral("document.querySelector('span.SearchHit').textContent")).toString(),
             QStringLiteral("C:\\temp"));
    QVERIFY(view.scriptErrors().isEmpty());
  }

  // Ctrl+F in the real window through the production dialogs: "巡检" →
  // 开始查找 → 显示试题 puts the one question found on display as
  // "试题查找" (kind 3) with the text marked in its stem.
  void ctrlFInMainWindow() {
    MainWindowFixture f;
    QVERIFY(f.showActive());
    TFrmMain &w = *f.window;
    WidgetDialogs real;
    setDialogs(&real);

    QString count;
    ModalDriver driver;
    driver.onModal<TFrmSTCZ>([&](TFrmSTCZ &form) {
      form.LabeledEdit1->setText(QStringLiteral("巡检"));
      QMetaObject::invokeMethod(form.BitBtn1, &QAbstractButton::click, Qt::QueuedConnection);
    });
    driver.onModal<TFrmSCJST>([&](TFrmSCJST &list) {
      count = list.LabelCount->text();
      list.StringGrid1->selectRow(0);
      QMetaObject::invokeMethod(list.BitBtn5, &QAbstractButton::click, Qt::QueuedConnection);
    });
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    setDialogs(&f.dialogs);
    const QStringList boxes = driver.boxTexts();

    QCOMPARE(boxes, QStringList());
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    QCOMPARE(count, QStringLiteral("共找到 1 道试题"));
    QCOMPARE(f.paperState().kind, PaperKinds::Search);
    QCOMPARE(f.paperState().title, QStringLiteral("试题查找"));
    QCOMPARE(numbers(f.paperState().paper), std::vector<int>{86});
    const QString hits = QStringLiteral("Array.from(document.querySelectorAll('span.SearchHit')).map(function (e) {"
                                        " return e.parentNode.id + ':' + e.textContent; }).join()");
    QTRY_COMPARE(w.WebBrowser1->evaluate(hits).toString(), QStringLiteral("T86_86:巡检"));

    // New settings rebuild and reload the page: it is marked again.
    w.WebBrowser1->runScript(QStringLiteral("document.body.setAttribute('data-old', '1')"));
    emit w.events().settingsChanged();
    QTRY_COMPARE(w.WebBrowser1->evaluate(QStringLiteral("document.body.hasAttribute('data-old')")).toBool(), false);
    QTRY_COMPARE(w.WebBrowser1->evaluate(hits).toString(), QStringLiteral("T86_86:巡检"));
    QVERIFY(w.WebBrowser1->scriptErrors().isEmpty());
  }
};

QBRX_TEST_MAIN(TstSearch)
#include "tst_search.moc"
