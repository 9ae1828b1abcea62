#pragma once
// One run of the online update, step by step, without blocking the thread
// it runs on: the transfers are asynchronous and each archive is unpacked
// and checked on a worker thread. Lines for the learner come out in order
// through line(); the one question goes through dialogs(). Every archive is
// downloaded and checked in the staging folder before anything of the
// program changes; then UpdateSwap puts the new files in place.
//
// cancel() stops a run at any step before the new bank takes the old one's
// place: a transfer is aborted at once, an unpacking within a block, the
// preparing of the swap when it returns. The staging folder is removed, the
// old bank and files stay in use and the last line is UpdateText::Cancelled.

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "maintenance/UpdateArchive.h"
#include "maintenance/UpdateLimits.h"

#include <atomic>
#include <memory>

struct AppContext;
class BankWorker;
class UpdateTransfer;

class UpdateJob : public QObject {
  Q_OBJECT
public:
  explicit UpdateJob(AppContext &context, QObject *parent = nullptr);
  // A running transfer is aborted, a running extraction stopped and waited
  // for.
  ~UpdateJob() override;

  // Taken when start() runs unless set before: the update address and the
  // stored version (system parameters), libunrar.so of the program folder.
  QString baseUrl;
  QString storedVersion;
  QString unrarLibrary;
  // Sizes, transfer windows and the room kept on the disk.
  UpdateLimits limits;

  void start();
  // The learner stops the run; ended(false) follows (at once during a
  // transfer, else when the step at work has stopped).
  void cancel();
  bool running() const { return m_running; }
  bool cancelled() const { return m_cancelled; }
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
  bool roomForSwap();
  void fail(const QString &reason);
  void stopped();
  void finish(bool updated);

  AppContext &m_context;
  QNetworkAccessManager m_network;
  UpdateTransfer *m_transfer = nullptr;
  QPointer<BankWorker> m_worker; // the extraction running
  QString m_staging;
  QString m_backup;
  bool m_running = false;
  bool m_updated = false;
  bool m_cancelled = false;
  // Read by the extraction's worker thread.
  std::shared_ptr<std::atomic<bool>> m_cancelFlag = std::make_shared<std::atomic<bool>>(false);
};
