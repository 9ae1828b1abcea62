#pragma once
// Replacing the bank under the running program (restore, update). A file
// must never be copied or renamed over a bank that a connection holds open
// (the connection writes its pages back, or every later write fails), so the
// connection is closed first, with every kept statement and every row the
// data module's queries hold, and opened again afterwards exactly as the
// start opens it.

#include <QString>
#include <functional>

class TDataModule1;

// Given the bank's path; may replace the file there (by renaming a complete
// file over it). Throws to give up: the old bank then comes back.
using BankReplaceStep = std::function<void(const QString &bankPath)>;

// Closes the connection of `dm`, runs `step`, opens the bank again through
// the start's unmask/open/mask steps and loads the system parameters. Until
// the new bank is open the old one is kept beside it (QBRX.db.replacing):
// when the step throws or the file it leaves does not open, the old bank is
// put back, opened again, and the error is thrown (an AppError with a Chinese
// message). Must run on the thread that holds the connection.
void ReplaceOpenBank(TDataModule1 &dm, const BankReplaceStep &step);
