// Where the program directory is, at the sizes learners meet: the choice a
// start makes on an existing learner's folder (beside the floor of one stat
// of the bank), and the first start of an installed program, which makes
// the learner's folder from a template with a 100,000-question bank
// (beside the floor of copying the bank file alone).

#include "BankSynth.h"
#include "TestEnv.h"
#include "mainwin/ProgramLocation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <vector>

namespace {

double median(std::vector<qint64> &v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return double(v[v.size() / 2]);
}

} // namespace

class BenchProgramDir : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  InstallLayout m_layout;
  QString m_learner;

private slots:
  void initTestCase() {
    const QString prefix = m_dir.path() + QStringLiteral("/usr");
    const QString templ = prefix + QStringLiteral("/share/qbrx/template/");
    QDir().mkpath(prefix + QStringLiteral("/bin"));
    QDir().mkpath(prefix + QStringLiteral("/" QBRX_LIBRARY_DIR));
    QDir().mkpath(templ);
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(templ + QStringLiteral("QBRX.db"), questions > 0 ? questions : 100000, 7);
    for (const char *sub : {"css", "images", "fonts"})
      QVERIFY(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), TestEnv::stagedDir() + QLatin1Char('/') +
                                                                                 QLatin1String(sub), templ}) == 0);
    QFile::remove(templ + QStringLiteral("css/Question.html"));
    m_layout = DetectInstallLayout(prefix + QStringLiteral("/bin"));
    QVERIFY(m_layout.installed());
    m_learner = m_dir.path() + QStringLiteral("/home/.local/share/qbrx/");
    QVERIFY(ChooseProgramDir(m_layout, QString(), m_learner).seeded);
    qInfo("template bank %.1f MB", double(QFileInfo(templ + QStringLiteral("QBRX.db")).size()) / 1e6);
  }

  // Every start: the layout, the choice, the write probe.
  void choiceAgainstStat() {
    const int pairs = 3000;
    std::vector<qint64> choice, floor;
    QElapsedTimer t;
    const QString bank = m_learner + QStringLiteral("QBRX.db");
    for (int i = 0; i < pairs; ++i) {
      t.start();
      const InstallLayout layout = DetectInstallLayout(m_layout.executableDir);
      const ProgramDirChoice c = ChooseProgramDir(layout, QString(), m_learner);
      choice.push_back(t.nsecsElapsed());
      QVERIFY(c.error.isEmpty() && !c.seeded);
      t.start();
      const bool there = QFileInfo::exists(bank);
      floor.push_back(t.nsecsElapsed());
      QVERIFY(there);
    }
    const double c = median(choice), f = median(floor);
    qInfo("program directory choice %.1f us, one stat %.1f us, ratio %.1f (medians of %d alternating pairs)", c / 1000,
          f / 1000, c / f, pairs);
  }

  // The first start of each learner.
  void firstStartAgainstBankCopy() {
    const int pairs = 10;
    std::vector<qint64> seed, floor;
    QElapsedTimer t;
    for (int i = 0; i < pairs; ++i) {
      const QString target = m_dir.path() + QStringLiteral("/seed%1").arg(i);
      const QString plain = m_dir.path() + QStringLiteral("/plain%1.db").arg(i);
      t.start();
      QString failed;
      const bool ok = SeedFromTemplate(m_layout.templateDir, target, &failed);
      seed.push_back(t.nsecsElapsed());
      QVERIFY2(ok, qPrintable(failed));
      t.start();
      QVERIFY(QFile::copy(m_layout.templateDir + QStringLiteral("QBRX.db"), plain));
      floor.push_back(t.nsecsElapsed());
      QDir(target).removeRecursively();
      QFile::remove(plain);
    }
    const double s = median(seed), f = median(floor);
    qInfo("learner folder from the template %.1f ms, copy of the bank alone %.1f ms, ratio %.2f (medians of %d "
          "alternating pairs)",
          s / 1e6, f / 1e6, s / f, pairs);
  }
};

QBRX_TEST_MAIN(BenchProgramDir)
#include "bench_programdir.moc"
