#pragma once
// A small HTTP/1.1 server on loopback for the update tests, run by the
// test's own event loop. Each path answers as its route says: the body, a
// status with a page, a redirect, a stall after the headers (and some
// bytes), a body cut short of its announced length, a body trickled one
// byte at a time, or an endless body without a length. Unknown paths get a
// 404 page. Every request is recorded with its headers.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

class HttpTestServer : public QObject {
public:
  enum class Mode {
    Serve,
    Stall,
    CutShort,
    Redirect,
    Trickle, // the body's length announced, then one byte (or `sendBytes`)
             // every `intervalMs`
    Endless, // no length, "Connection: close", bytes as fast as the client
             // takes them: at most `sendBytes` (default 4 GiB) within
             // `sendMs` (default 120 s), then the connection is closed
  };
  struct Route {
    int status = 200;
    QByteArray body;
    Mode mode = Mode::Serve;
    qint64 sendBytes = 0; // Stall, CutShort: the body bytes sent; Trickle: per tick; Endless: the most
    QByteArray location;  // Redirect
    QByteArray contentType = "application/octet-stream";
    int intervalMs = 20000; // Trickle
    int sendMs = 120000;    // Endless
  };
  struct Request {
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
  };

  HttpTestServer();
  ~HttpTestServer() override;

  quint16 port() const;
  // "http://127.0.0.1:PORT" + path
  QString url(const QString &path) const;

  void serve(const QByteArray &path, const QByteArray &body) { Route r; r.body = body; routes[path] = r; }
  void route(const QByteArray &path, const Route &r) { routes[path] = r; }

  QHash<QByteArray, Route> routes;
  QList<Request> requests;
  QStringList paths() const;

private:
  void onConnection();
  void answer(QTcpSocket *s, const Request &req);
  void trickle(QTcpSocket *s, const Route &r);
  void endless(QTcpSocket *s, const Route &r);
  QTcpServer *m_server;
};
