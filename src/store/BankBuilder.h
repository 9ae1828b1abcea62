#pragma once
// Making bank files: the vendor's tool and the tests build QBRX.db files
// from SQL, and export them as ordinary SQLite files for inspection.

#include <QString>
#include <QStringList>
#include <functional>

class TADOConnection;

// The schema of a bank (every table and index), as SQL text.
QString BankSchemaSql();

// Creates a new bank file at `out` (replacing one that exists only once the
// new one is complete): header page, schema unless `withSchema` is false,
// then each SQL file in order; the result is masked. Throws AppError.
void BuildBank(const QString &out, const QStringList &sqlFiles, bool withSchema = true);

// Same, with the SQL given as texts; `fill`, when given, runs on the open
// connection after the scripts (the synthetic generator uses it).
void BuildBankFromTexts(const QString &out, const QStringList &sqlTexts, bool withSchema = true,
                        const std::function<void(TADOConnection &)> &fill = {});

// Writes an ordinary SQLite copy of a bank (masked or not) to `out`.
void ExportBank(const QString &in, const QString &out);
