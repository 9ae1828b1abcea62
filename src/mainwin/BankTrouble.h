#pragma once
// The start's message when the bank cannot be used: which file, what is
// wrong with it, and the backups the restore dialog would offer.

#include "common/ProgramDir.h"
#include "store/Startup.h"

#include <QString>

// True for a bank that is missing, not ours, that the engine refused or
// whose schema the program does not accept.
bool IsBankTrouble(StartupResult result);

// The message for such a start; `detail` is the engine's reason, if any.
QString BankTroubleMessage(StartupResult result, const ProgramDir &dir, const QString &detail);

class TDataModule1;
// The window's start: opens the bank in `dir` and loads the system
// parameters. A notice of the start (a restore that was done) is shown as a
// warning; a bank that cannot be used is explained (BankTroubleMessage or
// the start's own failure message) and the result is false.
bool OpenBankForWindow(TDataModule1 &dm, const ProgramDir &dir);
