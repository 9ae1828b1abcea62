#include "mainwin/FeedbackStore.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <libpq-fe.h>
#include <memory>
#include <poll.h>

namespace {

constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;

FeedbackStore::Result failure(const QString &text) { return {false, text.trimmed()}; }
FeedbackStore::Result failure(PGconn *conn) { return failure(QString::fromUtf8(PQerrorMessage(conn))); }

// The connect_timeout to use: the string's own when it is 1 to 5 seconds,
// otherwise the maximum. Empty text when the string does not parse.
QByteArray connectSeconds(const QByteArray &conninfo, QString *error) {
  char *message = nullptr;
  PQconninfoOption *options = PQconninfoParse(conninfo.constData(), &message);
  if (!options) {
    *error = message ? QString::fromUtf8(message) : QStringLiteral("invalid connection string");
    PQfreemem(message);
    return {};
  }
  int seconds = FeedbackStore::MaxConnectSeconds;
  for (PQconninfoOption *o = options; o->keyword; ++o) {
    if (qstrcmp(o->keyword, "connect_timeout") == 0 && o->val) {
      bool ok = false;
      const int given = QByteArray(o->val).trimmed().toInt(&ok);
      if (ok && given > 0 && given < seconds)
        seconds = given;
    }
  }
  PQconninfoFree(options);
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

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

} // namespace

FeedbackStore::Result FeedbackStore::insert(const FeedbackRow &row) const {
  const QByteArray conninfo = m_conninfo.toUtf8();
  if (m_conninfo.trimmed().isEmpty())
    return failure(QStringLiteral("no connection string for the feedback database"));
  QString parseError;
  const QByteArray seconds = connectSeconds(conninfo, &parseError);
  if (seconds.isEmpty())
    return failure(parseError);

  // The string comes first; the entries after it override what it says, so
  // the deadline and the encoding are always ours.
  const char *keywords[] = {"dbname", "connect_timeout", "client_encoding", "fallback_application_name", nullptr};
  const char *values[] = {conninfo.constData(), seconds.constData(), "UTF8", "qbrx", nullptr};
  const QDeadlineTimer connectDeadline(seconds.toInt() * 1000);
  Connection conn(PQconnectStartParams(keywords, values, 1), &PQfinish);
  if (!conn)
    return failure(QStringLiteral("out of memory"));
  if (PQstatus(conn.get()) == CONNECTION_BAD)
    return failure(conn.get());

  // Non-blocking connect: libpq's connect_timeout only guards its blocking
  // calls, so the deadline is kept here.
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (state != PGRES_POLLING_OK) {
    if (state == PGRES_POLLING_FAILED)
      return failure(conn.get());
    if (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
      const int fd = PQsocket(conn.get());
      if (fd < 0)
        return failure(conn.get());
      if (!waitSocket(fd, state == PGRES_POLLING_READING, state == PGRES_POLLING_WRITING, connectDeadline))
        return failure(QStringLiteral("timeout expired while connecting to the feedback database"));
    }
    state = PQconnectPoll(conn.get());
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

  const QDeadlineTimer statementDeadline(StatementTimeoutMs);
  const int fd = PQsocket(conn.get());
  if (PQsetnonblocking(conn.get(), 1) != 0 ||
      !PQsendQueryParams(conn.get(), sql, 5, paramTypes, paramValues, nullptr, nullptr, 0))
    return failure(conn.get());
  for (;;) {
    const int pending = PQflush(conn.get());
    if (pending == 0)
      break;
    if (pending < 0)
      return failure(conn.get());
    if (!waitSocket(fd, true, true, statementDeadline))
      return failure(QStringLiteral("timeout expired while sending the report"));
    if (!PQconsumeInput(conn.get()))
      return failure(conn.get());
  }

  QString error;
  bool inserted = false;
  for (;;) {
    while (PQisBusy(conn.get())) {
      if (!waitSocket(fd, true, false, statementDeadline))
        return failure(QStringLiteral("timeout expired while waiting for the feedback database"));
      if (!PQconsumeInput(conn.get()))
        return failure(conn.get());
    }
    PGresult *result = PQgetResult(conn.get());
    if (!result)
      break;
    if (PQresultStatus(result) == PGRES_COMMAND_OK)
      inserted = true;
    else if (error.isEmpty())
      error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
  }
  if (!error.isEmpty())
    return failure(error);
  if (!inserted)
    return failure(QStringLiteral("the feedback database gave no result"));
  return {true, QString()};
}

FeedbackStore::Result FeedbackStore::insertWaiting(const FeedbackRow &row) const {
  // The worker gets its own copies and hands back one result when it ends.
  auto result = std::make_shared<Result>();
  QThread *worker = QThread::create([result, store = *this, row] { *result = store.insert(row); });
  QEventLoop loop;
  QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  // insert() keeps its own deadlines, except while the system resolves a
  // host name before connecting. A resolver that hangs must not hold the
  // learner: past the deadlines the worker is left to end on its own (it
  // then fails at once, its connect deadline having passed, and writes
  // nothing).
  QTimer cap;
  cap.setSingleShot(true);
  QObject::connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
  cap.start(MaxConnectSeconds * 1000 + StatementTimeoutMs + 1000);
  worker->start();
  loop.exec();
  if (!worker->isFinished()) {
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    return failure(QStringLiteral("timeout expired while looking up the feedback server"));
  }
  worker->wait();
  delete worker;
  return *result;
}
