// Start-up cost on a large bank: unmask, open through the shim, mask through
// the connection and load the parameters, beside the floor of a plain open
// of the same SQLite image with no header and no masking.

#include "TestEnv.h"
#include "BankSynth.h"
#include "store/BankBuilder.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QTemporaryDir>
#include <QtTest>

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

  void plainOpenFloor() {
    QBENCHMARK {
      TADOConnection c;
      c.OpenPlain(m_plain);
      TADOQuery q(c, QStringLiteral("q"));
      q.SQL.Add(QStringLiteral("SELECT count(*) FROM sqlite_master"));
      q.Open();
    }
  }
};

QBRX_TEST_MAIN(BenchStartup)
#include "bench_startup.moc"
