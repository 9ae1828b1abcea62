#include "store/DM.h"
#include "store/BankFile.h"
#include "store/BankSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <chrono>
#include <limits>
#include <mutex>
#include <sqlite3.h>

QString QuotedStr(const QString &s) {
  QString out = s;
  out.replace(QLatin1Char('\''), QLatin1String("''"));
  return QLatin1Char('\'') + out + QLatin1Char('\'');
}

// ---------------------------------------------------------------------------

// A real as an integer, cut towards zero like a cast; a value that no 64-bit
// integer holds (NaN, infinity, beyond ±2^63) is an error, not a wrong number.
static qint64 realToInteger(double d, const QString &shown) {
  // 2^63 is exactly representable; every double below it converts safely.
  constexpr double limit = 9223372036854775808.0;
  if (!(d >= -limit && d < limit)) // also false for NaN
    throw EDatabaseError(QStringLiteral("数值“%1”超出整数的范围").arg(shown), SQLITE_RANGE);
  return qint64(d);
}

qint64 TField::AsLargeInt() const {
  if (m_value.isNull())
    return 0;
  switch (m_value.typeId()) {
  case QMetaType::LongLong:
    return m_value.toLongLong();
  case QMetaType::Double: {
    const double d = m_value.toDouble();
    return realToInteger(d, QString::number(d, 'g', 17));
  }
  default: {
    bool ok = false;
    const QString text = m_value.toString().trimmed();
    const qint64 v = text.toLongLong(&ok);
    if (ok)
      return v;
    const double d = text.toDouble(&ok);
    if (ok)
      return realToInteger(d, text);
    throw EDatabaseError(QStringLiteral("“%1”不是有效的整数").arg(text), SQLITE_MISMATCH);
  }
  }
}

int TField::AsInteger() const {
  const qint64 v = AsLargeInt();
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    throw EDatabaseError(QStringLiteral("数值 %1 超出整数的范围").arg(v), SQLITE_RANGE);
  return int(v);
}

QString TField::AsString() const {
  if (m_value.isNull())
    return QString();
  if (m_value.typeId() == QMetaType::Double)
    return QString::number(m_value.toDouble(), 'g', 15);
  if (m_value.typeId() == QMetaType::QByteArray)
    return QString::fromUtf8(m_value.toByteArray());
  return m_value.toString();
}

double TField::AsFloat() const {
  if (m_value.isNull())
    return 0.0;
  if (m_value.typeId() == QMetaType::LongLong || m_value.typeId() == QMetaType::Double)
    return m_value.toDouble();
  bool ok = false;
  const QString text = m_value.toString().trimmed();
  const double d = text.toDouble(&ok);
  if (!ok)
    throw EDatabaseError(QStringLiteral("“%1”不是有效的数值").arg(text), SQLITE_MISMATCH);
  return d;
}

bool TField::AsBoolean() const { return !m_value.isNull() && AsLargeInt() != 0; }

// ---------------------------------------------------------------------------

QString EngineErrorMessage(int rc, const QString &engineText) {
  QString sentence;
  switch (rc & 0xff) {
  case SQLITE_FULL:
    sentence = QStringLiteral("磁盘空间不足，无法保存。请清理磁盘后重试。");
    break;
  case SQLITE_READONLY:
    sentence = QStringLiteral("程序目录不可写，无法保存。请确认程序目录和题库文件可以写入后重试。");
    break;
  case SQLITE_PERM:
    sentence = QStringLiteral("没有访问题库文件的权限。请确认程序目录和题库文件可以读写后重试。");
    break;
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    sentence = QStringLiteral("题库正被另一个程序使用，暂时无法访问。请关闭其他使用题库的程序后重试。");
    break;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
    sentence = QStringLiteral("题库文件已损坏。请用备份还原题库，或重新安装题库。");
    break;
  case SQLITE_IOERR:
    sentence = QStringLiteral("读写题库文件时出错。请检查磁盘后重试。");
    break;
  case SQLITE_CANTOPEN:
    sentence = QStringLiteral("无法打开题库文件或它的临时文件。请确认程序目录完整且可以写入后重试。");
    break;
  case SQLITE_NOMEM:
    sentence = QStringLiteral("内存不足，数据库操作没有完成。请关闭其他程序后重试。");
    break;
  case SQLITE_CONSTRAINT:
    sentence = QStringLiteral("数据不符合题库的约束，没有保存。");
    break;
  case SQLITE_TOOBIG:
    sentence = QStringLiteral("数据太大，数据库无法处理。");
    break;
  case SQLITE_INTERRUPT:
    sentence = QStringLiteral("数据库语句运行的时间过长，已被中止。题库可能已损坏或含有不属于本程序的内容，请用备份还原题库。");
    break;
  default:
    sentence = QStringLiteral("数据库操作失败。");
  }
  return engineText.isEmpty() ? sentence : sentence + QStringLiteral("\n（数据库：") + engineText + QStringLiteral("）");
}

