// test-links: widgets
// ctest-timeout: 300
// What a learner meets in the real window beyond the core loop: links that
// cannot be opened say so (with the address to copy), a web page that does
// not load is replaced by a Chinese page with the way back to the paper, a
// restore takes effect at once so later work survives a restart, and the
// smaller signs: the menu highlight while a dialog is open, the busy cursor
// of the print preview, whole question types in the lists, chapters of the
// same name told apart in the search scope.

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "app/ActionList.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "app/ui/PageControl.h"
#include "app/ui/WidgetDialogs.h"
#include "collections/ui/SCJST.h"
#include "collections/ui/STCZ.h"
#include "collections/ui/StringGridSC.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/ui/DBBackup.h"
#include "mainwin/VendorInfo.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PictureButton.h"
#include "mainwin/ui/TitleStrip.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

namespace {

QVariant scalar(TDataModule1 &dm, const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("check"));
  q.SQL.Add(sql);
  q.Open();
  return q.IsEmpty() ? QVariant() : q.Fields(0).Value();
}

void exec(TDataModule1 &dm, const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("write"));
  q.SQL.Add(sql);
  q.ExecSQL();
}

std::optional<Qt::CursorShape> overrideShape() {
  const QCursor *c = QGuiApplication::overrideCursor();
  return c ? std::optional<Qt::CursorShape>(c->shape()) : std::nullopt;
}

} // namespace

