#pragma once
// The data module: the one connection to QBRX.db and the four shared query
// objects. Statements are text built in code and handed over line by line:
//   q.Close(); q.SQL.Clear(); q.SQL.Add("SELECT ..."); q.Open();
// A SELECT is read into memory when it opens (a static cursor), so any number
// of queries can be open at once and writes may run while one is walked.

#include "common/ProgramDir.h"
#include "store/BankFile.h"
#include "store/FileError.h"
#include "store/InstanceLock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// An error of the database engine; message() is the engine's own text.
class EDatabaseError : public AppError {
public:
  EDatabaseError(const QString &message, int code) : AppError(message), m_code(code) {}
  int code() const { return m_code; } // the SQLite result code
private:
  int m_code;
};

// A bank whose schema holds what this program does not accept (a trigger, a
// view, a virtual table...; store/BankSchema): refused by
// TADOConnection::Open. message() names the objects; code() is
// SQLITE_NOTADB.
class EBankSchema : public EDatabaseError {
public:
  explicit EBankSchema(const QString &message);
};

// The message of an engine error for the learner: a Chinese sentence saying
// what failed and what to do, chosen by the SQLite result code, followed by
// the engine's own text.
QString EngineErrorMessage(int rc, const QString &engineText);

// Text value as an SQL literal: single quotes, embedded quotes doubled.
QString QuotedStr(const QString &s);

class TField {
public:
  TField() = default;
  explicit TField(QVariant v) : m_value(std::move(v)) {}
  bool IsNull() const { return m_value.isNull(); }
  qint64 AsLargeInt() const;
  // A real is cut towards zero; a value out of the integer's range (or NaN)
  // throws EDatabaseError instead of giving an arbitrary number.
  int AsInteger() const;
  QString AsString() const; // null reads as empty text
  double AsFloat() const;
  bool AsBoolean() const;
  QVariant Value() const { return m_value; }

private:
  QVariant m_value;
};

class TADOConnection {
public:
  // How long a statement waits for another connection's lock before it
  // fails with SQLITE_BUSY.
  static constexpr int kBusyTimeoutMs = 5000;

  TADOConnection() = default;
  ~TADOConnection();
  TADOConnection(const TADOConnection &) = delete;
  TADOConnection &operator=(const TADOConnection &) = delete;

  // Every open is defensive: SQLITE_DBCONFIG_DEFENSIVE on, the schema not
  // trusted (SQLITE_DBCONFIG_TRUSTED_SCHEMA off), triggers and views of the
  // file switched off (only TEMP ones of the connection itself run), and
  // the schema checked against the program's own (BankSchemaRefusal): a
  // file holding what the program does not accept is refused with
  // EBankSchema before any statement of the caller runs.
  enum class Access {
    ReadWrite,
    // Read-only and immutable: the file, its journal and any WAL beside it
    // are never written, locked or read (a check of a file that is not in
    // use; a journal or WAL it needs is not applied).
    ReadOnly,
  };
  // Opens a bank file through the shim. Throws EDatabaseError; code() is
  // SQLITE_AUTH for a masked file or a wrong password, SQLITE_NOTADB for a
  // file whose header page is not ours (or, as EBankSchema, whose schema is
  // not accepted), SQLITE_CANTOPEN for a missing one. With `alsoAccepted`, a
  // file carrying that block at offset 66 opens too.
  void Open(const QString &path, const QByteArray &password, const BankFile::Block *alsoAccepted = nullptr,
            Access access = Access::ReadWrite);
  // Opens an ordinary SQLite file (tools and benchmarks only), as
  // defensively.
  void OpenPlain(const QString &path, bool create = false);

  // A time budget for the statements of this connection: each engine call
  // (one step of a query, one statement run by exec) may take at most `ms`
  // milliseconds; one that runs longer is interrupted and fails with
  // SQLITE_INTERRUPT, whose message says so in Chinese. 0 (the default)
  // sets none. Kept across Close() and Open(): set before Open(), it covers
  // the open's own statements.
  void setStatementBudget(int ms) { m_budgetMs = ms; }
  int statementBudget() const { return m_budgetMs; }
  // Arms the budget for the engine calls made while it lives; calls nest (a
  // statement run while a walk's row is handled has its own budget, and the
  // walk's next step its own again).
  class BudgetScope {
  public:
    explicit BudgetScope(TADOConnection &connection);
    ~BudgetScope();
    BudgetScope(const BudgetScope &) = delete;
    BudgetScope &operator=(const BudgetScope &) = delete;

  private:
    TADOConnection &m_connection;
    qint64 m_previous;
  };

  // Seam for tests: called with every connection that Open() or OpenPlain()
  // has just opened and checked. A test injects a fault there with a TEMP
  // trigger, which lives on the connection and never in a file; the checks
  // of the file stay as they are. Unset (empty) in the program.
  static void setOpenedHookForTests(std::function<void(TADOConnection &)> hook);
  void Close();
  bool Connected() const { return m_db != nullptr; }
  sqlite3 *handle() const { return m_db; }
  // Gives back the pages the connection keeps in memory (its page cache);
  // they are read again when a statement needs them.
  void releaseMemory();

  void BeginTrans();
  // A deferred transaction for a run of reads: the file is locked and
  // checked once instead of once per statement.
  void BeginRead();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const;

