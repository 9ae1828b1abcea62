#include "HttpTestServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

HttpTestServer::HttpTestServer() : m_server(new QTcpServer(this)) {
  if (!m_server->listen(QHostAddress::LocalHost, 0))
    qFatal("the test server cannot listen on loopback");
  connect(m_server, &QTcpServer::newConnection, this, &HttpTestServer::onConnection);
}

HttpTestServer::~HttpTestServer() = default;

quint16 HttpTestServer::port() const { return m_server->serverPort(); }

QString HttpTestServer::url(const QString &path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

QStringList HttpTestServer::paths() const {
  QStringList out;
  for (const Request &r : requests)
    out << QString::fromUtf8(r.path);
  return out;
}

void HttpTestServer::onConnection() {
  while (QTcpSocket *s = m_server->nextPendingConnection()) {
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    auto *buffer = new QByteArray;
    connect(s, &QObject::destroyed, [buffer] { delete buffer; });
    connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
      buffer->append(s->readAll());
      const qsizetype end = buffer->indexOf("\r\n\r\n");
      if (end < 0)
        return;
      const QList<QByteArray> lines = buffer->left(end).split('\n');
      buffer->clear();
      Request req;
      const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
      req.path = first.value(1);
      for (int i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
          req.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
      }
      requests << req;
      answer(s, req);
    });
  }
}

void HttpTestServer::answer(QTcpSocket *s, const Request &req) {
  Route r;
  if (routes.contains(req.path)) {
    r = routes.value(req.path);
  } else {
    r.status = 404;
    r.contentType = "text/html";
    r.body = "<html><body><h1>404 Not Found</h1></body></html>";
  }
  QByteArray head = "HTTP/1.1 " + QByteArray::number(r.mode == Mode::Redirect ? 302 : r.status) + " " +
                    (r.status == 200 ? "OK" : "Error") + "\r\nConnection: close\r\n";
  if (r.mode == Mode::Redirect) {
    s->write(head + "Location: " + r.location + "\r\nContent-Length: 0\r\n\r\n");
    s->disconnectFromHost();
    return;
  }
  head += "Content-Type: " + r.contentType + "\r\n";
  if (r.mode != Mode::Endless)
    head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
  s->write(head + "\r\n");
  switch (r.mode) {
  case Mode::Serve:
    s->write(r.body);
    s->disconnectFromHost();
    break;
  case Mode::Stall:
    s->write(r.body.left(r.sendBytes)); // and nothing more: the socket stays open
    break;
  case Mode::CutShort:
    s->write(r.body.left(r.sendBytes));
    s->disconnectFromHost();
    break;
  case Mode::Redirect:
    break;
  case Mode::Trickle:
    trickle(s, r);
    break;
  case Mode::Endless:
    endless(s, r);
    break;
  }
}

void HttpTestServer::trickle(QTcpSocket *s, const Route &r) {
  auto *timer = new QTimer(s); // ends with the socket
  auto sent = std::make_shared<qsizetype>(0);
  const qsizetype step = r.sendBytes > 0 ? qsizetype(r.sendBytes) : 1;
  connect(timer, &QTimer::timeout, s, [s, timer, sent, step, body = r.body] {
    if (*sent >= body.size()) {
      timer->stop();
      s->disconnectFromHost();
      return;
    }
    s->write(body.mid(*sent, step));
    *sent += step;
  });
  timer->start(r.intervalMs);
}

void HttpTestServer::endless(QTcpSocket *s, const Route &r) {
  const qint64 most = r.sendBytes > 0 ? r.sendBytes : qint64(4) << 30;
  const QByteArray block(256 * 1024, 'x');
  auto sent = std::make_shared<qint64>(0);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  const auto more = [s, block, sent, clock, most, limitMs = r.sendMs] {
    if (s->state() != QAbstractSocket::ConnectedState)
      return;
    // A few blocks queued at a time: the client's reading paces the rest.
    while (s->bytesToWrite() < 4 * block.size()) {
      if (*sent >= most || clock->elapsed() > limitMs) {
        s->disconnectFromHost();
        return;
      }
      const qint64 n = qMin<qint64>(block.size(), most - *sent);
      s->write(block.constData(), n);
      *sent += n;
    }
  };
  connect(s, &QTcpSocket::bytesWritten, s, more);
  more();
}
