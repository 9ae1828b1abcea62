// The display and score settings on a 100,000-question bank
// (QBRX_BENCH_QUESTIONS): a change in 考试界面设置 until its preview shows
// it, beside the same page loaded into the same view in one piece; 确定's
// five values in one transaction and the style sheet, beside one value
// written in a transaction of its own; every type's score stored, beside one
// type's.

#include "BankSynth.h"
#include "FakeHtmlView.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "render/StyleSheet.h"
#include "render/ui/WebHtmlView.h"
#include "settings/DisplaySettingsLogic.h"
#include "settings/Scores.h"
#include "settings/ui/UISet.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"
#include "store/Startup.h"
#include "store/Transaction.h"

#include <QDir>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

class BenchSettings : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  TDataModule1 m_dm;

  ProgramDir dir() const { return ProgramDir(m_dir.path()); }

  // The preview page as the dialog writes it, at font size n.
  QString previewPage(int n) {
    FakeHtmlView *fake = nullptr;
    TFrmUISet form(m_dm, dir(), {QStringLiteral("宋体")}, [&fake](QWidget *parent) {
      auto v = std::make_unique<FakeHtmlView>(parent);
      fake = v.get();
      return v;
    });
    form.SpinEdit2->setValue(n);
    form.rebuildPreview();
    const QString page = fake->lines.join(QLatin1Char('\n'));
    form.reject();
    return page;
  }

private slots:
  void initTestCase() {
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_dir.path() + QStringLiteral("/QBRX.db"), questions > 0 ? questions : 100000, 5);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("css")));
    QCOMPARE(OpenBankAtStartup(m_dm, dir().root()), StartupResult::Opened);
    LoadSystemParameters(m_dm);
    ApplyDisplayDefaults(DisplaySettings);
  }

  // One step of the size control until the preview's text has that size,
  // beside the same page navigated to as a local file (the view's way to
  // every page of the program) and beside it loaded in one piece (setHtml,
  // the cheapest way to a new document; the view then swaps between data:
  // and file: pages at every round, which costs both sides some 15 ms).
  void previewChange() {
    TFrmUISet form(m_dm, dir(), {QStringLiteral("宋体")}, &WebHtmlView::create);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *view = dynamic_cast<WebHtmlView *>(form.WebBrowser1);
    // Read from whatever document is there (one still loading has no sample).
    const QString probe = QStringLiteral(
        "(function () { var e = document.querySelector('.TestContent'); return e ? getComputedStyle(e).fontSize : ''; })()");
    const auto shows = [&](int n) {
      QDeadlineTimer deadline(10000);
      while (view->evaluate(probe).toString() != QStringLiteral("%1px").arg(n))
        QVERIFY2(!deadline.hasExpired(), "the preview never showed the size");
    };
    QTemporaryDir files(m_dir.path() + QStringLiteral("/css/previewXXXXXX"));
    QString pages[2];
    for (int k = 0; k < 2; ++k) {
      pages[k] = previewPage(20 + k);
      QFile f(files.filePath(QStringLiteral("p%1.html").arg(k)));
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("\xEF\xBB\xBF" + pages[k].toUtf8());
    }
    int size = 20, floorSize = 20;
    const auto change = [&] {
      size = size == 20 ? 21 : 20;
      form.SpinEdit2->setValue(size);
      shows(size);
    };
    const auto inOnePiece = [&] {
      floorSize = floorSize == 20 ? 21 : 20;
      view->engineView()->setHtml(pages[floorSize - 20]);
      shows(floorSize);
    };
    const auto asFile = [&] {
      floorSize = floorSize == 20 ? 21 : 20;
      view->navigate(files.filePath(QStringLiteral("p%1.html").arg(floorSize - 20)));
      shows(floorSize);
    };
    reportInterleaved(QStringLiteral("preview change / the same page as a local file"), change, asFile, 21);
    reportInterleaved(QStringLiteral("preview change / the same page in one piece (setHtml)"), change, inOnePiece, 21);
    form.reject();
  }

  void confirm() {
    int n = 0;
    const auto store = [&] {
      DisplaySettings.FontSize = FontSizeText(12 + (++n % 20));
      StoreDisplaySettings(m_dm, DisplaySettings);
      WriteStyleSheet(dir());
    };
    const auto floor = [&] {
      Transaction t(m_dm);
      ParametersRepository(m_dm).write(QStringLiteral("字号"), FontSizeText(12 + (++n % 20)));
      t.commit();
    };
    reportInterleaved(QStringLiteral("display settings stored and sheet written / one value in a transaction"),
                      store, floor, 21);
  }

  void scores() {
    std::vector<TypeScore> all = ReadTypeScores(m_dm);
    QVERIFY(!all.empty());
    qInfo("types: %d", int(all.size()));
    int n = 0;
    const auto store = [&] {
      ++n;
      for (TypeScore &s : all)
        s.score = QString::number(1 + n % 5) + QStringLiteral(".0");
      StoreTypeScores(m_dm, all);
    };
    const auto floor = [&] {
      ++n;
      StoreTypeScores(m_dm, {{all.front().id, all.front().type, QString::number(1 + n % 5)}});
    };
    reportInterleaved(QStringLiteral("every type's score stored / one type's"), store, floor, 21);
  }
};

QBRX_TEST_MAIN(BenchSettings)
#include "bench_settings.moc"
