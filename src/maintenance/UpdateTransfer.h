#pragma once
// One GET of the update into a file. The body goes to the disk as it
// arrives (never whole into memory), under TARGET.part, and takes the
// target's name only when it came complete with a success status: a 404
// page, a body cut short or a stalled transfer leave no file of that name.
// Redirects are followed (never from https to http); https works when the
// address says so.

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class UpdateTransfer : public QObject {
  Q_OBJECT
public:
  // The request headers of every update request.
  static const QByteArray Accept;    // "text/html, */*"
  static const QByteArray UserAgent; // "Mozilla/3.0 (compatible; Indy Library)"
  static constexpr int kDefaultNoDataTimeoutMs = 30000;

  explicit UpdateTransfer(QNetworkAccessManager &network, QObject *parent = nullptr);
  ~UpdateTransfer() override;

  // No byte for this long ends the transfer as failed.
  void setNoDataTimeout(int ms) { m_timeoutMs = ms; }
  // A body longer than this ends the transfer as failed (-1: no limit).
  void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }

  // Starts the GET of `url` into `target`; finished() follows once.
  void start(const QUrl &url, const QString &target);
  void abort();
  bool running() const { return !m_reply.isNull(); }

signals:
  // `total` is -1 while the server gave no length.
  void progress(qint64 received, qint64 total);
  // `error` is a Chinese sentence naming the file and the reason.
  void finished(bool ok, const QString &error);

private:
  void onReadyRead();
  void onFinished();
  void fail(const QString &why);
  void done(bool ok, const QString &error);

  QNetworkAccessManager &m_network;
  QPointer<QNetworkReply> m_reply;
  QFile m_file;
  QString m_target;
  QUrl m_url;
  QTimer m_stall;
  int m_timeoutMs = kDefaultNoDataTimeoutMs;
  qint64 m_received = 0;
  qint64 m_maxBytes = -1;
  QString m_failure;
  bool m_statusChecked = false;
};
