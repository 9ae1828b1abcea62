#pragma once
// One GET of the update into a file. The body goes to the disk as it
// arrives (never whole into memory), under TARGET.part, and takes the
// target's name only when it came complete with a success status: a 404
// page, a body cut short or a stalled transfer leave no file of that name.
// Redirects are followed (never from https to http); https works when the
// address says so.
//
// A transfer ends as failed, with its reason, when it moves fewer than
// `minBytes` in any window of `windowMs`, when it runs past `deadlineMs`,
// when the body is (or announces itself) longer than `maxBytes`, or when
// the disk of the target would keep less than `diskReserve` free (asked
// before the body when its length is known, and again while it is written).

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "maintenance/UpdateLimits.h"

class QNetworkAccessManager;
class QNetworkReply;

class UpdateTransfer : public QObject {
  Q_OBJECT
public:
  // The request headers of every update request.
  static const QByteArray Accept;    // "text/html, */*"
  static const QByteArray UserAgent; // "Mozilla/3.0 (compatible; Indy Library)"

  struct Limits {
    qint64 maxBytes = -1; // -1: no limit
    int windowMs = UpdateLimit::kStallWindowMs;
    qint64 minBytes = UpdateLimit::kStallMinBytes;
    qint64 deadlineMs = UpdateLimit::kDeadlineMs;
    qint64 diskReserve = UpdateLimit::kDiskReserveBytes;
  };

  explicit UpdateTransfer(QNetworkAccessManager &network, QObject *parent = nullptr);
  ~UpdateTransfer() override;

  void setLimits(const Limits &limits) { m_limits = limits; }
  const Limits &limits() const { return m_limits; }

  // Starts the GET of `url` into `target`; finished() follows once.
  void start(const QUrl &url, const QString &target);
  // Ends a running transfer; finished(false, …) follows at once.
  void abort();
  bool running() const { return !m_reply.isNull(); }

signals:
  // `total` is -1 while the server gave no length.
  void progress(qint64 received, qint64 total);
  // `error` is a Chinese sentence naming the file and the reason.
  void finished(bool ok, const QString &error);

private:
  void onMetaData();
  void onReadyRead();
  void onFinished();
  void onWindow();
  bool writeChunk(const QByteArray &chunk);
  void fail(const QString &why);
  void done(bool ok, const QString &error);
  QString folder() const;

  QNetworkAccessManager &m_network;
  QPointer<QNetworkReply> m_reply;
  QFile m_file;
  QString m_target;
  QUrl m_url;
  Limits m_limits;
  QTimer m_window;   // every windowMs: at least minBytes since the last tick
  QTimer m_deadline; // once, deadlineMs after the start
  qint64 m_received = 0;
  qint64 m_receivedAtWindow = 0;
  qint64 m_checkedDiskAt = 0;
  QString m_failure;
  bool m_statusChecked = false;
};
