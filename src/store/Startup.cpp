#include "store/Startup.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QFile>
#include <QFileInfo>


StartupResult OpenBankAtStartup(TDataModule1 &dm, const QString &programDir,
                                const std::function<void(StartupStep)> &step, QString *detail) {
  auto reached = [&](StartupStep s) {
    if (step)
      step(s);
  };
  dm.programDir = ProgramDir(programDir);
  const QString bank = programDir + QStringLiteral("QBRX.db");
  const QString temp = programDir + QStringLiteral("temp.db");
  reached(StartupStep::Begin);

  // A temp.db is scratch of an earlier run. It is only ever worth keeping
  // when QBRX.db itself is gone and temp.db is a bank of ours: then it is
  // the best copy there is and takes the bank's place.
  if (QFileInfo::exists(temp)) {
    if (!QFileInfo::exists(bank) && InspectBankFile(temp) == BankHeader::Ours)
      QFile::rename(temp, bank);
    else
      QFile::remove(temp);
  }
  reached(StartupStep::LeftoverHandled);

  switch (UnmaskIfOurs(bank)) {
  case BankHeader::Missing:
    return StartupResult::Missing;
  case BankHeader::NotOurs:
    return StartupResult::NotOurs;
  case BankHeader::Ours:
    break;
  }
  reached(StartupStep::Unmasked);

  bool opened = false;
  try {
    dm.ADOConnection1.Open(bank, QByteArray(kDatabasePassword));
    opened = true;
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
  return opened ? StartupResult::Opened : StartupResult::OpenFailed;
}
