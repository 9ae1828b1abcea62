#include "feedback/FeedbackStore.h"
#include "feedback/LibPq.h"
#include "store/BankWorker.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <mutex>
#include <poll.h>

namespace {

// Every call below comes after insert() has loaded the library.
const LibPq &pq() { return LibPq::loaded(); }

constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;

FeedbackStore::Result failure(const QString &text) { return {false, text.trimmed()}; }
FeedbackStore::Result failure(PGconn *conn) { return failure(QString::fromUtf8(pq().PQerrorMessage(conn))); }

// The connect_timeout to use: the string's own when it is 1 second up to the
// maximum, otherwise the maximum. Empty text when the string does not parse.
QByteArray connectSeconds(const QByteArray &conninfo, int maxSeconds, QString *error) {
  char *message = nullptr;
  PQconninfoOption *options = pq().PQconninfoParse(conninfo.constData(), &message);
  if (!options) {
    *error = message ? QString::fromUtf8(message) : QStringLiteral("invalid connection string");
    pq().PQfreemem(message);
    return {};
  }
  int seconds = maxSeconds;
  for (PQconninfoOption *o = options; o->keyword; ++o) {
    if (qstrcmp(o->keyword, "connect_timeout") == 0 && o->val) {
      bool ok = false;
      const int given = QByteArray(o->val).trimmed().toInt(&ok);
      if (ok && given > 0 && given < seconds)
        seconds = given;
    }
  }
  pq().PQconninfoFree(options);
  return QByteArray::number(seconds);
}

// Waits until the socket is ready for reading and/or writing. False when the
// deadline passes first.
bool waitSocket(int fd, bool forRead, bool forWrite, const QDeadlineTimer &deadline) {
  pollfd p{};
  p.fd = fd;
  p.events = short((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
  for (;;) {
    const qint64 left = deadline.remainingTime();
    if (left == 0)
      return false;
    const int rc = ::poll(&p, 1, int(qMin<qint64>(left, 1000 * 60)));
    if (rc > 0)
      return true; // readiness, or an error the next libpq call reports
    if (rc < 0 && errno != EINTR)
      return false;
  }
}

using Connection = std::unique_ptr<PGconn, void (*)(PGconn *)>;

// Asks the server to stop the statement running on `conn`. PQfinish alone
// would not: a statement the server is still working on completes.
void cancelStatement(PGconn *conn) {
  if (PGcancel *c = pq().PQgetCancel(conn)) {
    char message[256];
    pq().PQcancel(c, message, sizeof message);
    pq().PQfreeCancel(c);
  }
}

} // namespace

// The worker's statement as another thread sees it. PQcancel may be called
// from any thread.
class FeedbackStore::Cancel {
public:
  ~Cancel() { disarm(); }
  // Before the statement is sent; false once cancelled (nothing is sent).
  bool arm(PGconn *conn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled)
      return false;
    m_handle = pq().PQgetCancel(conn);
    return true;
  }
  // After the statement has ended.
  void disarm() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_handle)
      pq().PQfreeCancel(m_handle);
    m_handle = nullptr;
  }
  void cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_handle) {
      char message[256];
      pq().PQcancel(m_handle, message, sizeof message);
    }
  }

private:
  std::mutex m_mutex;
  PGcancel *m_handle = nullptr;
  bool m_cancelled = false;
};

FeedbackStore::FeedbackStore(const QString &conninfo) : FeedbackStore(conninfo, Limits()) {}

FeedbackStore::Result FeedbackStore::insert(const FeedbackRow &row) const {
  Cancel cancel;
  return insert(row, cancel);
}

