#pragma once
// A throw-away PostgreSQL feedback server for tests: a cluster in a temporary
// folder made and started by scripts/feedback-server.sh (as the user postgres
// when the tests run as root) on a free port of 127.0.0.1, with the role
// qbrx, the database qbrx_feedback and the table ErrorReport. Stopped and
// removed by the destructor.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class PgServer {
public:
  PgServer(); // starts the server; check isRunning() and errorString()
  ~PgServer();
  PgServer(const PgServer &) = delete;
  PgServer &operator=(const PgServer &) = delete;

  bool start(); // again after stop(); the data stay
  void stop();
  bool isRunning() const { return m_running; }
  QString errorString() const { return m_error; }
  quint16 port() const { return m_port; }

  // The connection string the program uses for this server.
  QString conninfo() const;

  // Runs a statement as qbrx in qbrx_feedback. query() gives every row with
  // its cells as text (SQL null as a null QString); on an error it gives no
  // rows and errorString() says why.
  QList<QStringList> query(const QString &sql);
  bool exec(const QString &sql);

  // A TCP port of 127.0.0.1 that nothing listens on at the moment.
  static quint16 freePort();
  // scripts/feedback-server.sh of the source tree.
  static QString scriptPath();

private:
  bool runScript(const QString &command);

  QTemporaryDir m_dir;
  quint16 m_port = 0;
  bool m_running = false;
  QString m_error;
};
