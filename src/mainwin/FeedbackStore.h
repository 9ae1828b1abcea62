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

  // `conninfo` is a libpq connection string ("host=... port=... dbname=...").
  explicit FeedbackStore(const QString &conninfo) : m_conninfo(conninfo) {}

  // Connects, inserts the row with a parameterised statement and
  // disconnects. Blocks the calling thread, but never longer than the connect
  // and statement deadlines. Uses only its own connection, so it may run on
  // any thread.
  Result insert(const FeedbackRow &row) const;

  // insert() on a worker thread while the calling thread keeps serving its
  // event loop (the window repaints, timers run), then the result. Returns a
  // failure after MaxConnectSeconds + StatementTimeoutMs + 1 s at the latest,
  // even when a host name lookup hangs.
  Result insertWaiting(const FeedbackRow &row) const;

private:
  QString m_conninfo;
};
