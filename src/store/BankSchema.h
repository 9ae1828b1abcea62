#pragma once
// What a bank file may hold besides its rows. A bank comes from outside (an
// update server, a file the learner picks), so its SQLite schema is
// untrusted. The program's own tables, columns and indexes
// (assets/sql/schema.sql) may be there, or fewer of them: an older bank lacks
// some. What is refused, because it runs what the file's author wrote when
// the program reads or writes:
// - a trigger, a view, a virtual table, an object of any other kind, and an
//   internal sqlite_ table other than sqlite_sequence and sqlite_stat1..4;
// - in one of the program's tables: a column the program does not know, a
//   generated column, WITHOUT ROWID or STRICT where the program's table is
//   neither;
// - an index on one of the program's tables that could do more than speed up
//   a read: UNIQUE (a write of the program would fail, or with REPLACE delete
//   rows), partial (WHERE), or on an expression. The automatic index of a
//   PRIMARY KEY or UNIQUE constraint must be one the program's schema has.
// Tables the program does not know, and their indexes, are left alone: the
// program never reads or writes them, and a copy carries them as they are.

#include <QString>
#include <QByteArray>
#include <QList>
#include <QStringList>

struct sqlite3;

// Empty when the schema of the open database "main" of `db` is one this
// program accepts; otherwise a Chinese sentence naming the objects that are
// not (the first few). Throws EDatabaseError when the schema cannot be read.
QString BankSchemaRefusal(sqlite3 *db);

// The program's own tables, in the order of the schema.
QStringList BankTableNames();

// The statements of the program's schema that make table `table` and its
// indexes, as the schema writes them: a table the program adds to an older
// bank is made from these, so the bank holds exactly the program's texts.
QList<QByteArray> BankTableStatements(const QString &table);
