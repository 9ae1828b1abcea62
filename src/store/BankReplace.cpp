#include "store/BankReplace.h"
#include "common/AppError.h"
#include "store/DM.h"
#include "store/FileError.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void closeBank(TDataModule1 &dm) {
  for (TADOQuery *q : {&dm.ADOQuery1, &dm.ADOQuery2, &dm.ADOQuery3, &dm.ADOQuery4})
    q->Close();
  dm.ADOConnection1.Close();
}

bool renameOver(const QString &from, const QString &to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Opens the bank as the start does; throws AppError when it does not open.
void openBank(TDataModule1 &dm, const QString &bank) {
  QString detail;
  const StartupResult r = OpenBankFile(dm, bank, {}, &detail);
  switch (r) {
  case StartupResult::Opened:
    return;
  case StartupResult::Missing:
    throw AppError(QStringLiteral("找不到题库文件 %1").arg(bank));
  case StartupResult::NotOurs:
    throw AppError(QStringLiteral("%1 不是本程序的题库文件").arg(bank));
  default:
    throw AppError(detail.isEmpty() ? QStringLiteral("无法打开题库 %1").arg(bank) : detail);
  }
}

} // namespace

void ReplaceOpenBank(TDataModule1 &dm, const BankReplaceStep &step) {
  dm.ADOConnection1.checkThread();
  if (dm.ADOConnection1.InTransaction())
    throw AppError(QStringLiteral("题库有未完成的操作，现在不能替换。请稍后重试。"));
  const QString bank = dm.programDir.bankPath();
  const QString kept = bank + QStringLiteral(".replacing");
  closeBank(dm);
  // The closed file is complete (no transaction was open): a copy of it is
  // the old bank, whatever the step does to the file at `bank`.
  QFile::remove(kept);
  if (!QFile::copy(bank, kept)) {
    openBank(dm, bank);
    LoadSystemParameters(dm);
    throw FileError(QStringLiteral("无法在程序目录中保留题库的副本 %1，题库没有替换。请确认磁盘有空间且程序目录可以写入。").arg(kept));
  }
  try {
    step(bank);
    openBank(dm, bank);
    LoadSystemParameters(dm);
  } catch (...) {
    const std::exception_ptr error = std::current_exception();
    closeBank(dm);
    if (!renameOver(kept, bank))
      throw FileError(QStringLiteral("题库没有替换成功，原题库也无法放回：%1。原题库保存在 %2，请把它改名为 QBRX.db。")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)), kept));
    openBank(dm, bank);
    LoadSystemParameters(dm);
    std::rethrow_exception(error);
  }
  QFile::remove(kept);
}