class TstLearnerWalk : public QObject {
  Q_OBJECT

private slots:
  // With a desktop opener that fails (no browser, no program for the
  // file), each link says in Chinese that it could not open the address,
  // shows the address selectable and copies it with one button: through
  // the production dialogs and a real modal box.
  void unopenableLinksSayWhere_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target"); // "file:" + a path in the program directory, or an address
    QTest::newRow("使用帮助 (F1)") << "ActHelp" << "file:css/help/help.html";
    // (the vendor's own addresses are not set in a test build: those
    // commands say so instead, tested in tst_mainwindow)
    QTest::newRow("职位查询 (the bank's address)") << "ActZWCX" << "https://zhiwei.example.invalid/";
  }
  void unopenableLinksSayWhere() {
    QFETCH(QString, command);
    QFETCH(QString, target);
    QTemporaryDir bin;
    const QString opener = bin.filePath(QStringLiteral("xdg-open"));
    {
      QFile f(opener);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("#!/bin/sh\nexit 3\n"); // xdg-open's "no program for this"
    }
    QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });

    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QVERIFY(w.WebBrowser1->waitForLoad());
    if (target.startsWith(QLatin1String("file:")))
      target = w.programDir().resolve(target.mid(5));
    WidgetDialogs real;
    setDialogs(&real);
    const auto back = qScopeGuard([&] { setDialogs(&fixture.dialogs); });

    QString text;
    bool selectable = false, copied = false, stayedOpen = false;
    ModalDriver driver;
    driver.onModal<QMessageBox>([&](QMessageBox &box) {
      text = box.text();
      selectable = box.textInteractionFlags() & Qt::TextSelectableByMouse;
      QGuiApplication::clipboard()->clear();
      if (auto *copy = box.findChild<QPushButton *>(QStringLiteral("CopyAddress"))) {
        copy->click();
        copied = QGuiApplication::clipboard()->text() == target;
        stayedOpen = box.isVisible();
      }
      QMetaObject::invokeMethod(box.button(QMessageBox::Ok), &QAbstractButton::click, Qt::QueuedConnection);
    });
    w.command(command)->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const int boxes = driver.recorded().size();

    QCOMPARE(boxes, 1);
    QVERIFY2(text.startsWith(QStringLiteral("无法打开")), qPrintable(text));
    QVERIFY2(text.endsWith(QLatin1Char('\n') + target), qPrintable(text));
    QVERIFY(selectable);
    QVERIFY(copied);
    QVERIFY(stayedOpen);
  }

  // 招考信息 at an address where nothing listens: our Chinese page with the
  // reason and the address, none of the engine's English; its link goes
  // back to the paper and brings the tree back.
  void unreachablePageIsOurs() {
    quint16 port = 0;
    {
      QTcpServer probe;
      QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
      port = probe.serverPort();
    }
    const QString address = QStringLiteral("http://127.0.0.1:%1/zkxx.html").arg(port);
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    WebHtmlView &view = *w.WebBrowser1;
    QVERIFY(view.waitForLoad());
    ParametersRepository(*w.dataModule()).write(QStringLiteral("招考信息"), address);

    w.command(QStringLiteral("ActZKXX"))->trigger();
    QVERIFY(!w.Panel6->isVisible());
    const auto shown = [&view] {
      view.waitForLoad();
      return view.evaluate(QStringLiteral("document.getElementById('troubleTitle') ? document.body.innerText : ''"))
          .toString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!shown().isEmpty(), 30000);
    const QString page = shown();
    QVERIFY2(page.contains(QStringLiteral("无法打开招考信息")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("拒绝连接")), qPrintable(page));
    QVERIFY2(page.contains(address), qPrintable(page));
    QVERIFY2(!page.contains(QStringLiteral("This site")) && !page.contains(QStringLiteral("ERR_")), qPrintable(page));
    QVERIFY(fixture.dialogs.shown.isEmpty());

    view.runScript(QStringLiteral("document.getElementById('backToPaper').click()"));
    const QUrl paper = QUrl::fromLocalFile(w.programDir().questionPagePath());
    QTRY_VERIFY(paper.matches(view.url(), QUrl::RemoveQuery | QUrl::RemoveFragment));
    QVERIFY(view.waitForLoad());
    QVERIFY(w.Panel6->isVisible());
    QCOMPARE(view.evaluate(QStringLiteral("typeof external.SubbitError")).toString(), QStringLiteral("function"));
  }

  // Restore a backup, then mark a favourite, then start again: the
  // favourite is there (the restored bank was in use at once), the work
  // undone by the restore is gone, and the bank it replaced was kept.
  void restoreThenFavouriteSurvivesRestart() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain *w = fixture.window.get();
    TDataModule1 &dm = *w->dataModule();
    exec(dm, QStringLiteral("UPDATE 小题 SET 是否收藏=0"));
    const int records = scalar(dm, QStringLiteral("SELECT count(*) FROM 测试结果")).toInt();
    QTemporaryDir other;
    const QString backup = other.filePath(QStringLiteral("b.db"));
    BackupBank(dm, backup);
    exec(dm, QStringLiteral("INSERT INTO 测试结果(测试名称,测试类型) VALUES('还原前的测试',1)"));

    fixture.dialogs.answers = {true}; // the restore's question
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = dynamic_cast<TFrmDBRestore &>(d);
      form.LabeledEdit1->setText(backup);
      form.BitBtn2->click();
      return form.result();
    };
    w->command(QStringLiteral("ActShuJuHuanYuan"))->trigger();
    QCOMPARE(fixture.dialogs.modalForms, QStringList{QStringLiteral("TFrmDBRestore")});
    QCOMPARE(fixture.dialogs.shown.size(), 2);
    QCOMPARE(fixture.dialogs.shown[0].text, BackupText::ConfirmRestore);
    QCOMPARE(fixture.dialogs.shown[0].icon, Dialogs::Icon::Question);
    QVERIFY2(fixture.dialogs.shown[1].text.startsWith(BackupText::Restored), qPrintable(fixture.dialogs.texts().join('|')));
    QCOMPARE(scalar(*w->dataModule(), QStringLiteral("SELECT count(*) FROM 测试结果")).toInt(), records);

    QVERIFY(w->WebBrowser1->waitForLoad());
    QVERIFY(!fixture.paperState().paper.empty());
    const int favourite = fixture.paperState().paper.front().XiaoTiHao;
    emit w->events().favouriteRequested(favourite, FavouriteMark::Set); // as the page's link asks
    QTRY_COMPARE(
        scalar(*w->dataModule(), QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(favourite)).toInt(), 1);

    fixture.window.reset();
    fixture.window = std::make_unique<TFrmMain>(ProgramDir(fixture.dir.root()));
    QVERIFY(!fixture.window->startupFailed());
    TDataModule1 &again = *fixture.window->dataModule();
    QCOMPARE(scalar(again, QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=%1").arg(favourite)).toInt(), 1);
    QCOMPARE(scalar(again, QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏=1")).toInt(), 1);
    QCOMPARE(scalar(again, QStringLiteral("SELECT count(*) FROM 测试结果")).toInt(), records);
    QCOMPARE(QDir(fixture.dir.path(QStringLiteral("backup"))).entryList({QStringLiteral("QBRX-还原前-*.db")}).size(), 1);
  }

  // A main-menu command from the keyboard moves the highlight before its
  // dialog opens, not after it closes.
  void menuHighlightMovesBeforeTheDialog() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QCOMPARE(w.Panel1->menuState.SelectedMenuIndex, 0);
    int selectedMeanwhile = -1;
    QVariant pictureMeanwhile;
    fixture.dialogs.modalHandler = [&](QDialog &) {
      if (selectedMeanwhile < 0) {
        selectedMeanwhile = w.Panel1->menuState.SelectedMenuIndex;
        pictureMeanwhile = w.Panel1->MenuImages[4]->property("picture");
      }
      return int(QDialog::Rejected);
    };
    exec(*w.dataModule(), QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号 IN (SELECT 小题号 FROM 小题 LIMIT 3)"));
    QTest::keyClick(&w, Qt::Key_5, Qt::ControlModifier); // 收藏夹
    QCOMPARE(fixture.dialogs.modalForms.size(), 1);
    QCOMPARE(selectedMeanwhile, 4);
    QCOMPARE(pictureMeanwhile.toInt(), int(MainMenuState::Selected));
  }

  // The print preview shows the busy cursor while it lays the paper out,
  // the normal one once the preview is on screen, and leaves none behind.
  void printPreviewShowsItIsWorking() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QVERIFY(w.WebBrowser1->waitForLoad());
    std::optional<Qt::CursorShape> before, shown;
    bool previewed = false, sawPreview = false;
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      previewed = qobject_cast<QPrintPreviewDialog *>(&d) != nullptr;
      before = overrideShape();
      // Once the preview is on screen (its first pages are drawn while it
      // is being shown, before exec's own loop runs).
      ModalDriver driver;
      driver.onModal<QPrintPreviewDialog>([&](QPrintPreviewDialog &preview) {
        sawPreview = true;
        shown = overrideShape();
        preview.reject();
      });
      const int result = d.exec();
      if (!driver.done())
        qWarning().noquote() << driver.failure();
      return result;
    };
    w.command(QStringLiteral("ActPrint"))->trigger();
    QVERIFY(previewed);
    QVERIFY(sawPreview);
    QCOMPARE(before, std::optional<Qt::CursorShape>(Qt::BusyCursor));
    QCOMPARE(shown, std::nullopt);
    QCOMPARE(overrideShape(), std::nullopt);
  }

  // The favourites list shows each question type whole, and the columns
  // fill the list's width.
  void questionTypesAreWhole() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    exec(*w.dataModule(), QStringLiteral("UPDATE 小题 SET 是否收藏=1"));
    QStringList cut;
    int rows = 0, gap = -1;
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = dynamic_cast<TFrmSCJST &>(d);
      d.resize(1000, 600);
      d.show();
      form.PageControl1->setCurrentIndex(1);
      TStringGridSCJ *grid = form.chapterGrid(1);
      QTest::qWait(0);
      const QFontMetrics fm(grid->font());
      for (int r = 0; r < grid->dataRowCount(); ++r, ++rows) {
        const QString type = grid->model()->rowAt(r).type;
        if (fm.horizontalAdvance(type) > grid->columnWidth(2) - 8)
          cut << type;
      }
      gap = grid->viewport()->width() - (grid->columnViewportPosition(2) + grid->columnWidth(2));
      d.hide();
      return int(QDialog::Rejected);
    };
    w.command(QStringLiteral("ActSCJST"))->trigger();
    QVERIFY(rows > 0);
    cut.removeDuplicates();
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char(','))));
    QVERIFY2(gap >= 0 && gap <= 2, qPrintable(QString::number(gap)));
  }

  // Chapters of the same name in the search scope are told apart by their
  // subject; every item names its subject in its tooltip.
  void searchScopeNamesTheSubject() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QStringList texts, tips;
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      if (auto *form = qobject_cast<TFrmSTCZ *>(&d))
        for (int i = 0; i < form->CheckListBox1->count(); ++i) {
          texts << form->CheckListBox1->item(i)->text();
          tips << form->CheckListBox1->item(i)->toolTip();
        }
      return int(QDialog::Rejected);
    };
    w.command(QStringLiteral("ActSTCZ"))->trigger();
    QVERIFY(texts.size() > 1);
    QStringList distinct = texts;
    distinct.removeDuplicates();
    QCOMPARE(distinct.size(), texts.size());
    QVERIFY2(texts.filter(QStringLiteral("第一章")).size() >= 2, qPrintable(texts.join(QLatin1Char(','))));
    for (int i = 0; i < tips.size(); ++i)
      QVERIFY2(tips[i].contains(QStringLiteral(" › ")) &&
                   tips[i].endsWith(texts[i].section(QStringLiteral("："), -1)),
               qPrintable(tips[i]));
  }

  // The tree: the arrow keys walk it and unfold the node reached without
  // building its paper; Enter practises the selected section.
  void treeKeysWalkThenEnterPractises() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QVERIFY(w.WebBrowser1->waitForLoad());
    auto *tree = w.TreeView1;
    tree->setFocus();
    const QString title = fixture.paperState().title;
    QTreeWidgetItem *start = tree->currentItem();
    QVERIFY(start);
    QTest::keyClick(tree, Qt::Key_Down);
    QTreeWidgetItem *reached = tree->currentItem();
    QVERIFY(reached && reached != start);
    QVERIFY(reached->childCount() == 0 || reached->isExpanded());
    QCOMPARE(fixture.paperState().title, title);
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(fixture.paperState().title, reached->text(0));
  }
};

QBRX_TEST_MAIN(TstLearnerWalk)
#include "tst_learnerwalk.moc"
