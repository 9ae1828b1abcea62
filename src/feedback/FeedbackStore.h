#pragma once
// The vendor's feedback database: a PostgreSQL server reached with libpq.
// One error report is one row of its table ErrorReport. The connection is
// made for each report and closed afterwards.

#include <QString>
#include <QtGlobal>

// The values of one ErrorReport row (ID is the server's).
struct FeedbackRow {
  qint32 SubjectID = 0;
  QString ErrorInfo;
  QString OtherInfo;
  QString Status;
  QString LibraryName;
};

class FeedbackStore {
public:
  struct Result {
    bool ok = false;
    QString error; // libpq's or our own text when !ok
  };

  // The longest wait for a connection, whatever the connection string says.
  static constexpr int MaxConnectSeconds = 5;
  // The longest wait for the server to answer the INSERT once connected.
  static constexpr int StatementTimeoutMs = 10000;
  // insertWaiting gives up this long after both deadlines could have passed:
  // time for the worker to notice its deadline and return.
  static constexpr int CapMarginMs = 1000;

  struct Limits {
    int connectSeconds = MaxConnectSeconds;
    int statementMs = StatementTimeoutMs;
    int capMarginMs = CapMarginMs;
    // The longest insertWaiting waits in all.
    int capMs() const { return connectSeconds * 1000 + statementMs + capMarginMs; }
  };

  // `conninfo` is a libpq connection string ("host=... port=... dbname=...").
  explicit FeedbackStore(const QString &conninfo);
  FeedbackStore(const QString &conninfo, Limits limits) : m_conninfo(conninfo), m_limits(limits) {}

  // Connects, inserts the row with a parameterised statement and
  // disconnects. Blocks the calling thread, but never longer than the connect
  // and statement deadlines. Uses only its own connection, so it may run on
  // any thread. A statement that outlives its deadline is cancelled on the
  // server before the failure is returned: a report said to have failed is
  // not stored later.
  Result insert(const FeedbackRow &row) const;

  // insert() on a worker thread while the calling thread keeps serving its
  // event loop (the window repaints, timers run), then the result. Returns a
  // failure after Limits::capMs() at the latest, even when a host name
  // lookup hangs; the worker's statement, if it has one running, is then
  // cancelled, and one not yet sent is never sent.
  Result insertWaiting(const FeedbackRow &row) const;

  // Shared by insertWaiting and its worker: stops the worker's statement.
  class Cancel;

private:
  Result insert(const FeedbackRow &row, Cancel &cancel) const;

  QString m_conninfo;
  Limits m_limits;
};