FeedbackStore::Result FeedbackStore::insert(const FeedbackRow &row, Cancel &cancel) const {
  const QByteArray conninfo = m_conninfo.toUtf8();
  if (m_conninfo.trimmed().isEmpty())
    return failure(QStringLiteral("no connection string for the feedback database"));
  QString parseError;
  if (!LibPq::load(&parseError))
    return failure(parseError);
  const QByteArray seconds = connectSeconds(conninfo, m_limits.connectSeconds, &parseError);
  if (seconds.isEmpty())
    return failure(parseError);

  // The string comes first; the entries after it override what it says, so
  // the deadline and the encoding are always ours.
  const char *keywords[] = {"dbname", "connect_timeout", "client_encoding", "fallback_application_name", nullptr};
  const char *values[] = {conninfo.constData(), seconds.constData(), "UTF8", "qbrx", nullptr};
  const QDeadlineTimer connectDeadline(seconds.toInt() * 1000);
  Connection conn(pq().PQconnectStartParams(keywords, values, 1), pq().PQfinish);
  if (!conn)
    return failure(QStringLiteral("out of memory"));
  if (pq().PQstatus(conn.get()) == CONNECTION_BAD)
    return failure(conn.get());

  // Non-blocking connect: libpq's connect_timeout only guards its blocking
  // calls, so the deadline is kept here.
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (state != PGRES_POLLING_OK) {
    if (state == PGRES_POLLING_FAILED)
      return failure(conn.get());
    if (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
      const int fd = pq().PQsocket(conn.get());
      if (fd < 0)
        return failure(conn.get());
      if (!waitSocket(fd, state == PGRES_POLLING_READING, state == PGRES_POLLING_WRITING, connectDeadline))
        return failure(QStringLiteral("timeout expired while connecting to the feedback database"));
    }
    state = pq().PQconnectPoll(conn.get());
  }

  // Every value travels as a parameter: nothing of the text is parsed as SQL.
  // A text column cannot hold U+0000, so that character alone is left out.
  auto text = [](QString s) { return s.remove(QChar(0)).toUtf8(); };
  const QByteArray params[5] = {QByteArray::number(row.SubjectID), text(row.ErrorInfo), text(row.OtherInfo),
                                text(row.Status), text(row.LibraryName)};
  const char *paramValues[5];
  for (int i = 0; i < 5; ++i)
    paramValues[i] = params[i].constData();
  const Oid paramTypes[5] = {kInt4Oid, kTextOid, kTextOid, kTextOid, kTextOid};
  static const char sql[] =
      "INSERT INTO ErrorReport(SubjectID, ErrorInfo, OtherInfo, Status, LibraryName) VALUES ($1, $2, $3, $4, $5)";

  const QDeadlineTimer statementDeadline(m_limits.statementMs);
  const int fd = pq().PQsocket(conn.get());
  if (!cancel.arm(conn.get()))
    return failure(QStringLiteral("given up before the report was sent"));
  struct Disarm {
    Cancel &c;
    ~Disarm() { c.disarm(); }
  } disarm{cancel};
  if (pq().PQsetnonblocking(conn.get(), 1) != 0 ||
      !pq().PQsendQueryParams(conn.get(), sql, 5, paramTypes, paramValues, nullptr, nullptr, 0))
    return failure(conn.get());
  for (;;) {
    const int pending = pq().PQflush(conn.get());
    if (pending == 0)
      break;
    if (pending < 0)
      return failure(conn.get());
    if (!waitSocket(fd, true, true, statementDeadline)) {
      cancelStatement(conn.get());
      return failure(QStringLiteral("timeout expired while sending the report"));
    }
    if (!pq().PQconsumeInput(conn.get()))
      return failure(conn.get());
  }

  QString error;
  bool inserted = false;
  for (;;) {
    while (pq().PQisBusy(conn.get())) {
      if (!waitSocket(fd, true, false, statementDeadline)) {
        cancelStatement(conn.get());
        return failure(QStringLiteral("timeout expired while waiting for the feedback database"));
      }
      if (!pq().PQconsumeInput(conn.get()))
        return failure(conn.get());
    }
    PGresult *result = pq().PQgetResult(conn.get());
    if (!result)
      break;
    if (pq().PQresultStatus(result) == PGRES_COMMAND_OK)
      inserted = true;
    else if (error.isEmpty())
      error = QString::fromUtf8(pq().PQresultErrorMessage(result));
    pq().PQclear(result);
  }
  if (!error.isEmpty())
    return failure(error);
  if (!inserted)
    return failure(QStringLiteral("the feedback database gave no result"));
  return {true, QString()};
}

FeedbackStore::Result FeedbackStore::insertWaiting(const FeedbackRow &row) const {
  // The worker gets its own copies and hands back one result when it ends;
  // it frees itself, also when it ends after this function has returned. It
  // uses its own connection to the feedback server, never the bank.
  auto result = std::make_shared<Result>();
  auto cancel = std::make_shared<Cancel>();
  auto *worker =
      new BankWorker(nullptr, [result, cancel, store = *this, row] { *result = store.insert(row, *cancel); });
  QObject::connect(worker, &BankWorker::finished, worker, &QObject::deleteLater);
  bool finished = false;
  QEventLoop loop;
  QObject::connect(worker, &BankWorker::finished, &loop, [&finished, &loop] {
    finished = true;
    loop.quit();
  });
  // insert() keeps its own deadlines, except while the system resolves a
  // host name before connecting. A resolver that hangs must not hold the
  // learner: past the cap the worker is cancelled and left to end on its own
  // (its statement, if running, stops on the server; one not yet sent is
  // never sent).
  QTimer cap;
  cap.setSingleShot(true);
  QObject::connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
  cap.start(m_limits.capMs());
  worker->start();
  loop.exec();
  if (!finished) {
    cancel->cancel();
    return failure(QStringLiteral("timeout expired while waiting for the feedback server"));
  }
  return *result;
}
