#include "store/BankSchema.h"
#include "store/DM.h"
#include "SchemaSql.h"

#include <QHash>
#include <QSet>
#include <cctype>
#include <sqlite3.h>
#include <vector>

namespace {

// SQLite compares names without regard to the case of ASCII letters only.
QString fold(const QString &name) {
  QString out = name;
  for (QChar &c : out)
    if (c.unicode() < 128)
      c = c.toLower();
  return out;
}

[[noreturn]] void fail(sqlite3 *db) {
  const int rc = sqlite3_errcode(db);
  throw EDatabaseError(EngineErrorMessage(rc, QString::fromUtf8(sqlite3_errmsg(db))), rc);
}

class Statement {
public:
  Statement(sqlite3 *db, const QByteArray &sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()) + 1, &m_stmt, nullptr) != SQLITE_OK)
      fail(db);
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;
  bool next() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
      return true;
    if (rc != SQLITE_DONE)
      fail(m_db);
    return false;
  }
  // The field's bytes, valid until the next step: no copy.
  QByteArray raw(int c) const {
    return QByteArray::fromRawData(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c)),
                                   sqlite3_column_bytes(m_stmt, c));
  }
  QString text(int c) const {
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c)),
                             sqlite3_column_bytes(m_stmt, c));
  }
  int integer(int c) const { return sqlite3_column_int(m_stmt, c); }

private:
  sqlite3 *m_db;
  sqlite3_stmt *m_stmt = nullptr;
};

struct Column {
  QString table, name;
  int hidden, withoutRowid, strict;
};

struct Index {
  QString table, name, origin, columns; // columns: names joined by ",", "#n" for an expression
  bool unique, partial;
};

// `tables` is an SQL list of quoted table names.
std::vector<Column> readColumns(sqlite3 *db, const QByteArray &tables) {
  Statement s(db, "SELECT m.name, c.name, c.hidden, t.wr, t.strict FROM main.sqlite_schema AS m"
                  " JOIN pragma_table_list(m.name) AS t ON t.schema='main'"
                  " JOIN pragma_table_xinfo(m.name, 'main') AS c"
                  " WHERE m.type='table' AND m.name IN (" +
                      tables + ")");
  std::vector<Column> out;
  while (s.next())
    out.push_back({s.text(0), s.text(1), s.integer(2), s.integer(3), s.integer(4)});
  return out;
}

std::vector<Index> readIndexes(sqlite3 *db, const QByteArray &tables) {
  Statement s(db, "SELECT m.name, l.name, l.origin, l.\"unique\", l.partial,"
                  " (SELECT group_concat(coalesce(i.name, '#' || i.cid), ',') FROM pragma_index_info(l.name, 'main') AS i)"
                  " FROM main.sqlite_schema AS m JOIN pragma_index_list(m.name, 'main') AS l"
                  " WHERE m.type='table' AND m.name IN (" +
                      tables + ")");
  std::vector<Index> out;
  while (s.next())
    out.push_back({s.text(0), s.text(1), s.text(2), s.text(5), s.integer(3) != 0, s.integer(4) != 0});
  return out;
}

QString keyIndexSignature(const Index &i) {
  return fold(i.table) + QLatin1Char('|') + i.origin + QLatin1Char('|') + QString::number(i.unique) +
         QLatin1Char('|') + fold(i.columns);
}

// The program's own schema as text: SQLite keeps a CREATE TABLE or CREATE
// INDEX statement as it was written (without its ";"), so a bank made from
// this schema holds exactly these texts, and is recognised without a
// further look.
struct OwnTexts {
  QSet<QByteArray> statements; // UTF-8, as the engine hands them out
  QList<QByteArray> ordered;   // the same, in the schema's order
  QStringList tables;
  QSet<QString> folded; // the tables, folded
  QByteArray tableList; // the tables quoted for SQL
};

