#include "maintenance/UpdateTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cerrno>
#include <cstdio>
#include <cstring>

const QByteArray UpdateTransfer::Accept = QByteArrayLiteral("text/html, */*");
const QByteArray UpdateTransfer::UserAgent = QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)");

UpdateTransfer::UpdateTransfer(QNetworkAccessManager &network, QObject *parent) : QObject(parent), m_network(network) {
  m_stall.setSingleShot(true);
  connect(&m_stall, &QTimer::timeout, this, [this] {
    fail(QStringLiteral("服务器 %1 秒没有送来数据。").arg(m_timeoutMs / 1000.0, 0, 'g', 3));
  });
}

UpdateTransfer::~UpdateTransfer() {
  if (m_reply) {
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
  }
  if (m_file.isOpen()) {
    m_file.close();
    m_file.remove();
  }
}

void UpdateTransfer::start(const QUrl &url, const QString &target) {
  m_url = url;
  m_target = target;
  m_received = 0;
  m_failure.clear();
  m_statusChecked = false;
  if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
    QMetaObject::invokeMethod(
        this, [this] { done(false, QStringLiteral("升级地址 %1 不是 http 或 https 地址。").arg(m_url.toString())); },
        Qt::QueuedConnection);
    return;
  }
  m_file.setFileName(target + QStringLiteral(".part"));
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    const QString why = QStringLiteral("无法写入 %1：%2").arg(m_file.fileName(), m_file.errorString());
    QMetaObject::invokeMethod(this, [this, why] { done(false, why); }, Qt::QueuedConnection);
    return;
  }
  QNetworkRequest request(url);
  request.setRawHeader("Accept", Accept);
  request.setRawHeader("User-Agent", UserAgent);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  m_reply = m_network.get(request);
  // At most this much waits in memory: the rest stays with the socket until
  // it is written out, and no single write holds the window up for long.
  m_reply->setReadBufferSize(1 << 20);
  connect(m_reply, &QNetworkReply::readyRead, this, &UpdateTransfer::onReadyRead);
  connect(m_reply, &QNetworkReply::finished, this, &UpdateTransfer::onFinished);
  connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { m_stall.start(m_timeoutMs); });
  connect(m_reply, &QNetworkReply::redirected, this, [this] { m_stall.start(m_timeoutMs); });
  m_stall.start(m_timeoutMs);
}

void UpdateTransfer::abort() {
  if (m_reply)
    fail(QStringLiteral("升级已取消。"));
}

void UpdateTransfer::onReadyRead() {
  if (!m_reply)
    return;
  m_stall.start(m_timeoutMs);
  if (!m_failure.isEmpty()) {
    m_reply->readAll(); // an error page: read and dropped, never saved
    return;
  }
  if (!m_statusChecked) {
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
      m_failure = QStringLiteral("服务器回答 %1。").arg(status);
      m_reply->readAll();
      return;
    }
    m_statusChecked = true;
  }
  const QByteArray chunk = m_reply->readAll();
  if (m_maxBytes >= 0 && m_received + chunk.size() > m_maxBytes) {
    fail(QStringLiteral("文件大于 %1 字节。").arg(m_maxBytes));
    return;
  }
  if (m_file.write(chunk) != chunk.size()) {
    fail(QStringLiteral("无法写入 %1：%2").arg(m_file.fileName(), m_file.errorString()));
    return;
  }
  m_received += chunk.size();
  emit progress(m_received, m_reply->header(QNetworkRequest::ContentLengthHeader).isValid()
                                ? m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong()
                                : -1);
}

void UpdateTransfer::fail(const QString &why) {
  m_failure = why;
  if (m_reply)
    m_reply->abort(); // finished() follows at once
}

void UpdateTransfer::onFinished() {
  if (!m_reply)
    return;
  m_stall.stop();
  QNetworkReply *reply = m_reply;
  if (m_failure.isEmpty() && reply->error() == QNetworkReply::NoError)
    onReadyRead(); // what is still buffered
  m_reply.clear();
  reply->deleteLater();
  const QString file = m_url.fileName();
  const auto failWith = [&](const QString &why) {
    m_file.close();
    m_file.remove();
    done(false, QStringLiteral("下载 %1 失败：%2").arg(file, why));
  };
  if (!m_failure.isEmpty())
    return failWith(m_failure);
  if (reply->error() != QNetworkReply::NoError)
    return failWith(reply->errorString());
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status < 200 || status > 299)
    return failWith(QStringLiteral("服务器回答 %1。").arg(status));
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  if (length.isValid() && length.toLongLong() != m_received)
    return failWith(QStringLiteral("只收到 %1 字节，应为 %2 字节。").arg(m_received).arg(length.toLongLong()));
  if (!m_file.flush())
    return failWith(m_file.errorString());
  m_file.close();
  if (std::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0) {
    const QString why = QString::fromLocal8Bit(std::strerror(errno));
    m_file.remove();
    return done(false, QStringLiteral("无法保存 %1：%2").arg(m_target, why));
  }
  done(true, QString());
}

void UpdateTransfer::done(bool ok, const QString &error) { emit finished(ok, error); }