  // Runs a whole script of statements (the bank tool's SQL files) and
  // returns how many there were (0 for only comments and white space).
  int ExecuteScript(const QString &sql);
  // Writes 40 bytes at offset 66 of the open bank file through the
  // connection's own file handle.
  void WriteHeaderBlock(const unsigned char *block40);

  // The prepared statement of `sql` (one statement), made the first time the
  // text is asked for and kept until Close(). It comes reset, with nothing
  // bound. Throws EDatabaseError.
  sqlite3_stmt *preparedStatement(const QByteArray &sql);
  int preparedStatementCount() const { return int(m_prepared.size()); }

  // The connection is used by one thread at a time: the thread that opened
  // it, until that thread lets it go. releaseThread() lets it go (no thread
  // may use it until one adopts it); adoptThread() makes the calling thread
  // its user and throws when another thread holds it. Every statement from a
  // thread that does not hold the connection is refused (EDatabaseError,
  // SQLITE_MISUSE) instead of racing the holder.
  void releaseThread();
  void adoptThread();
  void checkThread() const;

private:
  void exec(const char *sql);
  void applyPragmas(bool readOnly);
  void opened(sqlite3 *db, bool readOnly);
  void finalizePrepared();
  static int onProgress(void *connection);
  sqlite3 *m_db = nullptr;
  int m_budgetMs = 0;
  qint64 m_deadlineNs = 0; // of the engine call running now; 0 when none is armed
  QHash<QByteArray, sqlite3_stmt *> m_prepared;
  std::atomic<std::thread::id> m_thread{};
};

// A statement as a list of lines; the lines are joined by line breaks.
class TStrings {
public:
  void Clear() { m_lines.clear(); }
  void Add(const QString &line) { m_lines.append(line); }
  int Count() const { return int(m_lines.size()); }
  QString Text() const { return m_lines.join(QLatin1Char('\n')); }
  const QStringList &Lines() const { return m_lines; }

private:
  QStringList m_lines;
};

// The current row of a forward-only walk (TADOQuery::OpenForward), valid
// only inside the call it is handed to.
class TForwardRow {
public:
  explicit TForwardRow(sqlite3_stmt *stmt) : m_stmt(stmt) {}
  TField Fields(int index) const;
  // Fields(index).AsLargeInt() / AsInteger(), read straight from the engine
  // for a stored integer (a walk of many rows makes no QVariant).
  qint64 LargeInt(int index) const;
  int Integer(int index) const;
  // The field when it is stored as an integer (not null, a real, a text or a
  // blob).
  std::optional<qint64> StoredInteger(int index) const;
  // A text field as the engine holds it (UTF-8), without a copy; empty for
  // null.
  QByteArrayView Utf8(int index) const;

private:
  sqlite3_stmt *m_stmt;
};

class TADOQuery {
public:
  TADOQuery(TADOConnection &connection, const QString &name);

  TStrings SQL;

  void Close();
  void Open();    // runs the statement and reads every row
  void ExecSQL(); // runs a statement that returns no rows
  // The same with `values` bound to the statement's ? marks in order: an
  // integer binds as an integer, a text as text (as a quoted literal would
  // read), a null QVariant as NULL. The statement is prepared once per text
  // on the connection and reused, so a text run many times with different
  // values costs one preparation.
  void openWith(const QVariantList &values);
  // Runs the statement and hands each row to `each` as it is read, keeping
  // none: a read of many rows without a copy of every field. The query stays
  // closed. Throws EDatabaseError (and what `each` throws).
  void OpenForward(const std::function<void(const TForwardRow &)> &each);
  void execSQLWith(const QVariantList &values);
  bool Active() const { return m_active; }

  void First() { m_row = 0; }
  void Next() { if (m_row < int(m_rows.size())) ++m_row; }
  bool Eof() const { return m_row >= int(m_rows.size()); }
  bool IsEmpty() const { return m_rows.empty(); }
  int RecordCount() const { return int(m_rows.size()); }
  int RowsAffected() const { return m_rowsAffected; }

  TField FieldByName(const QString &name) const; // case-insensitive
  TField Fields(int index) const;
  int FieldCount() const { return int(m_columns.size()); }
  QStringList FieldNames() const { return m_columns; }
  QString Name() const { return m_name; }

private:
  sqlite3_stmt *prepare();
  void run(bool wantRows);
  void runWith(const QVariantList &values, bool wantRows);
  void readResults(sqlite3_stmt *stmt, bool wantRows);
  TADOConnection &m_connection;
  QString m_name;
  bool m_active = false;
  QStringList m_columns;
  std::vector<std::vector<QVariant>> m_rows;
  int m_row = 0;
  int m_rowsAffected = 0;
};

class TDataModule1 {
public:
  TDataModule1();
  // Held from the start-up until the module is destroyed (released after the
  // connection closes): no second program opens the same directory meanwhile.
  InstanceLock instanceLock;
  TADOConnection ADOConnection1;
  TADOQuery ADOQuery1; // outer query of walks over lists
  TADOQuery ADOQuery2; // the general query
  TADOQuery ADOQuery3; // statements run while ADOQuery2 is in use
  TADOQuery ADOQuery4; // declared, not used

  // The directory of the bank this module opened (set by OpenBankAtStartup);
  // the page bridge writes its pages below it.
  ProgramDir programDir;
};

