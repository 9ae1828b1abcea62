#pragma once
// Making bank files: the vendor's tool and the tests build QBRX.db files
// from SQL, and export them as ordinary SQLite files for inspection.

#include <QString>
#include <QStringList>
#include <functional>

class TADOConnection;

// The schema of a bank (every table and index), as SQL text.
QString BankSchemaSql();

struct BankBuildOptions {
  bool withSchema = true;
  // Every text of the bank is checked for markup that would swallow the rest
  // of a question page (MarkupCheck); a problem refuses the bank, naming the
  // table, row and field, unless this turns the problems into warnings.
  bool allowMarkupWarnings = false;
  // Receives each warning (an SQL file without statements, allowed markup
  // problems); without it warnings are dropped.
  std::function<void(const QString &)> warning;
};

// Creates a new bank file at `out`: header page, schema unless switched off,
// then each SQL file in order; the result is masked. A result whose schema
// the program would refuse (BankSchemaRefusal: a trigger, a view...) is not
// made. The bank is made as
// OUT.partial and renamed over `out` in one step when complete, so an
// existing `out` is replaced atomically or not at all. An SQL file with a NUL
// byte is refused with its name and the byte's offset; an output that is a
// folder or lies in a missing folder is refused before anything is written.
// Throws AppError.
void BuildBank(const QString &out, const QStringList &sqlFiles, const BankBuildOptions &options);
void BuildBank(const QString &out, const QStringList &sqlFiles, bool withSchema = true);

// Same, with the SQL given as texts and without the markup and schema
// checks (tests make hostile banks with it); `fill`,
// when given, runs on the open connection after the scripts (the synthetic
// generator uses it).
void BuildBankFromTexts(const QString &out, const QStringList &sqlTexts, bool withSchema = true,
                        const std::function<void(TADOConnection &)> &fill = {});

// Same, with the schema, for a bank a tool fills in one go: `fill` runs
// before the schema's indexes exist (they are made from its rows at the
// end), and the new file is written without a journal on disk or a sync
// per step: it is synced once before it takes the place of `out`.
// `whileSyncing`, when given, reads the finished (masked) file under its
// partial name while it is synced; what it throws is thrown once the bank
// is in place.
void BuildBankInBulk(const QString &out, const std::function<void(TADOConnection &)> &fill,
                     const std::function<void(const QString &partial)> &whileSyncing = {});

// The markup problems of every text value of the open bank, one line each
// naming the table, the row and the field.
QStringList CheckBankMarkup(TADOConnection &connection);

// Writes an ordinary SQLite copy of a bank (masked or not) to `out`.
void ExportBank(const QString &in, const QString &out);