static EDatabaseError engineError(sqlite3 *db, int rc) {
  const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
  return EDatabaseError(EngineErrorMessage(rc, text), rc);
}

EBankSchema::EBankSchema(const QString &message) : EDatabaseError(message, SQLITE_NOTADB) {}

namespace {

std::mutex g_hookMutex;
std::function<void(TADOConnection &)> g_openedHook;

qint64 steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The engine asks after this many virtual machine instructions whether the
// running call is to stop: a few microseconds apart.
constexpr int kProgressInstructions = 4096;

// Done on a connection before it reads a single page: nothing of the file's
// schema may run code of the file's author.
void harden(sqlite3 *db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
}

} // namespace

void TADOConnection::setOpenedHookForTests(std::function<void(TADOConnection &)> hook) {
  const std::lock_guard<std::mutex> lock(g_hookMutex);
  g_openedHook = std::move(hook);
}

TADOConnection::BudgetScope::BudgetScope(TADOConnection &connection)
    : m_connection(connection), m_previous(connection.m_deadlineNs) {
  if (connection.m_budgetMs > 0)
    connection.m_deadlineNs = steadyNowNs() + qint64(connection.m_budgetMs) * 1000000;
}

TADOConnection::BudgetScope::~BudgetScope() { m_connection.m_deadlineNs = m_previous; }

int TADOConnection::onProgress(void *connection) {
  const qint64 deadline = static_cast<TADOConnection *>(connection)->m_deadlineNs;
  return deadline != 0 && steadyNowNs() > deadline ? 1 : 0;
}

TADOConnection::~TADOConnection() { Close(); }

