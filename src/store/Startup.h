#pragma once
// Opening the bank at start-up. The file rests masked on disk; it is unmasked
// in place, opened, and masked again through the open connection. At no
// moment is the only complete copy truncated or rewritten: each step changes
// at most the 40 bytes of the password block, which the next start rewrites
// anyway, so a crash at any step leaves a file that opens with every row.

#include <QString>
#include <functional>

class TDataModule1;

enum class StartupStep {
  Begin,           // nothing done yet
  Locked,          // this process holds the program directory's lock
  LeftoverHandled, // a temp.db of an earlier run was recovered or removed
  Unmasked,        // the genuine block is on disk
  Opened,          // the connection is open (or failed to open)
  Masked,          // the masking block is on disk again
};

enum class StartupResult {
  Opened,         // the connection is open, the file masked on disk
  Missing,        // no QBRX.db
  NotOurs,        // the header page is not ours: the file was not written to
  OpenFailed,     // the engine refused the file (corrupt, wrong block, I/O)
  ForeignSchema,  // the file holds what the program does not accept (a trigger, a view...): named in the detail
  NotAFile,       // QBRX.db or temp.db is a folder, FIFO, device...: not opened
  NewerFormat,    // the bank is of a newer format: not written to, not opened
  AlreadyRunning, // another program holds this directory: nothing was touched
  LockFailed,     // the lock file cannot be made (the folder is not writable)
};

// The time budget of each engine call on the bank the program works on
// (TADOConnection::setStatementBudget), set by the start before the bank is
// opened and kept for the run: the start's statements on a bank of 100,000
// questions take milliseconds, so only a runaway statement meets it.
constexpr int kBankStatementBudgetMs = 10000;

// Runs the sequence for programDir (with trailing separator). `step`, when
// given, is called after each step (tests use it to kill the process there).
// The returned detail names the reason when the start failed. The first
// thing the sequence does is to take the directory's InstanceLock (held by
// `dm` from then on); when another running program holds it, nothing else is
// done. `notice`, when given, receives what the learner is to be told even
// though the bank opened: a restore chosen in the last run that did not
// pass its check again, or that waits because the bank in use could not be
// kept.
StartupResult OpenBankAtStartup(TDataModule1 &dm, const QString &programDir,
                                const std::function<void(StartupStep)> &step = {},
                                QString *detail = nullptr, QString *notice = nullptr);

// The unmask/open/mask steps of the start for the bank file `bank` (the
// lock and any temp.db already dealt with): the genuine block written in
// place, the connection opened (with the statement budget), the masking
// block written again through the connection (or in place when the open
// failed); a bank without its review schedule then gains it
// (ReviewSchedule::ensure).
StartupResult OpenBankFile(TDataModule1 &dm, const QString &bank, const std::function<void(StartupStep)> &step = {},
                           QString *detail = nullptr);

// Shows the learner why the start failed, through dialogs(): a second start
// on the same directory, a bank of a newer format and an unwritable folder
// get their own message, everything else the fatal one.
void ShowStartupFailure(StartupResult result, const QString &detail);
