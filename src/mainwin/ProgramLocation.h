#pragma once
// Where the program directory is, decided once before the window exists.
//
// A program folder (the staged build, a copied folder) holds its bank beside
// the program: that folder is the program directory, as it always was. An
// installed program (/usr/bin/qbrx) has no bank beside it but a read-only
// template at <prefix>/share/qbrx/template: every learner then works in a
// folder of their own under the XDG data location (~/.local/share/qbrx),
// made from the template at the first start and never overwritten from it
// afterwards. `--program-dir DIR` names the folder explicitly.

#include <QString>

struct InstallLayout {
  QString executableDir; // with trailing "/"
  QString templateDir;   // the installed template, with trailing "/"; empty when not installed
  QString libraryDir;    // where the program's own libraries are, with trailing "/"
  bool installed() const { return !templateDir.isEmpty(); }
};

// The layout around the program file in `executableDir`: a bank beside the
// program makes it a program folder, even when a template is installed too.
InstallLayout DetectInstallLayout(const QString &executableDir);

enum class ProgramDirMode {
  BesideProgram, // the program's own folder
  Learner,       // the learner's folder of an installed program
  Chosen,        // named by --program-dir
};

struct ProgramDirChoice {
  ProgramDirMode mode = ProgramDirMode::BesideProgram;
  QString root;        // with trailing "/"
  bool seeded = false; // made from the template by this start
  QString error;       // why the start cannot go on (Chinese); empty when it can
};

// `chosenDir` is the --program-dir value (empty when not given);
// `learnerDir` the learner's folder of an installed program. A new or empty
// folder is made from the template when there is one; a folder that holds
// anything is used as it is. The folder must be writable.
ProgramDirChoice ChooseProgramDir(const InstallLayout &layout, const QString &chosenDir, const QString &learnerDir);

// This user's folder for an installed program: $XDG_DATA_HOME/qbrx, by
// default ~/.local/share/qbrx.
QString LearnerDataDir();

// True when a file can be made in `dir` (tried, not read from mode bits:
// root passes every mode bit, a read-only file system none).
bool IsWritableFolder(const QString &dir);

// Copies the template into `target`, which must not exist or be empty: the
// copy is made beside it and renamed into place, so a start cut short
// leaves no half-made folder, and of two first starts at once one folder
// wins whole. The copy is private to its owner: the folder and every
// folder made above it 0700, the files 0600.
bool SeedFromTemplate(const QString &templateDir, const QString &target, QString *error);

// The message for a program directory that cannot be written.
QString UnwritableProgramDirMessage(const QString &dir, ProgramDirMode mode);