void TADOConnection::Open(const QString &path, const QByteArray &password, const BankFile::Block *alsoAccepted,
                          Access access) {
  Close();
  BankFile::registerVfs();
  const QFileInfo info(path);
  if (!info.exists())
    throw EDatabaseError(QStringLiteral("找不到数据库文件 %1").arg(path), SQLITE_CANTOPEN);
  // The engine would wait for ever on a FIFO: only regular files are opened.
  if (!info.isFile())
    throw EDatabaseError(QStringLiteral("%1 不是普通文件，不能作为题库打开").arg(path), SQLITE_CANTOPEN);
  const bool readOnly = access == Access::ReadOnly;
  QByteArray uri = BankFile::openUri(path, password, alsoAccepted);
  if (readOnly)
    uri += "&mode=ro&immutable=1";
  sqlite3 *db = nullptr;
  const int rc = sqlite3_open_v2(uri.constData(), &db,
                                 (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_URI, nullptr);
  if (rc != SQLITE_OK) {
    // The shim's own refusals carry no engine message of their own.
    QString text;
    if (rc == SQLITE_AUTH)
      text = QStringLiteral("数据库密码错误或文件已被屏蔽");
    else if (rc == SQLITE_NOTADB && BankFile::lastRefusedNewerVersion() > 0)
      text = BankFile::newerFormatMessage(BankFile::lastRefusedNewerVersion());
    else if (rc == SQLITE_NOTADB)
      text = QStringLiteral("不是本程序的题库文件");
    else
      text = EngineErrorMessage(rc, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close(db);
    throw EDatabaseError(text, rc);
  }
  opened(db, readOnly);
}

void TADOConnection::OpenPlain(const QString &path, bool create) {
  Close();
  const QFileInfo info(path);
  if (info.exists() && !info.isFile())
    throw EDatabaseError(QStringLiteral("%1 不是普通文件，不能作为数据库打开").arg(path), SQLITE_CANTOPEN);
  sqlite3 *db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    EDatabaseError e = engineError(db, rc);
    sqlite3_close(db);
    throw e;
  }
  opened(db, false);
}

// The steps every open shares once the engine has the file: hardened before
// the first page is read, the pragmas, the schema read and checked (the
// read proves that the image behind the header is sound, and rolls back a
// hot journal).
void TADOConnection::opened(sqlite3 *db, bool readOnly) {
  harden(db);
  sqlite3_progress_handler(db, kProgressInstructions, &TADOConnection::onProgress, this);
  m_db = db;
  m_thread = std::this_thread::get_id();
  try {
    applyPragmas(readOnly);
    QString refusal;
    {
      BudgetScope budget(*this);
      refusal = BankSchemaRefusal(m_db);
    }
    if (!refusal.isEmpty())
      throw EBankSchema(refusal);
    std::function<void(TADOConnection &)> hook;
    {
      const std::lock_guard<std::mutex> lock(g_hookMutex);
      hook = g_openedHook;
    }
    if (hook)
      hook(*this);
  } catch (...) {
    Close();
    throw;
  }
}

void TADOConnection::applyPragmas(bool readOnly) {
  // Another connection writing at the same moment is waited for, not
  // reported as "database is locked" at once.
  sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
  if (!readOnly) {
    exec("PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=FULL");
  }
  exec("PRAGMA foreign_keys=OFF");
}

void TADOConnection::releaseMemory() {
  if (m_db)
    sqlite3_db_release_memory(m_db);
}

void TADOConnection::Close() {
  finalizePrepared();
  if (m_db) {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
  }
  m_thread = std::thread::id();
}

void TADOConnection::releaseThread() { m_thread = std::thread::id(); }

void TADOConnection::adoptThread() {
  std::thread::id none;
  if (!m_thread.compare_exchange_strong(none, std::this_thread::get_id()) && none != std::this_thread::get_id())
    throw EDatabaseError(QStringLiteral("数据库连接正由另一个线程使用"), SQLITE_MISUSE);
}

void TADOConnection::checkThread() const {
  if (m_db && m_thread.load() != std::this_thread::get_id())
    throw EDatabaseError(QStringLiteral("数据库连接不属于这个线程，不能在这里使用"), SQLITE_MISUSE);
}

void TADOConnection::exec(const char *sql) {
  if (!m_db)
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  checkThread();
  char *err = nullptr;
  int rc;
  {
    BudgetScope budget(*this);
    rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &err);
  }
  if (rc != SQLITE_OK) {
    const QString text = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_free(err);
    throw EDatabaseError(EngineErrorMessage(rc, text), rc);
  }
}

void TADOConnection::BeginTrans() { exec("BEGIN IMMEDIATE"); }
void TADOConnection::BeginRead() { exec("BEGIN"); }
void TADOConnection::CommitTrans() { exec("COMMIT"); }
void TADOConnection::RollbackTrans() {
  if (InTransaction())
    exec("ROLLBACK");
}
bool TADOConnection::InTransaction() const { return m_db && !sqlite3_get_autocommit(m_db); }

int TADOConnection::ExecuteScript(const QString &sql) {
  if (!m_db)
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  checkThread();
  const QByteArray text = sql.toUtf8();
  // The engine reads the text up to its terminating NUL: one inside would
  // end the script there and drop the rest unseen.
  const qsizetype nul = text.indexOf('\0');
  if (nul >= 0)
    throw EDatabaseError(QStringLiteral("SQL 脚本在字节偏移 %1 处有一个 NUL 字节：脚本不能含有 NUL 字节").arg(nul),
                         SQLITE_MISUSE);
  const char *rest = text.constData();
  const char *const end = rest + text.size();
  int statements = 0;
  while (rest < end) {
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    // Read in place up to the terminator (-1). A length that stops short of
    // it makes the engine copy the whole rest of the script for every
    // statement: a build then grows with the square of its script.
    int rc = sqlite3_prepare_v2(m_db, rest, -1, &stmt, &tail);
    if (rc != SQLITE_OK)
      throw engineError(m_db, rc);
    rest = tail;
    if (!stmt) // only white space or comments were left
      break;
    do {
      BudgetScope budget(*this);
      rc = sqlite3_step(stmt);
    } while (rc == SQLITE_ROW);
    if (rc != SQLITE_DONE) {
      EDatabaseError e = engineError(m_db, rc);
      sqlite3_finalize(stmt);
      throw e;
    }
    sqlite3_finalize(stmt);
    ++statements;
  }
  return statements;
}

