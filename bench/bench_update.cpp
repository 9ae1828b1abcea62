// The online update with a 50 MB bank archive on loopback, beside its
// floor: the same GET of the bank archive into a file plus a plain copy of
// the extracted bank with fsync. The update also fetches the version file
// and the two small archives, checks the archive and the bank, keeps a
// backup, carries the history over and reopens the bank. While it runs, a
// heartbeat timer measures the longest stall of the event loop.

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "HttpTestServer.h"
#include "Interleaved.h"
#include "UpdateFixture.h"
#include "maintenance/UpdateJob.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "store/BankBuilder.h"
#include "store/DM.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include "app/PaperState.h"

#include <QtTest>
#include <unistd.h>

namespace {

// The demo bank of version 2026.02 padded to about 50 MB with tips.
QByteArray bigBank() {
  QStringList texts;
  for (const QString &file : TestEnv::demoSqlFiles()) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
      qFatal("demo SQL");
    texts << QString::fromUtf8(f.readAll());
  }
  texts << QStringLiteral("UPDATE 系统参数 SET 参数值='2026.02' WHERE 参数名='题库版本';");
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("QBRX.db"));
  BuildBankFromTexts(path, texts, true, [](TADOConnection &c) {
    TADOQuery q(c, QStringLiteral("pad"));
    q.SQL.Add(QStringLiteral("INSERT INTO 技巧说明(所属编号,技巧内容) SELECT value, hex(randomblob(5000)) FROM "
                             "generate_series(1,5000)"));
    try {
      q.ExecSQL();
    } catch (const std::exception &) {
      // No generate_series in this SQLite: a recursive count instead.
      TADOQuery r(c, QStringLiteral("pad"));
      r.SQL.Add(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) "
                               "INSERT INTO 技巧说明(所属编号,技巧内容) SELECT i, hex(randomblob(5000)) FROM n"));
      r.ExecSQL();
    }
  });
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    qFatal("big bank");
  return f.readAll();
}

} // namespace

class BenchUpdate : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

private slots:
  void updateBesideItsFloor() {
    const QByteArray bank = bigBank();
    qInfo("bank %.1f MB", bank.size() / 1e6);
    // The server answers from a thread of its own, as another process would.
    HttpTestServer server;
    UpdateFixture::serveNewer(server, bank);
    QThread serverThread;
    server.moveToThread(&serverThread);
    serverThread.start();
    struct Stop {
      QThread &t;
      HttpTestServer &s;
      ~Stop() {
        QMetaObject::invokeMethod(&s, [this] { s.moveToThread(QCoreApplication::instance()->thread()); },
                                  Qt::BlockingQueuedConnection);
        t.quit();
        t.wait();
      }
    } stop{serverThread, server};
    QNetworkAccessManager network;
    QTemporaryDir scratch;
    const QString extracted = scratch.filePath(QStringLiteral("extracted.db"));
    {
      QFile f(extracted);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(bank);
    }
    FakeDialogs dialogs;
    dialogs.defaultAnswer = true;
    std::vector<qint64> stalls; // the longest of each update

    const auto update = [&] {
      OpenedBank old;
      QFile::copy(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), old.dir.path(QStringLiteral("libunrar.so")));
      RecordingPresenter presenter;
      AppEvents events;
      AppContext context{old.dm, ProgramDir(old.dir.root()), {}, presenter, paperState(), events, nullptr};
      UpdateJob job(context);
      job.baseUrl = server.url(QStringLiteral("/update/"));
      job.storedVersion = QStringLiteral("2026.01");
      qint64 worstStallMs = 0;
      QElapsedTimer beat;
      QTimer heart;
      heart.setInterval(5);
      QObject::connect(&heart, &QTimer::timeout, [&] {
        worstStallMs = std::max(worstStallMs, beat.restart());
      });
      QSignalSpy ended(&job, &UpdateJob::ended);
      beat.start();
      heart.start();
      job.start();
      QVERIFY(ended.wait(120000));
      heart.stop();
      stalls.push_back(worstStallMs);
      QVERIFY(job.updated());
    };
    const auto floor = [&] {
      QFile out(scratch.filePath(QStringLiteral("get.rar")));
      QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QNetworkReply *reply = network.get(QNetworkRequest(QUrl(server.url(QStringLiteral("/update/QBRX.rar")))));
      QObject::connect(reply, &QNetworkReply::readyRead, [&] { out.write(reply->readAll()); });
      QSignalSpy done(reply, &QNetworkReply::finished);
      QVERIFY(done.wait(120000));
      out.write(reply->readAll());
      out.close();
      reply->deleteLater();
      const QString copy = scratch.filePath(QStringLiteral("copy.db"));
      QFile::remove(copy);
      QVERIFY(QFile::copy(extracted, copy));
      QFile c(copy);
      QVERIFY(c.open(QIODevice::ReadWrite));
      QCOMPARE(::fsync(c.handle()), 0);
    };
    reportInterleaved(QStringLiteral("update 50 MB"), update, floor, 5);
    QString list;
    for (qint64 s : stalls)
      list += QString::number(s) + QStringLiteral(" ");
    qInfo("longest event-loop stall of each update (the first warms up): %s ms", qPrintable(list));
  }
};

QBRX_TEST_MAIN(BenchUpdate)
#include "bench_update.moc"
