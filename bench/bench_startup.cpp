// Start-up cost on a large bank: the directory lock, unmask, open through the
// shim, mask through the connection and load the parameters, beside the
// floor of a plain open of the same SQLite image with no header and no
// masking.

#include "TestEnv.h"
#include "BankSynth.h"
#include "store/BankBuilder.h"
#include "store/DM.h"
#include "store/InstanceLock.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <vector>

class BenchStartup : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QString m_root, m_plain;

private slots:
  void initTestCase() {
    m_root = m_dir.path() + QLatin1Char('/');
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_root + QStringLiteral("QBRX.db"), questions > 0 ? questions : 100000, 7);
    m_plain = m_root + QStringLiteral("plain.sqlite");
    ExportBank(m_root + QStringLiteral("QBRX.db"), m_plain);
  }

  void startupSequence() {
    QBENCHMARK {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, m_root), StartupResult::Opened);
      LoadSystemParameters(dm);
    }
  }

  // The parts of the sequence, to see where the time goes.
  void partOpenThroughShim() {
    QBENCHMARK {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, m_root), StartupResult::Opened);
    }
  }

  void partLoadParameters() {
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, m_root), StartupResult::Opened);
    QBENCHMARK { LoadSystemParameters(dm); }
  }

  void partInstanceLock() {
    QBENCHMARK {
      InstanceLock lock;
      QCOMPARE(lock.acquire(m_root), InstanceLock::Result::Acquired);
    }
  }

  void plainOpenFloor() {
    QBENCHMARK { plainOpen(); }
  }

  // The two side by side: alternating pairs, so that the load of a shared
  // machine falls on both alike; the ratio of the medians is printed.
  void startupAgainstPlainOpen() {
    const int pairs = 3000;
    std::vector<qint64> startup, plain;
    startup.reserve(pairs);
    plain.reserve(pairs);
    QElapsedTimer t;
    for (int i = 0; i < pairs; ++i) {
      t.start();
      {
        TDataModule1 dm;
        QCOMPARE(OpenBankAtStartup(dm, m_root), StartupResult::Opened);
        LoadSystemParameters(dm);
      }
      startup.push_back(t.nsecsElapsed());
      t.start();
      plainOpen();
      plain.push_back(t.nsecsElapsed());
    }
    auto median = [](std::vector<qint64> &v) {
      std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
      return double(v[v.size() / 2]);
    };
    const double s = median(startup), p = median(plain);
    qInfo("start-up %.1f us, plain open %.1f us, ratio %.2f (medians of %d alternating pairs)", s / 1000, p / 1000,
          s / p, pairs);
  }

private:
  void plainOpen() {
    TADOConnection c;
    c.OpenPlain(m_plain);
    TADOQuery q(c, QStringLiteral("q"));
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    q.Open();
  }
};

QBRX_TEST_MAIN(BenchStartup)
#include "bench_startup.moc"
