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
