#include "maintenance/UpdateJob.h"
#include "common/AppError.h"
#include "common/Dialogs.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateSwap.h"
#include "maintenance/UpdateTransfer.h"
#include "app/AppContext.h"
#include "store/BankWorker.h"
#include "store/BankCheck.h"
#include "store/DM.h"
#include "store/PendingRestore.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <memory>
#include <unistd.h>

UpdateJob::UpdateJob(AppContext &context, QObject *parent) : QObject(parent), m_context(context) {}

UpdateJob::~UpdateJob() {
  m_cancelFlag->store(true);
  if (m_transfer)
    m_transfer->disconnect(this);
  if (m_worker) {
    m_worker->disconnect(this);
    m_worker->wait();
  }
}

void UpdateJob::start() {
  if (m_running)
    return;
  m_running = true;
  m_updated = false;
  m_cancelled = false;
  m_cancelFlag->store(false);
  if (baseUrl.isNull())
    baseUrl = UpdateUrl;
  if (storedVersion.isNull())
    storedVersion = BankVersion;
  if (unrarLibrary.isEmpty())
    unrarLibrary = m_context.programDir.root() + QStringLiteral("libunrar.so");
  m_staging = UpdateStagingPath(m_context.programDir.root());
  m_transfer = new UpdateTransfer(m_network, this);
  connect(m_transfer, &UpdateTransfer::progress, this, [this](qint64 received, qint64 total) {
    emit progress(received, total < 0 ? 0 : total);
  });
  if (baseUrl.trimmed().isEmpty()) {
    fail(QStringLiteral("在线升级未配置：题库中没有升级下载地址。"));
    return;
  }
  download(UpdateFiles::Version, m_context.programDir.root() + UpdateFiles::Version, [this] { onVersion(); });
}

void UpdateJob::cancel() {
  if (!m_running || m_cancelled)
    return;
  m_cancelled = true;
  m_cancelFlag->store(true);
  // The transfer's finished() comes back at once and ends the run; an
  // extraction or the swap's preparation ends it when it returns.
  if (m_transfer && m_transfer->running())
    m_transfer->abort();
}

void UpdateJob::download(const QString &file, const QString &target, std::function<void()> next) {
  if (m_cancelled) // asked for between two steps
    return stopped();
  emit progress(0, 0);
  disconnect(m_transfer, &UpdateTransfer::finished, this, nullptr);
  connect(m_transfer, &UpdateTransfer::finished, this, [this, next](bool ok, const QString &error) {
    if (m_cancelled)
      stopped();
    else if (!ok)
      fail(error);
    else
      next();
  });
  UpdateTransfer::Limits transfer;
  transfer.maxBytes = file == UpdateFiles::Version ? limits.versionFileBytes
                      : file == UpdateFiles::Bank  ? limits.bankArchiveBytes
                      : file == UpdateFiles::Pictures ? limits.picturesArchiveBytes
                                                      : limits.outlineArchiveBytes;
  transfer.windowMs = limits.stallWindowMs;
  transfer.minBytes = limits.stallMinBytes;
  transfer.deadlineMs = limits.deadlineMs;
  transfer.diskReserve = limits.diskReserveBytes;
  m_transfer->setLimits(transfer);
  m_transfer->start(QUrl(baseUrl + file), target);
}

void UpdateJob::onVersion() {
  emit line(UpdateText::Analysing);
  emit progress(0, 1);
  QFile f(m_context.programDir.root() + UpdateFiles::Version);
  if (!f.open(QIODevice::ReadOnly)) {
    fail(QStringLiteral("无法读取 %1：%2").arg(f.fileName(), f.errorString()));
    return;
  }
  QString error;
  const QString offered = ReadVersionText(f.read(limits.versionFileBytes), &error);
  f.close();
  if (!error.isEmpty()) {
    fail(error);
    return;
  }
  if (!IsNewerVersion(offered, storedVersion)) {
    emit line(UpdateText::NoNewer);
    finish(false);
    return;
  }
  emit line(UpdateText::Offered);
  if (!dialogs().question(UpdateText::Question, UpdateText::QuestionCaption)) {
    emit line(UpdateText::Declined);
    finish(false);
    return;
  }
  emit line(UpdateText::Downloading);
  DiscardUpdateStaging(m_context.programDir.root());
  if (!QDir().mkpath(m_staging)) {
    fail(QStringLiteral("无法在程序目录中建立文件夹 %1。").arg(m_staging));
    return;
  }
  const QString bankArchive = m_staging + UpdateFiles::Bank;
  download(UpdateFiles::Bank, bankArchive, [this, bankArchive] {
    emit line(UpdateText::UnpackBank);
    unpack(UpdateArchiveKind::Bank, bankArchive, m_staging + QStringLiteral("bank"), [this] {
      emit line(UpdateText::BankUnpacked);
      const QString pictures = m_staging + UpdateFiles::Pictures;
      download(UpdateFiles::Pictures, pictures, [this, pictures] {
        emit line(UpdateText::UnpackPictures);
        unpack(UpdateArchiveKind::Pictures, pictures, m_staging + QStringLiteral("im"), [this] {
          emit line(UpdateText::PicturesUnpacked);
          const QString outline = m_staging + UpdateFiles::Outline;
          download(UpdateFiles::Outline, outline, [this, outline] {
            emit line(UpdateText::UnpackOutline);
            unpack(UpdateArchiveKind::Outline, outline, m_staging + QStringLiteral("KSDG"), [this] {
              emit line(UpdateText::OutlineUnpacked);
              swap();
            });
          });
        });
      });
    });
  });
}

