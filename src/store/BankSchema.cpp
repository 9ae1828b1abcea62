#include "store/BankSchema.h"
#include "store/DM.h"
#include "SchemaSql.h"

#include <QHash>
#include <QSet>
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

// The program's own schema, as SQLite reads it: built once from the schema
// text in a database in memory.
struct Reference {
  QStringList tables;
  QByteArray tableList; // the names quoted for SQL
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
  {
    Statement s(db, "SELECT name FROM main.sqlite_schema WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
                    " ORDER BY rowid");
    QStringList quoted;
    while (s.next()) {
      r.tables << s.text(0);
      quoted << QLatin1Char('\'') + QString(s.text(0)).replace(QLatin1Char('\''), QLatin1String("''")) +
                    QLatin1Char('\'');
    }
    r.tableList = quoted.join(QLatin1Char(',')).toUtf8();
  }
  for (const Column &c : readColumns(db, r.tableList)) {
    r.columns[fold(c.table)].insert(fold(c.name));
    r.shape[fold(c.table)] = {c.withoutRowid, c.strict};
  }
  for (const Index &i : readIndexes(db, r.tableList))
    if (i.origin != QLatin1String("c"))
      r.keyIndexes.insert(keyIndexSignature(i));
  return r;
}

const Reference &reference() {
  static const Reference r = buildReference();
  return r;
}

QString quoted(const QString &name) { return QStringLiteral("“%1”").arg(name); }

} // namespace

QStringList BankTableNames() { return reference().tables; }

QString BankSchemaRefusal(sqlite3 *db) {
  const Reference &ref = reference();
  QStringList found;
  bool ownTables = false;
  {
    Statement s(db, "SELECT type, name, tbl_name, sql FROM main.sqlite_schema ORDER BY rowid");
    while (s.next()) {
      const QString type = s.text(0), name = s.text(1), table = s.text(2);
      if (type == QLatin1String("trigger")) {
        found << QStringLiteral("触发器%1（表%2）").arg(quoted(name), quoted(table));
      } else if (type == QLatin1String("view")) {
        found << QStringLiteral("视图%1").arg(quoted(name));
      } else if (type == QLatin1String("table")) {
        static const QSet<QString> internal{QStringLiteral("sqlite_sequence"), QStringLiteral("sqlite_stat1"),
                                            QStringLiteral("sqlite_stat2"), QStringLiteral("sqlite_stat3"),
                                            QStringLiteral("sqlite_stat4")};
        const QString folded = fold(name);
        if (s.text(3).startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive)) {
          found << QStringLiteral("虚拟表%1").arg(quoted(name));
        } else if (folded.startsWith(QLatin1String("sqlite_"))) {
          if (!internal.contains(folded))
            found << QStringLiteral("内部表%1").arg(quoted(name));
        } else if (ref.columns.contains(folded)) {
          ownTables = true;
        }
      } else if (type != QLatin1String("index")) {
        found << QStringLiteral("对象%1（%2）").arg(quoted(name), type);
      }
    }
  }
  // A virtual table's columns cannot be listed without its module: the
  // tables are looked at only when nothing of that kind was found.
  if (found.isEmpty() && ownTables) {
    QSet<QString> shapesSeen;
    for (const Column &c : readColumns(db, ref.tableList)) {
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
    for (const Index &i : readIndexes(db, ref.tableList)) {
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
