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
  LeftoverHandled, // a temp.db of an earlier run was recovered or removed
  Unmasked,        // the genuine block is on disk
  Opened,          // the connection is open (or failed to open)
  Masked,          // the masking block is on disk again
};

enum class StartupResult {
  Opened,     // the connection is open, the file masked on disk
  Missing,    // no QBRX.db
  NotOurs,    // the header page is not ours: the file was not written to
  OpenFailed, // the engine refused the file (corrupt, wrong block, I/O)
};

// Runs the sequence for programDir (with trailing separator). `step`, when
// given, is called after each step (tests use it to kill the process there).
// The returned detail names the engine's reason when the open failed.
StartupResult OpenBankAtStartup(TDataModule1 &dm, const QString &programDir,
                                const std::function<void(StartupStep)> &step = {},
                                QString *detail = nullptr);