void TADOConnection::WriteHeaderBlock(const unsigned char *block40) {
  if (!m_db)
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  checkThread();
  const int rc = sqlite3_file_control(m_db, "main", BankFile::kFcntlWriteBlock,
                                      const_cast<unsigned char *>(block40));
  if (rc != SQLITE_OK)
    throw EDatabaseError(EngineErrorMessage(rc, QStringLiteral("无法写入数据库文件头：%1").arg(QString::fromUtf8(sqlite3_errstr(rc)))), rc);
}

// A statement runs alone: text after the first statement is refused.
static void refuseTail(sqlite3_stmt *stmt, const char *tail) {
  for (const char *p = tail; p && *p; ++p) {
    if (*p != ';' && !QChar::isSpace(uchar(*p))) {
      sqlite3_finalize(stmt);
      throw EDatabaseError(QStringLiteral("一次只能执行一条语句"), SQLITE_MISUSE);
    }
  }
}

sqlite3_stmt *TADOConnection::preparedStatement(const QByteArray &sql) {
  if (!m_db)
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  checkThread();
  if (sqlite3_stmt *stmt = m_prepared.value(sql))
    return stmt;
  // The texts kept are the few a program runs in loops; a run of distinct
  // texts starts the cache afresh rather than letting it grow.
  constexpr int kMaxPrepared = 64;
  if (m_prepared.size() >= kMaxPrepared)
    finalizePrepared();
  sqlite3_stmt *stmt = nullptr;
  const char *tail = nullptr;
  const int rc = sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()) + 1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                    &tail); // read in place, up to the terminator
  if (rc != SQLITE_OK)
    throw engineError(m_db, rc);
  if (!stmt)
    throw EDatabaseError(QStringLiteral("语句为空"), SQLITE_MISUSE);
  refuseTail(stmt, tail);
  m_prepared.insert(sql, stmt);
  return stmt;
}

void TADOConnection::finalizePrepared() {
  for (sqlite3_stmt *stmt : qAsConst(m_prepared))
    sqlite3_finalize(stmt);
  m_prepared.clear();
}

// ---------------------------------------------------------------------------

TADOQuery::TADOQuery(TADOConnection &connection, const QString &name)
    : m_connection(connection), m_name(name) {}

void TADOQuery::Close() {
  m_active = false;
  m_columns.clear();
  m_rows.clear();
  m_row = 0;
}

void TADOQuery::Open() { run(true); }
void TADOQuery::ExecSQL() { run(false); }
void TADOQuery::openWith(const QVariantList &values) { runWith(values, true); }
void TADOQuery::execSQLWith(const QVariantList &values) { runWith(values, false); }

// "SELECT @@Identity" is answered with the last rowid of this connection.
static QString translate(const QString &text) {
  static const QRegularExpression identity(QStringLiteral("@@identity\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
  if (!text.contains(QLatin1String("@@")))
    return text;
  QString out = text;
  out.replace(identity, QStringLiteral("last_insert_rowid()"));
  return out;
}

// The statement of the SQL text, prepared on the connection for one run.
sqlite3_stmt *TADOQuery::prepare() {
  sqlite3 *db = m_connection.handle();
  if (!db)
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  m_connection.checkThread();
  const QByteArray sql = translate(SQL.Text()).toUtf8();
  sqlite3_stmt *stmt = nullptr;
  const char *tail = nullptr;
  // The length includes the terminator, so the engine reads the text in
  // place instead of copying it first.
  int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()) + 1, &stmt, &tail);
  if (rc != SQLITE_OK)
    throw engineError(db, rc);
  if (!stmt)
    throw EDatabaseError(QStringLiteral("语句为空"), SQLITE_MISUSE);
  refuseTail(stmt, tail);
  return stmt;
}

