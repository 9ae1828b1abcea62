// Sending an error report: one row into a local PostgreSQL server (connect,
// INSERT, disconnect), and the time until a failure is known when nothing
// listens on the port and when a server accepts but never answers (bounded
// by the 5 s connect deadline).

#include "PgServer.h"
#include "TestEnv.h"
#include "feedback/FeedbackStore.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>

class BenchFeedback : public QObject {
  Q_OBJECT
  std::unique_ptr<PgServer> m_pg;

  static FeedbackRow row() {
    FeedbackRow r;
    r.SubjectID = 42;
    r.ErrorInfo = QStringLiteral("解题思路与题干不符,试题有错别字");
    r.OtherInfo = QString(2000, QChar(0x9519));
    r.Status = QStringLiteral("提交");
    r.LibraryName = QStringLiteral("Venqor考试软件");
    return r;
  }

private slots:
  void initTestCase() {
    m_pg = std::make_unique<PgServer>();
    QVERIFY2(m_pg->isRunning(), qPrintable(m_pg->errorString()));
  }

  void sendReport() {
    const FeedbackStore store(m_pg->conninfo());
    const FeedbackRow r = row();
    QBENCHMARK {
      const auto result = store.insertWaiting(r);
      QVERIFY2(result.ok, qPrintable(result.error));
    }
  }

  void nothingListens() {
    const FeedbackStore store(
        QStringLiteral("host=127.0.0.1 port=%1 dbname=qbrx_feedback user=qbrx connect_timeout=5").arg(PgServer::freePort()));
    const FeedbackRow r = row();
    QBENCHMARK {
      QVERIFY(!store.insertWaiting(r).ok);
    }
  }

  void serverNeverAnswers() {
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> held;
    connect(&silent, &QTcpServer::newConnection, [&] {
      while (QTcpSocket *s = silent.nextPendingConnection())
        held << s;
    });
    const FeedbackStore store(
        QStringLiteral("host=127.0.0.1 port=%1 dbname=qbrx_feedback user=qbrx connect_timeout=5").arg(silent.serverPort()));
    const FeedbackRow r = row();
    QBENCHMARK_ONCE {
      QVERIFY(!store.insertWaiting(r).ok);
    }
    qDeleteAll(held);
  }
};

QBRX_TEST_MAIN(BenchFeedback)
#include "bench_feedback.moc"
