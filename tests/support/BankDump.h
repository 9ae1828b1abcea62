#pragma once
// Rows of an SQL statement on an ordinary SQLite copy of a bank, each row's
// fields joined by "|"; a statement that does not prepare gives one row
// "SQL error: …".

#include "store/BankBuilder.h"

#include <QStringList>
#include <QTemporaryDir>
#include <sqlite3.h>

inline QStringList dump(const QString &bank, const QString &sql) {
  QTemporaryDir dir;
  const QString plain = dir.filePath(QStringLiteral("plain.sqlite"));
  ExportBank(bank, plain);
  sqlite3 *db = nullptr;
  sqlite3_open_v2(plain.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt *st = nullptr;
  QStringList rows;
  if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
    rows << QStringLiteral("SQL error: ") + QString::fromUtf8(sqlite3_errmsg(db));
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    QStringList fields;
    for (int i = 0; i < sqlite3_column_count(st); ++i)
      fields << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
    rows << fields.join(QLatin1Char('|'));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}
