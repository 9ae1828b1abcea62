#include "store/BankBuilder.h"
#include "store/BankCopy.h"
#include "store/BankFile.h"
#include "store/BankSchema.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/Transaction.h"
#include "SchemaSql.h"
#include "common/MarkupCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <fcntl.h>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

QString BankSchemaSql() { return QString::fromUtf8(kBankSchemaSql); }

// An SQL file as text. A NUL byte would end the engine's reading of the
// script there and drop the rest silently: such a file is refused.
static QString readSql(const QString &path) {
  QFile f(path);
  if (!QFileInfo(path).isFile())
    throw FileError(QStringLiteral("%1 不是普通文件").arg(path));
  if (!f.open(QIODevice::ReadOnly))
    throw FileError(QStringLiteral("无法读取 %1：%2").arg(path, f.errorString()));
  const QByteArray bytes = f.readAll();
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0)
    throw FileError(QStringLiteral("%1 在字节偏移 %2 处有一个 NUL 字节：SQL 文件不能含有 NUL 字节").arg(path).arg(nul));
  return QString::fromUtf8(bytes);
}

static void execOrThrow(sqlite3 *db, const QByteArray &sql) {
  char *message = nullptr;
  const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message);
  const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
  sqlite3_free(message);
  if (rc != SQLITE_OK)
    throw EDatabaseError(EngineErrorMessage(rc, text), rc);
}

// Makes OUT.partial, runs `body` on it inside one transaction, masks it and
// renames it over `out`. In bulk, the partial file, which nobody else sees
// and which is deleted when anything fails, is written without a journal
// on disk and without a sync per step (ReplaceWithPartial syncs it once
// before the rename).
static void buildBankFile(const QString &out, const std::function<void(TADOConnection &)> &body, bool bulk = false,
                          const std::function<void(const QString &)> &whileSyncing = {}) {
  CheckOutputPath(out);
  const QString partial = out + QStringLiteral(".partial");
  QFile::remove(partial);
  QFile::remove(partial + QStringLiteral("-journal"));
  try {
    TADOConnection c;
    OpenNewBank(c, partial);
    if (bulk) {
      execOrThrow(c.handle(), "PRAGMA journal_mode=MEMORY");
      execOrThrow(c.handle(), "PRAGMA synchronous=OFF");
    }
    {
      Transaction transaction(c);
      body(c);
      transaction.commit();
    }
    c.Close();
    MaskDatabaseFile(partial);
    // The file reaches the disk while `whileSyncing` reads it; it takes the
    // place of `out` whatever that throws (which is thrown after).
    std::exception_ptr thrown;
    if (whileSyncing) {
      std::thread sync([name = QFile::encodeName(partial)] {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
          ::fsync(fd);
          ::close(fd);
        }
      });
      try {
        whileSyncing(partial);
      } catch (...) {
        thrown = std::current_exception();
      }
      sync.join();
    }
    ReplaceWithPartial(partial, out); // syncs (what is left) before the rename
    if (thrown)
      std::rethrow_exception(thrown);
  } catch (...) {
    QFile::remove(partial);
    QFile::remove(partial + QStringLiteral("-journal"));
    throw;
  }
}

void BuildBank(const QString &out, const QStringList &sqlFiles, bool withSchema) {
  BankBuildOptions options;
  options.withSchema = withSchema;
  BuildBank(out, sqlFiles, options);
}

void BuildBank(const QString &out, const QStringList &sqlFiles, const BankBuildOptions &options) {
  auto warn = [&](const QString &text) {
    if (options.warning)
      options.warning(text);
  };
  QStringList texts;
  for (const QString &file : sqlFiles)
    texts << readSql(file);
  buildBankFile(out, [&](TADOConnection &c) {
    if (options.withSchema)
      c.ExecuteScript(BankSchemaSql());
    for (int i = 0; i < texts.size(); ++i) {
      try {
        if (c.ExecuteScript(texts[i]) == 0)
          warn(QStringLiteral("%1 没有任何 SQL 语句（空文件或只有注释）").arg(sqlFiles[i]));
      } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("%1：%2").arg(sqlFiles[i], e.message()), e.code());
      }
    }
    // A bank the program would refuse is not made: a trigger, a view... of
    // the scripts is named here, at the vendor's desk.
    const QString refusal = BankSchemaRefusal(c.handle());
    if (!refusal.isEmpty())
      throw AppError(refusal);
    const QStringList problems = CheckBankMarkup(c);
    if (problems.isEmpty())
      return;
    if (options.allowMarkupWarnings) {
      for (const QString &p : problems)
        warn(p);
      return;
    }
    const int shown = 20;
    QString text = QStringLiteral("题库文本中有 %1 处会破坏试题页面的标记（可用 --allow-markup-warnings 改为警告）：\n")
                       .arg(problems.size());
    text += problems.mid(0, shown).join(QLatin1Char('\n'));
    if (problems.size() > shown)
      text += QStringLiteral("\n……另有 %1 处").arg(problems.size() - shown);
    throw AppError(text);
  });
}