OwnTexts readOwnTexts() {
  OwnTexts t;
  QStringList quoted;
  // Read in place: the statements are slices of the compiled-in text.
  const QByteArray all = QByteArray::fromRawData(kBankSchemaSql, qsizetype(sizeof kBankSchemaSql) - 1);
  qsizetype from = 0;
  while (from < all.size()) {
    qsizetype end = all.indexOf(';', from);
    if (end < 0)
      end = all.size();
    qsizetype begin = from;
    // Blank lines and comment lines before the statement are not kept.
    for (;;) {
      while (begin < end && std::isspace(uchar(all[begin])))
        ++begin;
      if (begin + 1 < end && all[begin] == '-' && all[begin + 1] == '-') {
        const qsizetype line = all.indexOf('\n', begin);
        begin = line < 0 || line > end ? end : line + 1;
        continue;
      }
      break;
    }
    qsizetype last = end;
    while (last > begin && std::isspace(uchar(all[last - 1])))
      --last;
    from = end + 1;
    if (last <= begin)
      continue;
    const QByteArray statement = all.mid(begin, last - begin);
    t.statements.insert(statement);
    t.ordered << statement;
    const QByteArray table("CREATE TABLE ");
    if (statement.startsWith(table)) {
      qsizetype stop = table.size();
      while (stop < statement.size() && !std::isspace(uchar(statement[stop])) && statement[stop] != '(')
        ++stop;
      const QString name = QString::fromUtf8(statement.mid(table.size(), stop - table.size()));
      t.tables << name;
      t.folded.insert(fold(name));
      quoted << QLatin1Char('\'') + QString(name).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
    }
  }
  t.tableList = quoted.join(QLatin1Char(',')).toUtf8();
  return t;
}

const OwnTexts &ownTexts() {
  static const OwnTexts t = readOwnTexts();
  return t;
}

// The program's own schema as SQLite reads it, for a bank whose texts
// differ (an older bank lacks a column): built once, when first needed,
// from the schema text in a database in memory.
struct Reference {
  QHash<QString, QSet<QString>> columns;
  QHash<QString, std::pair<int, int>> shape; // WITHOUT ROWID, STRICT
  QSet<QString> keyIndexes;
};

Reference buildReference() {
  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw EDatabaseError(EngineErrorMessage(SQLITE_NOMEM, QString()), SQLITE_NOMEM);
  }
  struct Close {
    sqlite3 *db;
    ~Close() { sqlite3_close(db); }
  } close{db};
  if (sqlite3_exec(db, kBankSchemaSql, nullptr, nullptr, nullptr) != SQLITE_OK)
    fail(db);
  Reference r;
  const QByteArray tables = ownTexts().tableList;
  for (const Column &c : readColumns(db, tables)) {
    r.columns[fold(c.table)].insert(fold(c.name));
    r.shape[fold(c.table)] = {c.withoutRowid, c.strict};
  }
  for (const Index &i : readIndexes(db, tables))
    if (i.origin != QLatin1String("c"))
      r.keyIndexes.insert(keyIndexSignature(i));
  return r;
}

const Reference &reference() {
  static const Reference r = buildReference();
  return r;
}

QByteArray sqlList(const QStringList &names) {
  QStringList quoted;
  for (const QString &name : names)
    quoted << QLatin1Char('\'') + QString(name).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
  return quoted.join(QLatin1Char(',')).toUtf8();
}

QString quoted(const QString &name) { return QStringLiteral("“%1”").arg(name); }

} // namespace

QStringList BankTableNames() { return ownTexts().tables; }

QList<QByteArray> BankTableStatements(const QString &table) {
  const QByteArray name = table.toUtf8();
  QList<QByteArray> out;
  for (const QByteArray &s : ownTexts().ordered)
    if (s.startsWith("CREATE TABLE " + name + ' ') || s.startsWith("CREATE TABLE " + name + '(') ||
        (s.startsWith("CREATE INDEX ") && s.contains(" ON " + name + '(')))
      out << s;
  return out;
}

