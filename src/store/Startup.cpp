#include "store/Startup.h"
#include "common/Dialogs.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/PendingRestore.h"
#include "store/ReviewSchedule.h"

#include <QFile>
#include <QFileInfo>

StartupResult OpenBankAtStartup(TDataModule1 &dm, const QString &programDir,
                                const std::function<void(StartupStep)> &step, QString *detail, QString *notice) {
  auto reached = [&](StartupStep s) {
    if (step)
      step(s);
  };
  dm.programDir = ProgramDir(programDir);
  const QString bank = programDir + QStringLiteral("QBRX.db");
  const QString temp = programDir + QStringLiteral("temp.db");
  auto fail = [&](StartupResult r, const QString &why) {
    if (detail)
      *detail = why;
    return r;
  };
  reached(StartupStep::Begin);

  // Two programs on one directory would unmask, mask and open the file under
  // each other's feet: the second one stops here, having touched nothing.
  // A start that does not end with an open connection gives the lock back.
  struct LockRelease {
    InstanceLock &lock;
    bool keep = false;
    ~LockRelease() {
      if (!keep)
        lock.release();
    }
  } lockRelease{dm.instanceLock};
  switch (dm.instanceLock.acquire(dm.programDir.root())) {
  case InstanceLock::Result::Acquired:
    break;
  case InstanceLock::Result::HeldByAnother:
    return fail(StartupResult::AlreadyRunning, QString());
  case InstanceLock::Result::Failed:
    return fail(StartupResult::LockFailed, dm.programDir.root());
  }
  reached(StartupStep::Locked);

  // A temp.db is scratch of an earlier run. It is only ever worth keeping
  // when QBRX.db itself is gone and temp.db is a bank of ours: then it is
  // the best copy there is and takes the bank's place.
  if (QFileInfo::exists(temp)) {
    const BankHeader header = InspectBankFile(temp);
    if (header == BankHeader::NotAFile)
      return fail(StartupResult::NotAFile, temp);
    // (A bank of a newer format takes the place too, to be refused there
    // untouched rather than deleted here.)
    if (!QFileInfo::exists(bank) && (header == BankHeader::Ours || header == BankHeader::NewerFormat))
      QFile::rename(temp, bank);
    else
      QFile::remove(temp);
  }
  // A bank replacement cut short, then a restore the learner chose in the
  // last run: each settles by one rename before the bank is unmasked. An
  // update that stopped before its bank's rename left only its staging
  // folder, which goes.
  RecoverInterruptedReplace(dm.programDir.root());
  DiscardUpdateStaging(dm.programDir.root());
  QString restoreDetail;
  switch (ApplyPendingRestore(dm.programDir.root(), &restoreDetail)) {
  case PendingRestoreResult::Discarded:
    if (notice)
      *notice = QStringLiteral("上次选择还原的数据文件没有通过启动时的检查，没有还原，题库保持原样。\n（%1）\n"
                               "这个文件已改名为 %2。")
                    .arg(restoreDetail, PendingRestorePath(dm.programDir.root()) + QStringLiteral("-refused"));
    break;
  case PendingRestoreResult::Deferred:
    if (notice)
      *notice = QStringLiteral("上次选择的数据还原这次没有进行：%1\n题库保持原样，下次启动时会再试。").arg(restoreDetail);
    break;
  default:
    break;
  }
  reached(StartupStep::LeftoverHandled);

  const StartupResult result = OpenBankFile(dm, bank, reached, detail);
  lockRelease.keep = result == StartupResult::Opened;
  return result;
}

StartupResult OpenBankFile(TDataModule1 &dm, const QString &bank, const std::function<void(StartupStep)> &step,
                           QString *detail) {
  auto reached = [&](StartupStep s) {
    if (step)
      step(s);
  };
  auto fail = [&](StartupResult r, const QString &why) {
    if (detail)
      *detail = why;
    return r;
  };
  int version = 0;
  switch (UnmaskIfOurs(bank, &version)) {
  case BankHeader::Missing:
    return StartupResult::Missing;
  case BankHeader::NotAFile:
    return fail(StartupResult::NotAFile, bank);
  case BankHeader::NotOurs:
    return StartupResult::NotOurs;
  case BankHeader::NewerFormat:
    return fail(StartupResult::NewerFormat, BankFile::newerFormatMessage(version));
  case BankHeader::Ours:
    break;
  }
  reached(StartupStep::Unmasked);

  bool opened = false;
  bool foreign = false;
  try {
    dm.ADOConnection1.setStatementBudget(kBankStatementBudgetMs);
    dm.ADOConnection1.Open(bank, QByteArray(kDatabasePassword));
    opened = true;
  } catch (const EBankSchema &e) {
    foreign = true;
    if (detail)
      *detail = e.message();
  } catch (const EDatabaseError &e) {
    if (detail)
      *detail = e.message();
  }
  reached(StartupStep::Opened);

  if (opened)
    dm.ADOConnection1.WriteHeaderBlock(kMaskingBlock.data());
  else
    MaskDatabaseFile(bank);
  reached(StartupStep::Masked);
  if (opened) {
    // A bank made before the review schedule existed gains it now, from its
    // stored tests. Should that fail (a full disk), the bank is used without
    // it and the next start tries again: the history keeps every answer.
    try {
      ReviewSchedule::ensure(dm.ADOConnection1);
    } catch (const EDatabaseError &) {
    }
    return StartupResult::Opened;
  }
  return foreign ? StartupResult::ForeignSchema : StartupResult::OpenFailed;
}

void ShowStartupFailure(StartupResult result, const QString &detail) {
  const QString caption = QStringLiteral("错误");
  switch (result) {
  case StartupResult::Opened:
    return;
  case StartupResult::AlreadyRunning:
    dialogs().warning(QStringLiteral("本程序已经在运行，同一个程序目录只能打开一个。请切换到已经打开的窗口。"),
                      QStringLiteral("提示"));
    return;
  case StartupResult::NewerFormat:
    dialogs().error(detail + QStringLiteral("程序将中止！"), caption);
    return;
  case StartupResult::LockFailed:
    dialogs().error(QStringLiteral("程序目录不可写，无法启动：%1\n请确认程序目录可以写入后再启动。").arg(detail), caption);
    return;
  default:
    dialogs().error(QStringLiteral("打开数据库出现严重的错误，程序将中止！"), caption);
  }
}