void UpdateJob::unpack(UpdateArchiveKind kind, const QString &archive, const QString &destination,
                       std::function<void()> next) {
  emit progress(0, 0);
  auto result = std::make_shared<UpdateArchiveResult>();
  const QString library = unrarLibrary;
  const ProgramDir dir = m_context.programDir;
  UpdateArchiveLimits archiveLimits;
  archiveLimits.maxUnpackedBytes = limits.unpackedBytes(kind);
  archiveLimits.diskReserve = limits.diskReserveBytes;
  const std::shared_ptr<std::atomic<bool>> cancelFlag = m_cancelFlag;
  // The extraction needs no bank: a worker without the connection.
  auto *worker = new BankWorker(nullptr, [=] {
    qint64 shown = -1;
    UpdateArchiveLimits withCancel = archiveLimits;
    withCancel.cancel = cancelFlag.get();
    const auto report = [&](qint64 done, qint64 total) {
      // About a hundred steps per archive reach the window.
      if (total > 0 && done * 100 / total == shown)
        return;
      shown = total > 0 ? done * 100 / total : done;
      // The destructor waits for this thread: `this` outlives the call.
      QMetaObject::invokeMethod(this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
    };
    *result = UnpackUpdateArchive(library, archive, destination, kind, report, withCancel);
    if (result->ok && kind == UpdateArchiveKind::Bank) {
      const QString bank = destination + QStringLiteral("/QBRX.db");
      // The same check as a restore's, before anything of the program
      // changes: a bank whose schema holds a trigger, a view... is refused,
      // named in the line.
      const QString refusal = BankFileRefusal(bank);
      if (!refusal.isEmpty()) {
        result->ok = false;
        result->error = QStringLiteral("%1：QBRX.db 不是本程序的有效题库（%2）。").arg(UpdateFiles::Bank, refusal);
      } else {
        // Its bytes reach the disk here, off the window's thread: the flush
        // before the bank's rename then has little left to write.
        QFile f(bank);
        if (!f.open(QIODevice::ReadWrite) || ::fsync(f.handle()) != 0) {
          result->ok = false;
          result->error = QStringLiteral("%1：无法写入 QBRX.db（%2）。").arg(UpdateFiles::Bank, f.errorString());
        }
      }
    }
  }, this);
  m_worker = worker;
  connect(worker, &BankWorker::finished, worker, &QObject::deleteLater);
  connect(worker, &BankWorker::finished, this, [this, result, next, kind, destination] {
    if (m_cancelled)
      return stopped();
    if (!result->ok) {
      fail(result->error);
      return;
    }
    if (kind == UpdateArchiveKind::Bank &&
        !QFile::rename(destination + QStringLiteral("/QBRX.db"), m_staging + QStringLiteral("QBRX.db"))) {
      fail(QStringLiteral("无法整理暂存的题库文件。"));
      return;
    }
    next();
  });
  worker->start();
}

void UpdateJob::swap() {
  if (!roomForSwap())
    return;
  dialogs().beep();
  emit line(UpdateText::Finishing);
  emit progress(0, 0);
  // The backup and the history read the whole bank: a worker holds the
  // connection meanwhile, the window keeps painting (this dialog is modal,
  // nothing else asks the bank). The rename and the reload follow here.
  auto backup = std::make_shared<QString>();
  auto *worker = new BankWorker(
      &m_context.dm.ADOConnection1,
      [backup, &bank = m_context.dm.ADOConnection1, dir = m_context.programDir, staging = m_staging] {
        *backup = PrepareStagedUpdate(bank, dir, staging);
      },
      this);
  connect(worker, &BankWorker::finished, this, [this, worker, backup] {
    const std::exception_ptr error = worker->error();
    worker->deleteLater();
    if (m_cancelled) {
      // Only the backup and the staging folder were written: both go.
      if (!backup->isEmpty())
        QFile::remove(*backup);
      return stopped();
    }
    const auto failed = [this](const std::exception_ptr &e) {
      try {
        std::rethrow_exception(e);
      } catch (const AppError &a) {
        fail(a.message());
      } catch (const std::exception &s) {
        fail(QString::fromUtf8(s.what()));
      } catch (...) {
        fail(QString());
      }
    };
    if (error)
      return failed(error);
    try {
      CommitStagedUpdate(m_context, m_staging);
    } catch (...) {
      return failed(std::current_exception());
    }
    m_backup = *backup;
    DiscardUpdateStaging(m_context.programDir.root());
    emit line(UpdateText::Done);
    finish(true);
  });
  worker->start();
}

// The dated backup copies the bank in use: room for it on the disk, with
// the reserve kept, before the swap starts.
bool UpdateJob::roomForSwap() {
  const QString folder = m_context.programDir.root() + QStringLiteral("backup");
  const qint64 bank = QFileInfo(m_context.programDir.root() + QStringLiteral("QBRX.db")).size();
  const qint64 available = FreeDiskBytes(folder);
  if (available >= 0 && available < bank + limits.diskReserveBytes) {
    fail(DiskFullReason(folder, available, bank + limits.diskReserveBytes));
    return false;
  }
  return true;
}

void UpdateJob::stopped() {
  DiscardUpdateStaging(m_context.programDir.root());
  emit line(UpdateText::Cancelled);
  finish(false);
}

void UpdateJob::fail(const QString &reason) {
  DiscardUpdateStaging(m_context.programDir.root());
  emit line(UpdateText::Failed + (reason.isEmpty() ? QString() : QStringLiteral("（%1）").arg(reason)));
  finish(false);
}

void UpdateJob::finish(bool updated) {
  m_updated = updated;
  m_running = false;
  emit progress(updated ? 1 : 0, 1);
  emit ended(updated);
}
