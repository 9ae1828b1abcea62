// Display and score settings: the rules and the stored values, and both
// dialogs through the program's own dialogs and a real modal exec().
// ctest-timeout: 240

#include "FakeDialogs.h"
#include "BankFixture.h"
#include "TestEnv.h"
#include "mainwin/ui/WidgetDialogs.h"
#include "render/ActionList.h"
#include "render/AppContext.h"
#include "render/AppEvents.h"
#include "render/Gbk.h"
#include "render/PaperPresenter.h"
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
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

namespace {

const QString kTypes = QStringLiteral(
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',2.5),(2,' 判断题 ','',NULL),"
    "(3,'O''Brien题','',1);\n"
    "INSERT INTO 系统参数(参数名,参数值) VALUES('字体','宋体'),('字号','abc'),('颜色','#000000'),"
    "('背景色','#FFFFFF'),('行间距','999'),('工具栏字号','10px');\n");

struct Bank : OpenedBank {
  explicit Bank(const QStringList &sql) : OpenedBank(sql) {
    LoadSystemParameters(dm);
  }
  QString param(const QString &key) { return ParametersRepository(dm).value(key); }
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
    bank.dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON 系统参数 WHEN new.参数名='颜色' BEGIN SELECT RAISE(ABORT,'disk full'); END;"));
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
    Bank bank({kTypes});
    WidgetDialogs real;
    setDialogs(&real);
    RecordingPresenter presenter;
    AppEvents events;
    QWidget parent;
    AppContext context{bank.dm, ProgramDir(bank.dir.root()), &WebHtmlView::create, presenter, events, &parent};
    TActionList commands;
    registerSettingsCommands(commands, context);
    QStringList boxes, shown;
    int step = 0;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        boxes << box->text();
        QMetaObject::invokeMethod(box, &QDialog::accept, Qt::QueuedConnection);
      } else if (auto *form = qobject_cast<TFrmJMSZ *>(modal); form && step == 0) {
        step = 1;
        for (QLineEdit *e : form->edits)
          shown << e->text();
        form->ActUP(0);
        QMetaObject::invokeMethod(form->BitBtn1, &QPushButton::click, Qt::QueuedConnection);
      }
    });
    poll.start();
    commands.action(QStringLiteral("ActYHSZ"))->trigger();
    setDialogs(nullptr);
    QCOMPARE(shown, (QStringList{QStringLiteral("2.5"), QStringLiteral("1.0"), QStringLiteral("1.0")}));
    QCOMPARE(boxes, QStringList{QStringLiteral("分数设置保存成功！")});
    QCOMPARE(ReadTypeScores(bank.dm)[0].score, QStringLiteral("3.5"));
  }

  // 考试界面设置 through the production dialogs: a stored 999 opens clamped
  // to 400, 20px in the live preview, 确定 stores five values, Main.css is
  // the writer's output and settingsChanged follows; 取消 puts memory back.
  void displayDialogThroughTheRealDialogs() {
    Bank bank({kTypes});
    WidgetDialogs real;
    setDialogs(&real);
    RecordingPresenter presenter;
    AppEvents events;
    QWidget parent;
    AppContext context{bank.dm, ProgramDir(bank.dir.root()), &WebHtmlView::create, presenter, events, &parent};
    TActionList commands;
    registerSettingsCommands(commands, context);
    QSignalSpy changed(&events, &AppEvents::settingsChanged);

    const TDisplaySettings before = DisplaySettings;
    QString previewSize;
    int spacing = 0;
    bool cancel = true;
    QTimer poll;
    poll.setInterval(20);
    bool done = false;
    connect(&poll, &QTimer::timeout, this, [&] {
      auto *form = qobject_cast<TFrmUISet *>(QApplication::activeModalWidget());
      if (!form || done)
        return;
      done = true;
      spacing = form->SpinEdit1->value();
      form->SpinEdit2->setValue(20);
      form->rebuildPreview();
      auto *view = dynamic_cast<WebHtmlView *>(form->WebBrowser1);
      previewSize = view->evaluate(QStringLiteral(
          "getComputedStyle(document.querySelector('.TestContent')).fontSize")).toString();
      QMetaObject::invokeMethod(cancel ? form->BitBtn3 : form->BitBtn2, &QPushButton::click, Qt::QueuedConnection);
    });
    poll.start();
    commands.action(QStringLiteral("ActUISet"))->trigger();
    QCOMPARE(spacing, 400);
    QCOMPARE(previewSize, QStringLiteral("20px"));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(DisplaySettings.FontSize, before.FontSize); // 取消 put it back
    QCOMPARE(DisplaySettings.LineSpacing, before.LineSpacing);

    cancel = false;
    done = false;
    commands.action(QStringLiteral("ActUISet"))->trigger();
    setDialogs(nullptr);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(bank.param(QStringLiteral("字号")), QStringLiteral("20px"));
    QCOMPARE(bank.param(QStringLiteral("行间距")), QStringLiteral("400"));
    QCOMPARE(DisplaySettings.ToolbarFontSize, QStringLiteral("16px"));
    GbkLineWriter expected(Gbk::Escape::Css);
    for (const QString &line : StyleSheetRules(DisplaySettings))
      expected.writeLine(line);
    QFile sheet(context.programDir.styleSheetPath());
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    QCOMPARE(sheet.readAll(), expected.bytes());
  }
};

QBRX_TEST_MAIN(TstSettings)
#include "tst_settings.moc"