void TADOQuery::run(bool wantRows) {
  Close();
  sqlite3_stmt *stmt = prepare();
  try {
    readResults(stmt, wantRows);
  } catch (...) {
    sqlite3_finalize(stmt);
    throw;
  }
  sqlite3_finalize(stmt);
}

// Binds `values` to a reset statement; false with `error` set when one does
// not fit.
static bool bindValues(sqlite3_stmt *stmt, const QVariantList &values, QString &error) {
  if (sqlite3_bind_parameter_count(stmt) != values.size()) {
    error = QStringLiteral("语句有 %1 个参数，给出了 %2 个值").arg(sqlite3_bind_parameter_count(stmt)).arg(values.size());
    return false;
  }
  for (int i = 0; i < values.size(); ++i) {
    const QVariant &v = values[i];
    int rc = SQLITE_OK;
    if (v.isNull()) {
      rc = sqlite3_bind_null(stmt, i + 1);
    } else {
      switch (v.typeId()) {
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::Short:
      case QMetaType::UShort:
      case QMetaType::Long:
      case QMetaType::LongLong:
        rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
        break;
      case QMetaType::Double:
        rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
        break;
      case QMetaType::QString: {
        const QByteArray text = v.toString().toUtf8();
        rc = sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        break;
      }
      default:
        error = QStringLiteral("第 %1 个值的类型不能用于语句").arg(i + 1);
        return false;
      }
    }
    if (rc != SQLITE_OK) {
      error = QString::fromUtf8(sqlite3_errstr(rc));
      return false;
    }
  }
  return true;
}

void TADOQuery::runWith(const QVariantList &values, bool wantRows) {
  Close();
  sqlite3_stmt *stmt = m_connection.preparedStatement(translate(SQL.Text()).toUtf8());
  // The kept statement goes back reset and unbound whatever happens, so it
  // holds no read lock and no value between runs.
  struct Release {
    sqlite3_stmt *stmt;
    ~Release() {
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
    }
  } release{stmt};
  QString error;
  if (!bindValues(stmt, values, error))
    throw EDatabaseError(QStringLiteral("%1: %2").arg(m_name, error), SQLITE_RANGE);
  readResults(stmt, wantRows);
}

// A field of the current row of `stmt` as the query keeps it.
static QVariant columnValue(sqlite3_stmt *stmt, int c) {
  switch (sqlite3_column_type(stmt, c)) {
  case SQLITE_INTEGER:
    return qint64(sqlite3_column_int64(stmt, c));
  case SQLITE_FLOAT:
    return sqlite3_column_double(stmt, c);
  case SQLITE_TEXT:
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)), sqlite3_column_bytes(stmt, c));
  case SQLITE_BLOB:
    return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, c)), sqlite3_column_bytes(stmt, c));
  default:
    return QVariant();
  }
}

TField TForwardRow::Fields(int index) const {
  if (index < 0 || index >= sqlite3_column_count(m_stmt))
    throw EDatabaseError(QStringLiteral("字段序号 %1 超出范围").arg(index), SQLITE_RANGE);
  return TField(columnValue(m_stmt, index));
}

// One locked engine call a field (sqlite3_column_value); what is read from
// the value after it takes no lock, which is sound as the connection serves
// one thread at a time (TADOConnection). A column out of range reads as null
// here; Fields() reports it.
std::optional<qint64> TForwardRow::StoredInteger(int index) const {
  sqlite3_value *v = sqlite3_column_value(m_stmt, index);
  if (sqlite3_value_type(v) == SQLITE_INTEGER)
    return sqlite3_value_int64(v);
  if (index < 0 || index >= sqlite3_column_count(m_stmt))
    Fields(index); // throws
  return std::nullopt;
}

qint64 TForwardRow::LargeInt(int index) const {
  sqlite3_value *v = sqlite3_column_value(m_stmt, index);
  if (sqlite3_value_type(v) == SQLITE_INTEGER)
    return sqlite3_value_int64(v);
  return Fields(index).AsLargeInt();
}

