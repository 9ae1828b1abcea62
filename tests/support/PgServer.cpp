#include "PgServer.h"
#include "TestEnv.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>

#include <libpq-fe.h>
#include <memory>

PgServer::PgServer() {
  // The server runs as another user when the tests run as root: it must be
  // able to enter the folder.
  QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
  // The port was free a moment ago; another process may take it before the
  // server binds it. Then the start fails and another port is tried.
  for (int attempt = 0; attempt < 5 && !m_running; ++attempt) {
    m_port = freePort();
    start();
  }
}

PgServer::~PgServer() { stop(); }

QString PgServer::scriptPath() { return TestEnv::sourceDir() + QStringLiteral("/scripts/feedback-server.sh"); }

quint16 PgServer::freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

bool PgServer::runScript(const QString &command) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QBRX_FEEDBACK_DATA"), m_dir.path() + QStringLiteral("/data"));
  env.insert(QStringLiteral("QBRX_FEEDBACK_PORT"), QString::number(m_port));
  p.setProcessEnvironment(env);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("bash"), {scriptPath(), command});
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    m_error = QStringLiteral("feedback-server.sh %1 did not finish").arg(command);
    return false;
  }
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    m_error = QStringLiteral("feedback-server.sh %1 failed: %2")
                  .arg(command, QString::fromLocal8Bit(p.readAll()).trimmed());
    return false;
  }
  return true;
}

bool PgServer::start() {
  if (!m_dir.isValid()) {
    m_error = QStringLiteral("no temporary folder");
    return false;
  }
  m_running = runScript(QStringLiteral("start"));
  return m_running;
}

void PgServer::stop() {
  if (m_running)
    runScript(QStringLiteral("stop"));
  m_running = false;
}

QString PgServer::conninfo() const {
  return QStringLiteral("host=127.0.0.1 port=%1 dbname=qbrx_feedback user=qbrx connect_timeout=5").arg(m_port);
}

QList<QStringList> PgServer::query(const QString &sql) {
  QList<QStringList> rows;
  std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(conninfo().toUtf8().constData()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    m_error = QString::fromUtf8(PQerrorMessage(conn.get()));
    return rows;
  }
  PQsetClientEncoding(conn.get(), "UTF8");
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.toUtf8().constData()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    m_error = QString::fromUtf8(PQresultErrorMessage(result.get()));
    return rows;
  }
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    QStringList row;
    for (int c = 0; c < PQnfields(result.get()); ++c)
      row << (PQgetisnull(result.get(), r, c) ? QString()
                                               : QString::fromUtf8(PQgetvalue(result.get(), r, c),
                                                                   PQgetlength(result.get(), r, c)));
    rows << row;
  }
  m_error.clear();
  return rows;
}

bool PgServer::exec(const QString &sql) {
  query(sql);
  return m_error.isEmpty();
}
