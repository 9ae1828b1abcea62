#pragma once
// One run of the online update, step by step, without blocking the thread
// it runs on: the transfers are asynchronous and each archive is unpacked
// and checked on a worker thread. Lines for the learner come out in order
// through line(); the one question goes through dialogs(). Every archive is
// downloaded and checked in the staging folder before anything of the
// program changes; then UpdateSwap puts the new files in place.

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "maintenance/UpdateArchive.h"

struct AppContext;
class QThread;
class UpdateTransfer;

class UpdateJob : public QObject {
  Q_OBJECT
public:
  explicit UpdateJob(AppContext &context, QObject *parent = nullptr);
  // Waits for a running extraction; a running transfer is aborted.
  ~UpdateJob() override;

  // Taken when start() runs unless set before: the update address and the
  // stored version (system parameters), libunrar.so of the program folder.
  QString baseUrl;
  QString storedVersion;
  QString unrarLibrary;
  int noDataTimeoutMs = 30000;

  void start();
  bool running() const { return m_running; }
  bool updated() const { return m_updated; }
  QString backupPath() const { return m_backup; }

signals:
  void line(const QString &text);
  // The current transfer's or extraction's bytes; `maximum` 0 while unknown.
  void progress(qint64 value, qint64 maximum);
  // The run is over (after its last line); `updated` when the new bank is
  // in use.
  void ended(bool updated);

private:
  void download(const QString &file, const QString &target, std::function<void()> next);
  void unpack(UpdateArchiveKind kind, const QString &archive, const QString &destination,
              std::function<void()> next);
  void onVersion();
  void swap();
  void fail(const QString &reason);
  void finish(bool updated);

  AppContext &m_context;
  QNetworkAccessManager m_network;
  UpdateTransfer *m_transfer = nullptr;
  QPointer<QThread> m_worker;
  QString m_staging;
  QString m_backup;
  bool m_running = false;
  bool m_updated = false;
};