int TForwardRow::Integer(int index) const {
  sqlite3_value *v = sqlite3_column_value(m_stmt, index);
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    const qint64 n = sqlite3_value_int64(v);
    if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
      return int(n);
  }
  return Fields(index).AsInteger(); // converts, or throws as a field does
}

QByteArrayView TForwardRow::Utf8(int index) const {
  if (index < 0 || index >= sqlite3_column_count(m_stmt))
    throw EDatabaseError(QStringLiteral("字段序号 %1 超出范围").arg(index), SQLITE_RANGE);
  sqlite3_value *v = sqlite3_column_value(m_stmt, index);
  const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
  return text ? QByteArrayView(text, sqlite3_value_bytes(v)) : QByteArrayView();
}

void TADOQuery::OpenForward(const std::function<void(const TForwardRow &)> &each) {
  Close();
  sqlite3_stmt *stmt = prepare();
  try {
    const TForwardRow row(stmt);
    const auto step = [&] {
      TADOConnection::BudgetScope budget(m_connection);
      return sqlite3_step(stmt);
    };
    int rc;
    while ((rc = step()) == SQLITE_ROW)
      each(row);
    if (rc != SQLITE_DONE)
      throw engineError(sqlite3_db_handle(stmt), rc);
  } catch (...) {
    sqlite3_finalize(stmt);
    throw;
  }
  sqlite3_finalize(stmt);
}

void TADOQuery::readResults(sqlite3_stmt *stmt, bool wantRows) {
  sqlite3 *db = sqlite3_db_handle(stmt);
  // A kept statement whose schema changed since it was prepared (a table
  // rebuilt, a column added) is prepared again by its first step, with
  // the columns as they are now: they are named after that step.
  const auto step = [&] {
    TADOConnection::BudgetScope budget(m_connection);
    return sqlite3_step(stmt);
  };
  int rc = step();
  const int columns = sqlite3_column_count(stmt);
  for (int c = 0; c < columns; ++c)
    m_columns.append(QString::fromUtf8(sqlite3_column_name(stmt, c)));
  for (; rc == SQLITE_ROW; rc = step()) {
    if (!wantRows)
      continue;
    std::vector<QVariant> row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c)
      row.push_back(columnValue(stmt, c));
    m_rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    EDatabaseError e = engineError(db, rc);
    Close();
    throw e;
  }
  m_rowsAffected = sqlite3_changes(db);
  if (wantRows)
    m_active = true;
  else
    m_columns.clear();
}

TField TADOQuery::FieldByName(const QString &name) const {
  if (!m_active)
    throw EDatabaseError(QStringLiteral("%1: 数据集没有打开").arg(m_name), SQLITE_MISUSE);
  for (int c = 0; c < int(m_columns.size()); ++c) {
    if (m_columns[c].compare(name, Qt::CaseInsensitive) == 0)
      return Fields(c);
  }
  throw EDatabaseError(QStringLiteral("%1: 找不到字段“%2”").arg(m_name, name), SQLITE_ERROR);
}

TField TADOQuery::Fields(int index) const {
  if (!m_active)
    throw EDatabaseError(QStringLiteral("%1: 数据集没有打开").arg(m_name), SQLITE_MISUSE);
  if (Eof())
    throw EDatabaseError(QStringLiteral("%1: 没有当前记录").arg(m_name), SQLITE_RANGE);
  if (index < 0 || index >= int(m_columns.size()))
    throw EDatabaseError(QStringLiteral("%1: 字段序号 %2 超出范围").arg(m_name).arg(index), SQLITE_RANGE);
  return TField(m_rows[m_row][index]);
}

// ---------------------------------------------------------------------------

TDataModule1::TDataModule1()
    : ADOQuery1(ADOConnection1, QStringLiteral("ADOQuery1")),
      ADOQuery2(ADOConnection1, QStringLiteral("ADOQuery2")),
      ADOQuery3(ADOConnection1, QStringLiteral("ADOQuery3")),
      ADOQuery4(ADOConnection1, QStringLiteral("ADOQuery4")) {}