void BuildBankFromTexts(const QString &out, const QStringList &sqlTexts, bool withSchema,
                        const std::function<void(TADOConnection &)> &fill) {
  buildBankFile(out, [&](TADOConnection &c) {
    if (withSchema)
      c.ExecuteScript(BankSchemaSql());
    for (const QString &text : sqlTexts)
      c.ExecuteScript(text);
    if (fill)
      fill(c);
  });
}

void BuildBankInBulk(const QString &out, const std::function<void(TADOConnection &)> &fill,
                     const std::function<void(const QString &)> &whileSyncing) {
  buildBankFile(
      out,
      [&](TADOConnection &c) {
        c.ExecuteScript(BankSchemaSql());
        // An index made from the rows once costs a fraction of keeping it
        // up to date row by row.
        QList<QByteArray> indexes;
        {
          sqlite3_stmt *s = nullptr;
          if (sqlite3_prepare_v2(c.handle(), "SELECT name, sql FROM main.sqlite_schema WHERE type='index' AND sql IS NOT NULL",
                                 -1, &s, nullptr) != SQLITE_OK)
            throw EDatabaseError(EngineErrorMessage(sqlite3_errcode(c.handle()), QString::fromUtf8(sqlite3_errmsg(c.handle()))),
                                 sqlite3_errcode(c.handle()));
          QList<QByteArray> names;
          while (sqlite3_step(s) == SQLITE_ROW) {
            names << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            indexes << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(s, 1)));
          }
          sqlite3_finalize(s);
          for (const QByteArray &name : names)
            execOrThrow(c.handle(), "DROP INDEX \"" + QByteArray(name).replace('"', "\"\"") + '"');
        }
        fill(c);
        for (const QByteArray &sql : indexes)
          execOrThrow(c.handle(), sql);
      },
      true, whileSyncing);
}

namespace {

QString sqlName(const QString &name) { return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"'); }

class Statement {
public:
  Statement(sqlite3 *db, const QString &sql) {
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
      throw EDatabaseError(EngineErrorMessage(sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))),
                           sqlite3_errcode(db));
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  bool step() { return sqlite3_step(m_stmt) == SQLITE_ROW; }
  QString text(int c) const {
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c)), sqlite3_column_bytes(m_stmt, c));
  }
  int type(int c) const { return sqlite3_column_type(m_stmt, c); }
  int columns() const { return sqlite3_column_count(m_stmt); }
  QString name(int c) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, c)); }

private:
  sqlite3_stmt *m_stmt = nullptr;
};

} // namespace

QStringList CheckBankMarkup(TADOConnection &connection) {
  sqlite3 *db = connection.handle();
  QStringList tables;
  {
    Statement t(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    while (t.step())
      tables << t.text(0);
  }
  QStringList problems;
  for (const QString &table : tables) {
    // The row is named by the table's key column, else by its first column.
    QString keyColumn;
    {
      Statement info(db, QStringLiteral("PRAGMA table_info(") + sqlName(table) + QLatin1Char(')'));
      QString first;
      while (info.step()) {
        if (first.isEmpty())
          first = info.text(1);
        if (info.text(5) == QLatin1String("1") && keyColumn.isEmpty())
          keyColumn = info.text(1);
      }
      if (keyColumn.isEmpty())
        keyColumn = first;
    }
    Statement rows(db, QStringLiteral("SELECT rowid, ") + sqlName(keyColumn) + QStringLiteral(", * FROM ") + sqlName(table) +
                           QStringLiteral(" ORDER BY rowid"));
    while (rows.step()) {
      for (int c = 2; c < rows.columns(); ++c) {
        if (rows.type(c) != SQLITE_TEXT)
          continue;
        const QString value = rows.text(c);
        const MarkupCheck::Problem p = MarkupCheck::check(value);
        if (!p)
          continue;
        problems << QStringLiteral("表“%1”第 %2 行（%3=%4）字段“%5”第 %6 个字符：%7")
                        .arg(table, rows.text(0), keyColumn, rows.text(1).left(40), rows.name(c))
                        .arg(p.offset + 1)
                        .arg(p.message);
      }
    }
  }
  return problems;
}

void ExportBank(const QString &in, const QString &out) { CopyBank(in, out, BankCopyFormat::Plain); }
