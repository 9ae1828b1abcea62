#include "maintenance/UpdateTransfer.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unistd.h>

const QByteArray UpdateTransfer::Accept = QByteArrayLiteral("text/html, */*");
const QByteArray UpdateTransfer::UserAgent = QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)");

namespace {

QString seconds(qint64 ms) { return QString::number(double(ms) / 1000.0, 'g', 3); }

QString duration(qint64 ms) {
  return ms < 60 * 1000 ? QStringLiteral("%1 秒").arg(seconds(ms))
                        : QStringLiteral("%1 分钟").arg(QString::number(double(ms) / 60000.0, 'g', 3));
}

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

UpdateTransfer::UpdateTransfer(QNetworkAccessManager &network, QObject *parent) : QObject(parent), m_network(network) {
  connect(&m_window, &QTimer::timeout, this, &UpdateTransfer::onWindow);
  m_deadline.setSingleShot(true);
  connect(&m_deadline, &QTimer::timeout, this, [this] {
    fail(QStringLiteral("下载超过 %1仍未完成，已停止。").arg(duration(m_limits.deadlineMs)));
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

QString UpdateTransfer::folder() const { return QFileInfo(m_target).absolutePath(); }

void UpdateTransfer::start(const QUrl &url, const QString &target) {
  m_url = url;
  m_target = target;
  m_received = 0;
  m_receivedAtWindow = 0;
  m_checkedDiskAt = 0;
  m_failure.clear();
  m_statusChecked = false;
  if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
    QMetaObject::invokeMethod(
        this, [this] { done(false, QStringLiteral("升级地址 %1 不是 http 或 https 地址。").arg(m_url.toString())); },
        Qt::QueuedConnection);
    return;
  }
  m_file.setFileName(target + QStringLiteral(".part"));
  // Unbuffered: every chunk goes to the disk by write(2) here, so a full
  // disk is told by its errno.
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
    const int error = errno;
    const QString why = IsDiskFullErrno(error) ? DiskFullReason(folder(), FreeDiskBytes(folder()))
                                               : QStringLiteral("无法写入 %1：%2").arg(m_file.fileName(), m_file.errorString());
    QMetaObject::invokeMethod(
        this, [this, why] { done(false, QStringLiteral("下载 %1 失败：%2").arg(m_url.fileName(), why)); },
        Qt::QueuedConnection);
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
  connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpdateTransfer::onMetaData);
  m_window.start(m_limits.windowMs);
  m_deadline.start(int(qMin<qint64>(m_limits.deadlineMs, std::numeric_limits<int>::max())));
}

void UpdateTransfer::abort() {
  if (m_reply)
    fail(QStringLiteral("升级已取消。"));
}

// Too few bytes since the last tick: stalled, or too slow to finish.
void UpdateTransfer::onWindow() {
  if (!m_reply)
    return;
  const qint64 moved = m_received - m_receivedAtWindow;
  if (moved < m_limits.minBytes) {
    fail(QStringLiteral("服务器在 %1 秒内只送来 %2 字节（至少应有 %3 字节），传输停滞或太慢。")
             .arg(seconds(m_limits.windowMs))
             .arg(moved)
             .arg(m_limits.minBytes));
    return;
  }
  m_receivedAtWindow = m_received;
}

// The headers: a length over the limit or over the room on the disk ends
// the transfer before its body.
void UpdateTransfer::onMetaData() {
  if (!m_reply || !m_failure.isEmpty())
    return;
  const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QVariant header = m_reply->header(QNetworkRequest::ContentLengthHeader);
  if (status < 200 || status > 299 || !header.isValid())
    return;
  const qint64 length = header.toLongLong();
  if (m_limits.maxBytes >= 0 && length > m_limits.maxBytes) {
    fail(QStringLiteral("文件有 %1，超过上限 %2。").arg(ShownSize(length), ShownSize(m_limits.maxBytes)));
    return;
  }
  const qint64 available = FreeDiskBytes(folder());
  if (available >= 0 && available < length + m_limits.diskReserve)
    fail(DiskFullReason(folder(), available, length + m_limits.diskReserve));
}

void UpdateTransfer::onReadyRead() {
  if (!m_reply)
    return;
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
  if (m_limits.maxBytes >= 0 && m_received + chunk.size() > m_limits.maxBytes) {
    fail(QStringLiteral("文件大于上限 %1。").arg(ShownSize(m_limits.maxBytes)));
    return;
  }
  if (!writeChunk(chunk))
    return;
  m_received += chunk.size();
  if (m_received - m_checkedDiskAt >= UpdateLimit::kDiskCheckBytes) {
    m_checkedDiskAt = m_received;
    const qint64 available = FreeDiskBytes(folder());
    if (available >= 0 && available < m_limits.diskReserve) {
      fail(DiskFullReason(folder(), available));
      return;
    }
  }
  const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
  emit progress(m_received, length.isValid() ? length.toLongLong() : -1);
}

bool UpdateTransfer::writeChunk(const QByteArray &chunk) {
  const char *p = chunk.constData();
  qsizetype left = chunk.size();
  while (left > 0) {
    const ssize_t w = ::write(m_file.handle(), p, size_t(left));
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0) {
      const int error = w < 0 ? errno : ENOSPC; // nothing written: no room
      fail(IsDiskFullErrno(error) ? DiskFullReason(folder(), FreeDiskBytes(folder()))
                                  : QStringLiteral("无法写入 %1：%2").arg(m_file.fileName(), errnoText(error)));
      return false;
    }
    p += w;
    left -= w;
  }
  return true;
}

void UpdateTransfer::fail(const QString &why) {
  m_failure = why;
  if (m_reply)
    m_reply->abort(); // finished() follows at once
}

void UpdateTransfer::onFinished() {
  if (!m_reply)
    return;
  m_window.stop();
  m_deadline.stop();
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
  m_file.close();
  if (std::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0) {
    const QString why = errnoText(errno);
    m_file.remove();
    return done(false, QStringLiteral("无法保存 %1：%2").arg(m_target, why));
  }
  done(true, QString());
}

void UpdateTransfer::done(bool ok, const QString &error) { emit finished(ok, error); }
