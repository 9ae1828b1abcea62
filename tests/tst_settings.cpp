// test-links: widgets
// Display and score settings: the rules and the stored values, and both
// dialogs through the program's own dialogs and a real modal exec().
// ctest-timeout: 240

#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "FakeHtmlView.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "exam/ui/ShowTestResult.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "render/Gbk.h"
#include "app/PaperPresenter.h"
#include "render/StyleSheet.h"
#include "render/ui/WebHtmlView.h"
#include "settings/DisplaySettingsLogic.h"
#include "settings/Scores.h"
#include "settings/ui/JMSZ.h"
#include "settings/ui/SettingsCommands.h"
#include "settings/ui/UISet.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"
#include "store/Startup.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include "app/PaperState.h"

#include <QtTest>
#include <cmath>

namespace {

const QString kTypes = QStringLiteral(
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',2.5),(2,' 判断题 ','',NULL),"
    "(3,'O''Brien题','',1);\n"
    "INSERT INTO 系统参数(参数名,参数值) VALUES('字体','宋体'),('字号','abc'),('颜色','#000000'),"
    "('背景色','#FFFFFF'),('行间距','999'),('工具栏字号','10px');\n");

struct Bank {
  TestEnv::ProgramDirFixture dir;
  TDataModule1 dm;
  explicit Bank(const QStringList &sql) : dir(sql) {
    if (OpenBankAtStartup(dm, dir.root()) != StartupResult::Opened)
      qFatal("bank did not open");
    LoadSystemParameters(dm);
  }
  QString param(const QString &key) { return ParametersRepository(dm).value(key); }
};

// WCAG contrast of two #RRGGBB colours.
double contrast(const QString &a, const QString &b) {
  const auto luminance = [](const QString &text) {
    const QColor c(text);
    const auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The display dialog made directly on a fake view (no exec), the view kept.
struct DisplayForm {
  FakeHtmlView *view = nullptr;
  std::unique_ptr<TFrmUISet> form;
  DisplayForm(Bank &bank, const QStringList &fonts = {QStringLiteral("宋体"), QStringLiteral("黑体")}) {
    form = std::make_unique<TFrmUISet>(
        bank.dm, ProgramDir(bank.dir.root()), fonts,
        [this](QWidget *parent) {
          auto v = std::make_unique<FakeHtmlView>(parent);
          view = v.get();
          return v;
        },
        nullptr);
  }
  // The preview's style block as written last.
  QStringList previewStyle() const {
    const qsizetype from = view->lines.indexOf(QStringLiteral("<STYLE TYPE=\"text/css\">"));
    return from < 0 ? QStringList() : view->lines.mid(from, 31);
  }
};

} // namespace

class TstSettings : public QObject {
  Q_OBJECT

private slots:
  void sizes() {
    QCOMPARE(FontSizeText(12), QStringLiteral("12px"));
    QCOMPARE(ToolbarSizeFor(12), QStringLiteral("10px"));
    QCOMPARE(ToolbarSizeFor(14), QStringLiteral("10px"));
    QCOMPARE(ToolbarSizeFor(48), QStringLiteral("44px"));
    QCOMPARE(StoredFontSize(QStringLiteral("14px")), 14);
    QCOMPARE(StoredFontSize(QStringLiteral("abc")), 14);
    QCOMPARE(StoredLineSpacing(QStringLiteral("170%")), 170);
    QCOMPARE(StoredLineSpacing(QStringLiteral("999")), 999);
  }

  // What the dialog opens with: the spin controls' numbers, and memory
  // made to follow them (so 确定 stores what the controls show).
  void dialogStart_data() {
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("spacing");
    QTest::addColumn<int>("sizeShown");
    QTest::addColumn<int>("spacingShown");
    QTest::addColumn<QString>("toolbar");
    QTest::newRow("12") << "12px" << "170" << 12 << 170 << "10px";
    QTest::newRow("14") << "14px" << "170" << 14 << 170 << "10px";
    QTest::newRow("48") << "48px" << "170" << 48 << 170 << "44px";
    QTest::newRow("20 without px") << "20" << "200" << 20 << 200 << "16px";
    QTest::newRow("clamped up") << "5px" << "100" << 10 << 140 << "10px";
    QTest::newRow("clamped down") << "60px" << "999" << 48 << 400 << "44px";
    QTest::newRow("no numbers") << "abc" << "170%" << 14 << 170 << "10px";
    QTest::newRow("missing") << "" << "" << 14 << 170 << "10px";
  }
  void dialogStart() {
    QFETCH(QString, size);
    QFETCH(QString, spacing);
    QFETCH(int, sizeShown);
    QFETCH(int, spacingShown);
    QFETCH(QString, toolbar);
    TDisplaySettings s{QStringLiteral("宋体"), size, QStringLiteral("12px"), QStringLiteral("#000000"),
                       QStringLiteral("#F9F9F9"), spacing};
    const SpinStart start = FitForDialog(s);
    QCOMPARE(start.fontSize, sizeShown);
    QCOMPARE(start.lineSpacing, spacingShown);
    QCOMPARE(s.FontSize, FontSizeText(sizeShown));
    QCOMPARE(s.ToolbarFontSize, toolbar);
    QCOMPARE(s.LineSpacing, QString::number(spacingShown));
    QCOMPARE(s.FontName, QStringLiteral("宋体")); // font and colours run no rule
    QCOMPARE(s.BackColor, QStringLiteral("#F9F9F9"));
  }

  // 夜间: light text on a dark background; the page's answer blocks (text
  // colour) and its fixed black labels stay readable.
  void nightColours() {
    TDisplaySettings s;
    ApplyDisplayDefaults(s);
    ApplyNightColours(s);
    QCOMPARE(s.FontSize, QStringLiteral("14px"));
    QVERIFY(QColor(s.BackColor).lightnessF() < 0.4);
    QVERIFY2(contrast(s.FontColor, s.BackColor) >= 4.5, qPrintable(QString::number(contrast(s.FontColor, s.BackColor))));
    QVERIFY2(contrast(QStringLiteral("#000000"), s.BackColor) >= 3.0,
             qPrintable(QString::number(contrast(QStringLiteral("#000000"), s.BackColor))));
  }

  void scoreSteps_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("result"); // empty: refused with a beep
    QTest::newRow("down from 0.5") << "0.5" << -1 << "";
    QTest::newRow("down from 1.0") << "1.0" << -1 << "0.0";
    QTest::newRow("up from 99.5") << "99.5" << 1 << "";
    QTest::newRow("up from 99.0") << "99.0" << 1 << "100.0";
    QTest::newRow("up from 2.25") << "2.25" << 1 << "3.3";
    QTest::newRow("up from 0.45") << "0.45" << 1 << "1.5";
    QTest::newRow("up from -2") << "-2" << 1 << "-1.0";
    QTest::newRow("inf") << "inf" << 1 << "";
    QTest::newRow("nan") << "nan" << -1 << "";
    QTest::newRow("exponent") << "1e3" << -1 << "";
  }
  void scoreSteps() {
    QFETCH(QString, text);
    QFETCH(int, direction);
    QFETCH(QString, result);
    const std::optional<QString> next = StepScore(text, direction);
    QCOMPARE(next.value_or(QString()), result);
    QVERIFY(!IsScoreText(QString()));
  }

  // The names a page can use: the aliases first, no foundry suffix, once.
  void fontChoices() {
    QCOMPARE(FontChoices({QStringLiteral("Nimbus Sans [urw]"), QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans [other]")},
                         {QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("宋体")}),
             (QStringList{QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")}));
    const QStringList aliases = FontConfAliases(TestEnv::stagedDir() + QStringLiteral("/fonts/fonts.conf"));
    QVERIFY(aliases.contains(QStringLiteral("宋体")));
    QVERIFY(aliases.contains(QStringLiteral("黑体")));
    QVERIFY(!aliases.contains(QStringLiteral("Noto Serif CJK SC")));
  }

  // All five display values or none; scores stored by row ID.
  void storingIsAllOrNothing() {
    Bank bank({kTypes});
    TDisplaySettings s = DisplaySettings;
    ApplyDisplayDefaults(s);
    // The fault comes from a TEMP trigger of the connection: the program
    // runs no trigger of a bank file.
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON 系统参数 WHEN new.参数名='颜色' BEGIN SELECT RAISE(ABORT,'disk full'); END;"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, StoreDisplaySettings(bank.dm, s));
    QCOMPARE(bank.param(QStringLiteral("字号")), QStringLiteral("abc"));
    QCOMPARE(bank.param(QStringLiteral("背景色")), QStringLiteral("#FFFFFF"));
    QVERIFY(!bank.dm.ADOConnection1.InTransaction());

    std::vector<TypeScore> scores = ReadTypeScores(bank.dm);
    QCOMPARE(scores.size(), std::size_t(3));
    QCOMPARE(scores[0].score, QStringLiteral("2.5"));
    QCOMPARE(scores[1].score, QStringLiteral("1.0"));
    scores[1].score = QStringLiteral("3");
    scores[2].score = QStringLiteral("0.5");
    StoreTypeScores(bank.dm, scores);
    const std::vector<TypeScore> again = ReadTypeScores(bank.dm);
    QCOMPARE(again[0].score, QStringLiteral("2.5")); // the stored score stays
    QCOMPARE(again[1].score, QStringLiteral("3.0")); // a name with blanks is stored too
    QCOMPARE(again[2].score, QStringLiteral("0.5")); // and one with a quote
  }

  // 软件设置 through the production dialogs: one arrow up, 确定, the message.
  void scoreDialogThroughTheRealDialogs() {
    FeatureHarness h({kTypes}, FeatureHarness::RealDialogs);
    h.loadParameters();
    h.registerCommands(registerSettingsCommands);
    QStringList shown;
    ModalDriver driver;
    driver.onModal<TFrmJMSZ>([&](TFrmJMSZ &form) {
      for (QLineEdit *e : form.edits)
        shown << e->text();
      form.ActUP(0);
      QMetaObject::invokeMethod(form.BitBtn1, &QPushButton::click, Qt::QueuedConnection);
    });
    h.command(QStringLiteral("ActYHSZ"))->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const QStringList boxes = driver.boxTexts();
    QCOMPARE(shown, (QStringList{QStringLiteral("2.5"), QStringLiteral("1.0"), QStringLiteral("1.0")}));
    QCOMPARE(boxes, QStringList{QStringLiteral("分数设置保存成功！")});
    QCOMPARE(ReadTypeScores(h.dm)[0].score, QStringLiteral("3.5"));
  }

  // 考试界面设置 through the production dialogs: a stored 999 opens clamped
  // to 400, 20px in the live preview, 确定 stores five values, Main.css is
  // the writer's output and settingsChanged follows; 取消 puts memory back.
  void displayDialogThroughTheRealDialogs() {
    FeatureHarness h({kTypes}, FeatureHarness::RealDialogs);
    h.loadParameters();
    h.registerCommands(registerSettingsCommands);
    QSignalSpy changed(&h.events, &AppEvents::settingsChanged);

    const TDisplaySettings before = DisplaySettings;
    QString previewSize;
    int spacing = 0;
    ModalDriver driver;
    const auto setAndLeave = [&](bool cancel) {
      return [&, cancel](TFrmUISet &form) {
        spacing = form.SpinEdit1->value();
        form.SpinEdit2->setValue(20);
        form.rebuildPreview();
        auto *view = dynamic_cast<WebHtmlView *>(form.WebBrowser1);
        previewSize = view->evaluate(QStringLiteral(
            "getComputedStyle(document.querySelector('.TestContent')).fontSize")).toString();
        QMetaObject::invokeMethod(cancel ? form.BitBtn3 : form.BitBtn2, &QPushButton::click, Qt::QueuedConnection);
      };
    };
    driver.onModal<TFrmUISet>(setAndLeave(true)).onModal<TFrmUISet>(setAndLeave(false));
    h.command(QStringLiteral("ActUISet"))->trigger();
    QCOMPARE(driver.stepsDone(), 1);
    QCOMPARE(spacing, 400);
    QCOMPARE(previewSize, QStringLiteral("20px"));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(DisplaySettings.FontSize, before.FontSize); // 取消 put it back
    QCOMPARE(DisplaySettings.LineSpacing, before.LineSpacing);

    h.command(QStringLiteral("ActUISet"))->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(h.parameter(QStringLiteral("字号")), QStringLiteral("20px"));
    QCOMPARE(h.parameter(QStringLiteral("行间距")), QStringLiteral("400"));
    QCOMPARE(DisplaySettings.ToolbarFontSize, QStringLiteral("16px"));
    GbkLineWriter expected(Gbk::Escape::Css);
    for (const QString &line : StyleSheetRules(DisplaySettings))
      expected.writeLine(line);
    QFile sheet(h.programDir.styleSheetPath());
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    QCOMPARE(sheet.readAll(), expected.bytes());
  }

  // Each change shows at once in the preview (one rebuild for a burst of
  // them); 恢复默认值 and 夜间 are in memory only; 取消 puts it all back and
  // stores nothing; the colour picker's cancel changes nothing.
  void displayControls() {
    Bank bank({kTypes});
    FakeDialogs fake;
    const TDisplaySettings opened = DisplaySettings;
    DisplayForm d(bank);
    QCOMPARE(d.previewStyle(), PreviewStyleLines(DisplaySettings));
    QCOMPARE(d.view->lines.value(0), QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"));
    QVERIFY(d.view->lines.contains(QStringLiteral("</form></div></body></html>")));
    QCOMPARE(d.view->navigations, QStringList{QStringLiteral("about:blank")});

    d.form->SpinEdit2->setValue(12);
    d.form->SpinEdit1->setValue(250);
    d.form->ComboBox1->setCurrentText(QStringLiteral("黑体"));
    fake.nextColor = QColor(0x12, 0x34, 0x56);
    d.form->Panel2->click();
    fake.nextColor.reset();
    d.form->Panel3->click(); // the picker cancelled
    QCOMPARE(DisplaySettings.FontSize, QStringLiteral("12px"));
    QCOMPARE(DisplaySettings.ToolbarFontSize, QStringLiteral("10px"));
    QCOMPARE(DisplaySettings.LineSpacing, QStringLiteral("250"));
    QCOMPARE(DisplaySettings.FontName, QStringLiteral("黑体"));
    QCOMPARE(DisplaySettings.FontColor, QStringLiteral("#123456"));
    QCOMPARE(DisplaySettings.BackColor, QStringLiteral("#FFFFFF"));
    QTRY_COMPARE(d.view->navigations.size(), 2);
    QCOMPARE(d.previewStyle(), PreviewStyleLines(DisplaySettings));
    QVERIFY(d.previewStyle().join(QString()).contains(QStringLiteral("color:#123456")));

    d.form->BitBtn4->click(); // 夜间
    QCOMPARE(DisplaySettings.FontColor, kNightText);
    QCOMPARE(DisplaySettings.BackColor, kNightBack);
    QCOMPARE(DisplaySettings.FontSize, QStringLiteral("12px"));
    d.form->BitBtn1->click(); // 恢复默认值
    QCOMPARE(DisplaySettings.FontName, QStringLiteral("宋体"));
    QCOMPARE(d.form->ComboBox1->currentText(), QStringLiteral("宋体"));
    QCOMPARE(d.form->SpinEdit2->value(), 14);
    QCOMPARE(d.form->SpinEdit1->value(), 170);
    QCOMPARE(DisplaySettings.ToolbarFontSize, QStringLiteral("10px"));
    QCOMPARE(DisplaySettings.BackColor, QStringLiteral("#F9F9F9"));
    QTRY_COMPARE(d.previewStyle(), PreviewStyleLines(DisplaySettings));

    d.form->BitBtn3->click(); // 取消
    QCOMPARE(d.form->result(), int(QDialog::Rejected));
    QCOMPARE(DisplaySettings.FontSize, opened.FontSize);
    QCOMPARE(DisplaySettings.FontColor, opened.FontColor);
    QCOMPARE(DisplaySettings.LineSpacing, opened.LineSpacing);
    QCOMPARE(bank.param(QStringLiteral("字号")), QStringLiteral("abc"));
    QCOMPARE(bank.param(QStringLiteral("背景色")), QStringLiteral("#FFFFFF"));
    QVERIFY(fake.shown.isEmpty());
  }

  // 确定 without a change writes all five (the unreadable 字号 as the 14 the
  // control shows, a missing 行间距 row inserted) and the sheet.
  void confirmWithoutChange() {
    Bank bank({kTypes});
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral("DELETE FROM 系统参数 WHERE 参数名='行间距';"));
    LoadSystemParameters(bank.dm);
    FakeDialogs fake;
    DisplayForm d(bank);
    d.form->BitBtn2->click();
    QCOMPARE(d.form->result(), int(QDialog::Accepted));
    QCOMPARE(bank.param(QStringLiteral("字体")), QStringLiteral("宋体"));
    QCOMPARE(bank.param(QStringLiteral("字号")), QStringLiteral("14px"));
    QCOMPARE(bank.param(QStringLiteral("颜色")), QStringLiteral("#000000"));
    QCOMPARE(bank.param(QStringLiteral("背景色")), QStringLiteral("#FFFFFF"));
    QCOMPARE(bank.param(QStringLiteral("行间距")), QStringLiteral("170"));
    QCOMPARE(bank.param(QStringLiteral("工具栏字号")), QStringLiteral("10px")); // never written
    QFile sheet(ProgramDir(bank.dir.root()).styleSheetPath());
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    const QByteArray bytes = sheet.readAll();
    QVERIFY(bytes.startsWith("BODY{FONT-SIZE:14px;COLOR:#000000;background-color:#FFFFFF;LINE-HEIGHT:170%;"));
    QCOMPARE(bytes.count("\r\n"), 30);
  }

  // Line spacing the control cannot take: "请输入正确的行间距值!" and 170;
  // 确定 pressed meanwhile waits for the message.
  void badLineSpacing() {
    Bank bank({kTypes});
    FakeDialogs fake;
    DisplayForm d(bank);
    d.form->SpinEdit1->setValue(300);
    QLineEdit *edit = d.form->SpinEdit1->findChild<QLineEdit *>();
    QVERIFY(edit);
    edit->setText(QStringLiteral("12"));
    d.form->SpinEdit1->interpretText();
    QCOMPARE(d.form->SpinEdit1->value(), 170);
    QCOMPARE(DisplaySettings.LineSpacing, QStringLiteral("170"));
    d.form->BitBtn2->click();
    QCOMPARE(d.form->result(), 0); // still open
    QTRY_COMPARE(fake.texts(), QStringList{QStringLiteral("请输入正确的行间距值!")});
    QCOMPARE(fake.shown[0].caption, QStringLiteral("设置错误"));
    QCOMPARE(fake.shown[0].icon, Dialogs::Icon::Warning);
    d.form->BitBtn2->click();
    QCOMPARE(d.form->result(), int(QDialog::Accepted));
    QCOMPARE(bank.param(QStringLiteral("行间距")), QStringLiteral("170"));
  }

  // A style sheet that cannot be written: the values are stored, the
  // dialog stays open and says so.
  void sheetNotWritten() {
    Bank bank({kTypes});
    FakeDialogs fake;
    const QString sheet = ProgramDir(bank.dir.root()).styleSheetPath();
    QVERIFY(QFile::remove(sheet));
    QVERIFY(QDir().mkpath(sheet)); // a folder where the file goes
    DisplayForm d(bank);
    d.form->SpinEdit2->setValue(16);
    d.form->BitBtn2->click();
    QCOMPARE(d.form->result(), 0);
    QCOMPARE(fake.shown.size(), 1);
    QVERIFY2(fake.shown[0].text.startsWith(QStringLiteral("界面设置已保存")), qPrintable(fake.shown[0].text));
    QCOMPARE(bank.param(QStringLiteral("字号")), QStringLiteral("16px"));
  }

  // 软件设置 on the demo bank's seven types: three a line, 30 pixels apart;
  // a cleared edit is "1.0" with a beep; the arrows beep at their limits;
  // 取消 stores nothing.
  void scoreRows() {
    Bank bank(QStringList{});
    FakeDialogs fake;
    TFrmJMSZ form(bank.dm, [] {});
    QCOMPARE(form.labels.size(), std::size_t(7));
    for (std::size_t i = 0; i < 7; ++i) {
      const int x = 200 * int(i % 3), y = 18 + 30 * int(i / 3);
      QCOMPARE(form.labels[i]->pos(), QPoint(x, y + 3));
      QCOMPARE(form.edits[i]->pos(), QPoint(x + 100, y));
      QCOMPARE(form.ups[i]->pos(), QPoint(x + 150, y - 1));
    }
    QCOMPARE(form.labels[6]->text(), QStringLiteral("案例分析题"));
    QCOMPARE(form.edits[1]->text(), QStringLiteral("2.0")); // 多项选择题 as stored
    QCOMPARE(form.PageControl1->tabText(0), QStringLiteral("分数设置"));
    QCOMPARE(form.PageControl1->tabText(1), QStringLiteral("界面设置"));
    QCOMPARE(form.BitBtn3->text(), QStringLiteral("答题界面设置"));

    form.edits[0]->clear();
    QCOMPARE(form.edits[0]->text(), QStringLiteral("1.0"));
    QCOMPARE(fake.beeps, 1);
    form.edits[0]->setText(QStringLiteral("99.5"));
    form.ups[0]->click();
    QCOMPARE(form.edits[0]->text(), QStringLiteral("99.5"));
    QCOMPARE(fake.beeps, 2);
    form.edits[0]->setText(QStringLiteral("0.45"));
    form.ups[0]->click();
    QCOMPARE(form.edits[0]->text(), QStringLiteral("1.5"));
    form.downs[0]->click();
    form.downs[0]->click();
    QCOMPARE(form.edits[0]->text(), QStringLiteral("0.5"));
    QCOMPARE(fake.beeps, 3);
    form.BitBtn2->click();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(ReadTypeScores(bank.dm)[0].score, QStringLiteral("1.0"));
    QVERIFY(fake.shown.isEmpty());
  }

  // In the real window: Ctrl+8, one score up, 界面设置 → 答题界面设置, 20px
  // and a new text colour, 确定 twice; the page on display takes the look
  // where the learner was, and the next graded paper the new score.
  void journey() {
    MainWindowFixture f;
    QVERIFY(f.showActive());
    TFrmMain &w = *f.window;
    const std::vector<CategoryNode> &nodes = w.categoryTree().nodes();
    int index = -1;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      if (nodes[i].info && nodes[i].info->ID == 122)
        index = int(i);
    QVERIFY(index >= 0);
    w.TreeView1->selectNode(index);
    w.command(QStringLiteral("ActSCSTKST"))->trigger();
    QVERIFY(w.WebBrowser1->waitForLoad());
    w.WebBrowser1->runScript(QStringLiteral("window.scrollTo(0, 200)"));
    const QString scrolled = w.WebBrowser1->evaluate(QStringLiteral("String(Math.round(window.scrollY))")).toString();
    QVERIFY(scrolled.toInt() > 0);

    QStringList forms;
    TestTotals totals;
    QStringList reportRows;
    f.dialogs.modalHandler = [&](QDialog &d) {
      forms << QString::fromLatin1(d.metaObject()->className());
      if (auto *jmsz = qobject_cast<TFrmJMSZ *>(&d)) {
        jmsz->ActUP(0); // 单项选择题 1.0 → 2.0
        jmsz->PageControl1->setCurrentIndex(1);
        jmsz->BitBtn3->click();
        jmsz->BitBtn1->click();
      } else if (auto *look = qobject_cast<TFrmUISet *>(&d)) {
        look->SpinEdit2->setValue(20);
        f.dialogs.nextColor = QColor(0, 0, 170);
        look->Panel2->click();
        look->BitBtn2->click();
      } else if (auto *report = qobject_cast<TFrmShowTestResult *>(&d)) {
        totals = report->totals();
        if (auto *view = dynamic_cast<WebHtmlView *>(&report->view()); view && view->waitForLoad())
          reportRows = view->evaluate(QStringLiteral(
              "Array.from(document.querySelectorAll('tr')).map(function (r) {"
              " return Array.from(r.cells).map(function (c) { return c.innerText.trim(); }).join('|'); })"))
                           .toStringList();
        report->closeButton()->click();
      }
      return d.result();
    };
    QTest::keyClick(&w, Qt::Key_8, Qt::ControlModifier);
    QCOMPARE(forms, (QStringList{QStringLiteral("TFrmJMSZ"), QStringLiteral("TFrmUISet")}));
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("分数设置保存成功！")});

    QVERIFY(w.WebBrowser1->waitForLoad());
    const auto look = [&] {
      return w.WebBrowser1
          ->evaluate(QStringLiteral(
              "[getComputedStyle(document.querySelector('.TestContent')).fontSize,"
              " getComputedStyle(document.body).color,"
              " getComputedStyle(document.querySelector('.TestToolBar')).fontSize,"
              " String(Math.round(window.scrollY))]"))
          .toStringList();
    };
    QTRY_COMPARE(look(), (QStringList{QStringLiteral("20px"), QStringLiteral("rgb(0, 0, 170)"),
                                      QStringLiteral("16px"), scrolled}));

    f.dialogs.answers = {false}; // the report's "store?" answered No
    w.command(QStringLiteral("ActSummitPaper"))->trigger();
    QVERIFY(forms.contains(QStringLiteral("TFrmShowTestResult")));
    QVERIFY2(reportRows.contains(QStringLiteral("单项选择题|2|0|4.00|0.00|0.00%")), qPrintable(reportRows.join('\n')));
    QCOMPARE(totals.SumTotal, 14.0f); // 2×2 + 2 + 2×1 + 3×2
  }
};

QBRX_TEST_MAIN(TstSettings)
#include "tst_settings.moc"
