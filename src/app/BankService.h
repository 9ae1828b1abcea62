#pragma once
// Replacing the bank under the running program, for the features that do it
// (restore, update): ReplaceOpenBank, then AppEvents::bankReplaced, on which
// the window reloads its title, tree and paper.

#include "store/BankReplace.h"

struct AppContext;

// Throws what ReplaceOpenBank throws; the old bank is open again then and
// nothing is announced.
void ReplaceBank(AppContext &context, const BankReplaceStep &step);
