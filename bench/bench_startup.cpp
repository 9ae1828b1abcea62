// Start-up cost on a large bank: the directory lock, unmask, open through the
// shim (defensive, with the schema check), mask through the connection and
// load the parameters, beside the floor of a plain open of the same SQLite
// image with no header, no masking and no check; the schema check's share of
// the start; and the start's queries under the statement budget.

#include "TestEnv.h"
#include "BankSynth.h"
#include "mainwin/StartPaper.h"
#include "store/BankBuilder.h"
#include "store/BankSchema.h"
#include "store/DM.h"
#include "store/BankFile.h"
#include "store/EncryptionMDB.h"
#include "store/InstanceLock.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <sqlite3.h>
#include <vector>

class BenchStartup : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QString m_root, m_plain;
  qint64 m_onceNs = 0;

private slots:
  void initTestCase() {
    // The program's schema texts are read once a process, at the first open.
    QElapsedTimer once;
    once.start();
    QVERIFY(!BankTableNames().isEmpty());
    m_onceNs = once.nsecsElapsed();
    m_root = m_dir.path() + QLatin1Char('/');
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_root + QStringLiteral("QBRX.db"), questions > 0 ? questions : 100000, 7);
    m_plain = m_root + QStringLiteral("plain.sqlite");
    ExportBank(m_root + QStringLiteral("QBRX.db"), m_plain);
    // A second program directory with the same bank, held open meanwhile.
    QDir().mkpath(m_root + QStringLiteral("held"));
    QFile::copy(m_root + QStringLiteral("QBRX.db"), m_root + QStringLiteral("held/QBRX.db"));
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
    const double s = median(startup), p = median(plain);
    qInfo("start-up %.1f us, plain open %.1f us, ratio %.2f (medians of %d alternating pairs)", s / 1000, p / 1000,
          s / p, pairs);
  }

  // What the checks add to a start. The open as it is (hardened, the
  // schema read and checked) in pairs with the open as it was (the same
  // file through the shim, the pragmas, a read of the schema); the start
  // without the checks is the start less the difference. The program's
  // schema texts are read once a process, at its first open.
  void checkedStartAgainstUnchecked() {
    const int pairs = 3000;
    std::vector<qint64> startup, checked, unchecked;
    const QString bank = m_root + QStringLiteral("held/QBRX.db");
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
      {
        TADOConnection c;
        c.Open(bank, QByteArray(kDatabasePassword), &kMaskingBlock);
      }
      checked.push_back(t.nsecsElapsed());
      t.start();
      {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(BankFile::openUri(bank, kDatabasePassword, &kMaskingBlock).constData(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr),
                 SQLITE_OK);
        sqlite3_busy_timeout(db, TADOConnection::kBusyTimeoutMs);
        for (const char *sql : {"PRAGMA journal_mode=DELETE", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=OFF",
                                "SELECT count(*) FROM sqlite_master"})
          QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
      }
      unchecked.push_back(t.nsecsElapsed());
    }
    const double s = median(startup), c = median(checked), u = median(unchecked);
    qInfo("start-up %.1f us; open with checks %.1f us, as it was %.1f us (schema texts read at the first open of a process, first-use costs of Qt included: %.1f us);"
          " start-up without the checks ~%.1f us; ratio %.3f (medians, %d rounds)",
          s / 1000, c / 1000, u / 1000, m_onceNs / 1000.0, (s - c + u) / 1000, s / (s - c + u), pairs);
  }

  // The start's queries (the chapter tree and the start paper, as the
  // worker reads them) on the large bank, with the statement budget armed
  // for every step and with none, in alternating pairs: the budget ends
  // none of them, and costs them next to nothing.
  void startQueriesUnderTheBudget() {
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, m_root + QStringLiteral("held/")), StartupResult::Opened);
    const int pairs = 15;
    std::vector<qint64> budgeted, free;
    QElapsedTimer t;
    for (int i = 0; i < pairs; ++i) {
      for (int budget : {kBankStatementBudgetMs, 0}) {
        dm.ADOConnection1.setStatementBudget(budget);
        t.start();
        PreparedBank bank = PrepareBank(dm, 0);
        (budget ? budgeted : free).push_back(t.nsecsElapsed());
        QVERIFY(!bank.error);
        QVERIFY(bank.page);
      }
    }
    const double b = median(budgeted), f = median(free);
    qInfo("start queries with the budget %.1f ms, without %.1f ms, ratio %.3f (medians of %d pairs)", b / 1e6,
          f / 1e6, b / f, pairs);
  }

  // The start's read on the worker thread as the window runs it (the
  // connection handed over, the read, the connection taken back), in
  // alternating pairs with the same read on the calling thread: what the
  // hand-over costs.
  void startPaperOnWorker() {
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, m_root + QStringLiteral("held/")), StartupResult::Opened);
    const int pairs = 15;
    std::vector<qint64> worker, direct;
    QElapsedTimer t;
    for (int i = 0; i < pairs; ++i) {
      t.start();
      {
        BankPreparation preparation(dm, 0);
        PreparedBank bank = preparation.take();
        worker.push_back(t.nsecsElapsed());
        QVERIFY(!bank.error);
        QVERIFY(bank.page);
      }
      t.start();
      PreparedBank bank = PrepareBank(dm, 0);
      direct.push_back(t.nsecsElapsed());
      QVERIFY(!bank.error);
    }
    const double w = median(worker), d = median(direct);
    qInfo("start paper on the worker %.1f ms, on the calling thread %.1f ms, ratio %.3f (medians of %d pairs)",
          w / 1e6, d / 1e6, w / d, pairs);
  }

private:
  static double median(std::vector<qint64> &v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return double(v[v.size() / 2]);
  }

  // Today's floor: the engine alone, no shim, no hardening, no check.
  void plainOpen() {
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(m_plain).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
};

QBRX_TEST_MAIN(BenchStartup)
#include "bench_startup.moc"