QString BankSchemaRefusal(sqlite3 *db) {
  const OwnTexts &own = ownTexts();
  QStringList found;
  // Tables of the program's whose statement, or that of an index on them,
  // differs from the program's text: looked at column by column.
  QStringList differing;
  {
    Statement s(db, "SELECT type, name, tbl_name, sql FROM main.sqlite_schema ORDER BY rowid");
    while (s.next()) {
      // A statement of the program's own, as a bank made from its schema
      // holds every one: recognised by its bytes alone.
      if (own.statements.contains(s.raw(3)))
        continue;
      const QString type = s.text(0), name = s.text(1), table = s.text(2), sql = s.text(3);
      if (type == QLatin1String("trigger")) {
        found << QStringLiteral("触发器%1（表%2）").arg(quoted(name), quoted(table));
      } else if (type == QLatin1String("view")) {
        found << QStringLiteral("视图%1").arg(quoted(name));
      } else if (type == QLatin1String("table")) {
        static const QSet<QString> internal{QStringLiteral("sqlite_sequence"), QStringLiteral("sqlite_stat1"),
                                            QStringLiteral("sqlite_stat2"), QStringLiteral("sqlite_stat3"),
                                            QStringLiteral("sqlite_stat4")};
        const QString folded = fold(name);
        if (sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive)) {
          found << QStringLiteral("虚拟表%1").arg(quoted(name));
        } else if (folded.startsWith(QLatin1String("sqlite_"))) {
          if (!internal.contains(folded))
            found << QStringLiteral("内部表%1").arg(quoted(name));
        } else if (own.folded.contains(folded)) {
          differing << name;
        }
      } else if (type == QLatin1String("index")) {
        // An automatic index (no text) follows its table's statement: it
        // is looked at when that differs.
        if (!sql.isEmpty() && own.folded.contains(fold(table)))
          differing << table;
      } else {
        found << QStringLiteral("对象%1（%2）").arg(quoted(name), type);
      }
    }
  }
  // A virtual table's columns cannot be listed without its module: the
  // tables are looked at only when nothing of that kind was found.
  if (found.isEmpty() && !differing.isEmpty()) {
    const Reference &ref = reference();
    differing.removeDuplicates();
    const QByteArray tables = sqlList(differing);
    QSet<QString> shapesSeen;
    for (const Column &c : readColumns(db, tables)) {
      const QString table = fold(c.table);
      if (!shapesSeen.contains(table)) {
        shapesSeen.insert(table);
        const std::pair<int, int> shape = ref.shape.value(table);
        if (c.withoutRowid != shape.first)
          found << QStringLiteral("表%1的 WITHOUT ROWID 定义").arg(quoted(c.table));
        if (c.strict != shape.second)
          found << QStringLiteral("表%1的 STRICT 定义").arg(quoted(c.table));
      }
      if (c.hidden != 0)
        found << QStringLiteral("表%1中的计算列%2").arg(quoted(c.table), quoted(c.name));
      else if (!ref.columns.value(table).contains(fold(c.name)))
        found << QStringLiteral("表%1中本程序不认识的列%2").arg(quoted(c.table), quoted(c.name));
    }
    for (const Index &i : readIndexes(db, tables)) {
      if (i.origin != QLatin1String("c")) {
        if (!ref.keyIndexes.contains(keyIndexSignature(i)))
          found << QStringLiteral("表%1上与本程序不同的主键或唯一约束（索引%2）").arg(quoted(i.table), quoted(i.name));
      } else if (i.unique) {
        found << QStringLiteral("表%1上的唯一索引%2").arg(quoted(i.table), quoted(i.name));
      } else if (i.partial) {
        found << QStringLiteral("表%1上的部分索引%2").arg(quoted(i.table), quoted(i.name));
      } else if (i.columns.contains(QLatin1Char('#'))) {
        found << QStringLiteral("表%1上的表达式索引%2").arg(quoted(i.table), quoted(i.name));
      }
    }
  }
  if (found.isEmpty())
    return QString();
  constexpr int kShown = 5;
  QString text = QStringLiteral("题库含有本程序不接受的内容：") + found.mid(0, kShown).join(QStringLiteral("、"));
  if (found.size() > kShown)
    text += QStringLiteral("等 %1 处").arg(found.size());
  return text + QStringLiteral("。");
}
