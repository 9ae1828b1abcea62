#include "HttpTestServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

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
  head += "Content-Type: " + r.contentType + "\r\nContent-Length: " + QByteArray::number(r.body.size()) + "\r\n\r\n";
  s->write(head);
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
  }
}
