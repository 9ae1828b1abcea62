#include "store/ReviewSchedule.h"
#include "store/BankSchema.h"
#include "store/DM.h"
#include "store/Transaction.h"

#include <QSet>
#include <sqlite3.h>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// FSRS-4.5's default weights.
constexpr double w[17] = {0.4872, 1.4003, 3.7145, 13.8206, 5.1618, 1.2298, 0.8975, 0.031, 1.6474,
                          0.1367, 1.0461, 2.1072, 0.0793, 0.3246, 1.587,  0.2272, 2.8755};
constexpr double kDecay = -0.5;
constexpr double kFactor = 19.0 / 81.0; // 0.9^(1/kDecay) - 1: recall is 90 % after S days
constexpr int kAgain = 1, kGood = 3;
constexpr double kMinStability = 0.01, kMaxDays = 36500;

double clampTo(double v, double lo, double hi) { return std::isnan(v) ? lo : std::min(std::max(v, lo), hi); }

double retrievability(qint64 elapsedDays, double stability) {
  return std::pow(1.0 + kFactor * double(elapsedDays) / stability, kDecay);
}

double initialDifficulty(int grade) { return clampTo(w[4] - (grade - 3) * w[5], 1, 10); }

double nextDifficulty(double d, int grade) {
  const double moved = d - w[6] * (grade - 3);
  return clampTo(w[7] * initialDifficulty(kGood) + (1 - w[7]) * moved, 1, 10);
}

double recallStability(double d, double s, double r) {
  return s * (1 + std::exp(w[8]) * (11 - d) * std::pow(s, -w[9]) * (std::exp(w[10] * (1 - r)) - 1));
}

double lapseStability(double d, double s, double r) {
  return std::min(s, w[11] * std::pow(d, -w[12]) * (std::pow(s + 1, w[13]) - 1) * std::exp(w[14] * (1 - r)));
}

// The days until recall falls to 90 %: S itself with these constants.
qint64 intervalDays(double s) { return qint64(clampTo(std::round(s), 1, kMaxDays)); }

// The Julian day of a "yyyy-MM-dd..." text (read by hand: a replay reads
// one per stored test and a live update one per answer).
std::optional<qint64> dayOf(QStringView time) {
  if (time.size() < 10 || time[4] != u'-' || time[7] != u'-')
    return std::nullopt;
  int parts[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p)
    for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
      const char16_t c = time[i].unicode();
      if (c < u'0' || c > u'9')
        return std::nullopt;
      parts[p] = parts[p] * 10 + (c - u'0');
    }
  const QDate d(parts[0], parts[1], parts[2]);
  if (!d.isValid())
    return std::nullopt;
  return d.toJulianDay();
}

// A prepared statement of the connection, reset when the scope ends.
struct Prepared {
  sqlite3_stmt *st;
  TADOConnection &c;
  Prepared(TADOConnection &connection, const char *sql) : st(connection.preparedStatement(sql)), c(connection) {}
  ~Prepared() {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
  }
  // Steps once; true for a row. Throws EDatabaseError.
  bool step() {
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
      return true;
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
      throw EDatabaseError(EngineErrorMessage(rc, QString::fromUtf8(sqlite3_errmsg(c.handle()))), rc);
    return false;
  }
};

// A state read from a bank: any value the bank holds gives a usable one (a
// date that does not read is taken as `day`, the day of the answer).
void sanitize(ReviewEntry &e, qint64 day) {
  e.stability = clampTo(e.stability, kMinStability, kMaxDays);
  e.difficulty = clampTo(e.difficulty, 1, 10);
  e.lapses = std::max(e.lapses, 0);
  if (e.lastDay <= 0)
    e.lastDay = day;
  if (e.dueDay <= 0)
    e.dueDay = day;
}

// A number of the bank's table as stored; 0 for a text or null that is no
// number (the state is made usable by sanitize()).
double numberOr0(const TField &f) {
  bool ok = false;
  const double v = f.Value().toDouble(&ok);
  return ok ? v : 0;
}

int countOf(const TField &f) { return int(std::clamp(numberOr0(f), 0.0, double(1 << 30))); }

const QString kColumns = QStringLiteral("小题号,稳定性,难度,上次复习,到期,错次");

QVariantList rowValues(int number, const ReviewEntry &e) {
  return {number, e.stability, e.difficulty, e.lastReview, ReviewDayText(e.dueDay), e.lapses};
}

void writeAll(TADOConnection &c, const QHash<int, ReviewEntry> &entries) {
  std::vector<int> numbers(entries.keyBegin(), entries.keyEnd());
  std::sort(numbers.begin(), numbers.end());
  Prepared insert(c, "INSERT INTO 复习计划(小题号,稳定性,难度,上次复习,到期,错次) VALUES(?,?,?,?,?,?)");
  for (int n : numbers) {
    TADOConnection::BudgetScope budget(c);
    const ReviewEntry &e = *entries.constFind(n);
    const QByteArray last = e.lastReview.toUtf8(), due = ReviewDayText(e.dueDay).toUtf8();
    sqlite3_bind_int(insert.st, 1, n);
    sqlite3_bind_double(insert.st, 2, e.stability);
    sqlite3_bind_double(insert.st, 3, e.difficulty);
    sqlite3_bind_text(insert.st, 4, last.constData(), int(last.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.st, 5, due.constData(), int(due.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insert.st, 6, e.lapses);
    insert.step();
    sqlite3_reset(insert.st);
  }
}

bool emptyButOwed(TADOConnection &c) {
  TADOQuery q(c, QStringLiteral("ScheduleOwed"));
  q.SQL.Add(QStringLiteral("SELECT (SELECT count(*) FROM (SELECT 1 FROM 复习计划 LIMIT 1)),"
                           " (SELECT count(*) FROM (SELECT 1 FROM 测试题目 t JOIN 小题 x ON x.小题号=t.小题号"
                           " WHERE t.回答正确=0 LIMIT 1))"));
  q.Open();
  return q.Fields(0).AsInteger() == 0 && q.Fields(1).AsInteger() != 0;
}

} // namespace

QString ReviewDayText(qint64 day) {
  const QDate d = QDate::fromJulianDay(day);
  if (!d.isValid())
    return QString();
  return QStringLiteral("%1-%2-%3")
      .arg(d.year(), 4, 10, QLatin1Char('0'))
      .arg(d.month(), 2, 10, QLatin1Char('0'))
      .arg(d.day(), 2, 10, QLatin1Char('0'));
}

namespace {

void applyOn(std::optional<ReviewEntry> &entry, bool right, std::optional<qint64> day, const QString &time) {
  if (!day)
    return;
  if (!entry) {
    if (right)
      return;
    ReviewEntry e;
    e.stability = w[0];
    e.difficulty = initialDifficulty(kAgain);
    e.lastDay = *day;
    e.lastReview = time;
    e.dueDay = *day + 1;
    e.lapses = 1;
    entry = e;
    return;
  }
  ReviewEntry &e = *entry;
  const qint64 elapsed = std::max<qint64>(0, *day - e.lastDay);
  if (right && elapsed == 0) {
    e.lastReview = time;
    return;
  }
  const double r = retrievability(elapsed, e.stability);
  if (!right) {
    e.stability = clampTo(lapseStability(e.difficulty, e.stability, r), kMinStability, kMaxDays);
    e.difficulty = nextDifficulty(e.difficulty, kAgain);
    e.dueDay = *day + 1;
    ++e.lapses;
  } else {
    const qint64 lastInterval = e.dueDay - e.lastDay;
    e.stability = clampTo(recallStability(e.difficulty, e.stability, r), kMinStability, kMaxDays);
    e.difficulty = nextDifficulty(e.difficulty, kGood);
    qint64 interval = intervalDays(e.stability);
    if (*day >= e.dueDay)
      interval = std::max(interval, std::min<qint64>(lastInterval + 1, qint64(kMaxDays)));
    e.dueDay = std::max(e.dueDay, *day + interval);
  }
  e.lastDay = std::max(e.lastDay, *day);
  e.lastReview = time;
}

} // namespace

void ApplyReviewAnswer(std::optional<ReviewEntry> &entry, bool right, const QString &time) {
  applyOn(entry, right, dayOf(time), time);
}

namespace ReviewSchedule {

bool exists(TADOConnection &c) {
  TADOQuery q(c, QStringLiteral("ScheduleExists"));
  q.SQL.Add(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"));
  q.openWith({Table});
  return q.Fields(0).AsInteger() != 0;
}

QHash<int, ReviewEntry> replay(TADOConnection &c) {
  // Its many statements read under one lock (inside the caller's
  // transaction, or a read transaction of its own).
  struct ReadScope {
    TADOConnection &c;
    bool own;
    explicit ReadScope(TADOConnection &connection) : c(connection), own(!connection.InTransaction()) {
      if (own)
        c.BeginRead();
    }
    ~ReadScope() {
      if (own)
        c.RollbackTrans();
    }
  } readScope(c);
  struct Test {
    qint64 id;
    QString time;
    qint64 day;
  };
  std::vector<Test> tests;
  {
    TADOQuery q(c, QStringLiteral("ScheduleTests"));
    q.SQL.Add(QStringLiteral("SELECT 编号,测试时间 FROM 测试结果 ORDER BY 测试时间,编号"));
    q.OpenForward([&](const TForwardRow &r) {
      const std::optional<qint64> id = r.StoredInteger(0);
      const QString time = QString::fromUtf8(r.Utf8(1));
      const std::optional<qint64> day = dayOf(time);
      if (id && day)
        tests.push_back({*id, time, *day});
    });
  }
  // Each test's rows in stored order, read in one walk of the table.
  QHash<qint64, std::vector<ReviewAnswer>> rows;
  rows.reserve(qsizetype(tests.size()));
  {
    // A test's rows lie together: the list of the last test is kept at hand.
    Prepared answers(c, "SELECT 测试编号,小题号,回答正确 FROM 测试题目 ORDER BY rowid");
    std::vector<ReviewAnswer> *list = nullptr;
    qint64 listTest = 0;
    for (;;) {
      TADOConnection::BudgetScope budget(c);
      if (!answers.step())
        break;
      sqlite3_stmt *st = answers.st;
      if (sqlite3_column_type(st, 0) != SQLITE_INTEGER || sqlite3_column_type(st, 1) != SQLITE_INTEGER ||
          sqlite3_column_type(st, 2) != SQLITE_INTEGER)
        continue;
      const qint64 test = sqlite3_column_int64(st, 0), number = sqlite3_column_int64(st, 1);
      if (number <= 0 || number > std::numeric_limits<int>::max())
        continue;
      if (!list || test != listTest) {
        list = &rows[test];
        listTest = test;
      }
      list->push_back({int(number), sqlite3_column_int64(st, 2) != 0});
    }
  }
  QHash<int, ReviewEntry> entries;
  for (const Test &t : tests) {
    const auto it = rows.constFind(t.id);
    if (it == rows.constEnd())
      continue;
    std::optional<ReviewEntry> state;
    for (const ReviewAnswer &a : *it) {
      auto e = entries.find(a.xiaoTiHao);
      if (e == entries.end()) {
        if (a.right)
          continue;
        state.reset();
        applyOn(state, false, t.day, t.time);
        entries.insert(a.xiaoTiHao, *state);
        continue;
      }
      state = std::move(*e);
      applyOn(state, a.right, t.day, t.time);
      *e = std::move(*state);
    }
  }
  // Only questions the bank still has: looked up in number order, so each
  // page of 小题 is read once.
  std::vector<int> numbers(entries.keyBegin(), entries.keyEnd());
  std::sort(numbers.begin(), numbers.end());
  Prepared present(c, "SELECT 1 FROM 小题 WHERE 小题号=?");
  for (int n : numbers) {
    TADOConnection::BudgetScope budget(c);
    sqlite3_bind_int(present.st, 1, n);
    const bool found = present.step();
    sqlite3_reset(present.st);
    if (!found)
      entries.remove(n);
  }
  return entries;
}

bool ensure(TADOConnection &c) {
  const bool present = exists(c);
  if (present && !emptyButOwed(c))
    return false;
  Transaction t(c);
  if (!present) {
    const QList<QByteArray> statements = BankTableStatements(Table);
    for (const QByteArray &s : statements) {
      TADOQuery q(c, QStringLiteral("ScheduleCreate"));
      q.SQL.Add(QString::fromUtf8(s));
      q.ExecSQL();
    }
  }
  writeAll(c, replay(c));
  t.commit();
  return true;
}

void record(TADOConnection &c, const std::vector<ReviewAnswer> &answers, const QString &time) {
  if (answers.empty() || !dayOf(time) || !exists(c))
    return;
  const qint64 day = *dayOf(time);
  TADOQuery read(c, QStringLiteral("ScheduleRead"));
  read.SQL.Add(QStringLiteral("SELECT 稳定性,难度,上次复习,到期,错次 FROM 复习计划 WHERE 小题号=?"));
  TADOQuery write(c, QStringLiteral("ScheduleWrite"));
  write.SQL.Add(QStringLiteral("INSERT OR REPLACE INTO 复习计划(%1) VALUES(?,?,?,?,?,?)").arg(kColumns));
  for (const ReviewAnswer &a : answers) {
    read.openWith({a.xiaoTiHao});
    std::optional<ReviewEntry> state;
    if (!read.IsEmpty()) {
      ReviewEntry e;
      e.stability = numberOr0(read.Fields(0));
      e.difficulty = numberOr0(read.Fields(1));
      e.lastReview = read.Fields(2).AsString();
      e.lastDay = dayOf(e.lastReview).value_or(0);
      e.dueDay = dayOf(read.Fields(3).AsString()).value_or(0);
      e.lapses = countOf(read.Fields(4));
      sanitize(e, day);
      state = e;
    } else if (a.right) {
      continue;
    }
    ApplyReviewAnswer(state, a.right, time);
    if (state)
      write.execSQLWith(rowValues(a.xiaoTiHao, *state));
  }
}

std::vector<DueQuestion> dueQuestions(TADOConnection &c, const QDate &on) {
  TADOQuery q(c, QStringLiteral("ScheduleDue"));
  std::vector<DueQuestion> out;
  q.SQL.Add(QStringLiteral("SELECT s.小题号,k.名称,x.题目内容,s.到期,s.错次 FROM 复习计划 s"
                           " JOIN 小题 x ON x.小题号=s.小题号 LEFT JOIN 题目类别 k ON k.编号=x.所属编号"
                           " WHERE s.到期<=? ORDER BY s.到期,s.小题号"));
  q.openWith({ReviewDayText(on.toJulianDay())});
  out.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.Fields(0).AsInteger(), q.Fields(1).AsString(), q.Fields(2).AsString(), q.Fields(3).AsString(),
                   countOf(q.Fields(4))});
  return out;
}

int dueCount(TADOConnection &c, const QDate &on) {
  if (!exists(c))
    return 0;
  TADOQuery q(c, QStringLiteral("ScheduleDueCount"));
  q.SQL.Add(QStringLiteral("SELECT count(*) FROM 复习计划 s WHERE s.到期<=?"
                           " AND EXISTS(SELECT 1 FROM 小题 x WHERE x.小题号=s.小题号)"));
  q.openWith({ReviewDayText(on.toJulianDay())});
  return q.Fields(0).AsInteger();
}

std::vector<int> dueNumbers(TADOConnection &c, const QDate &on) {
  std::vector<int> out;
  if (exists(c)) {
    for (const DueQuestion &d : dueQuestions(c, on))
      out.push_back(d.xiaoTiHao);
    return out;
  }
  const QHash<int, ReviewEntry> entries = replay(c);
  std::vector<std::pair<qint64, int>> due;
  for (auto it = entries.cbegin(); it != entries.cend(); ++it)
    if (it->dueDay <= on.toJulianDay())
      due.push_back({it->dueDay, it.key()});
  std::sort(due.begin(), due.end());
  for (const auto &d : due)
    out.push_back(d.second);
  return out;
}

void carry(TADOConnection &oldBank, TADOConnection &newBank) {
  if (!exists(oldBank))
    return;
  if (!exists(newBank))
    for (const QByteArray &s : BankTableStatements(Table)) {
      TADOQuery q(newBank, QStringLiteral("ScheduleCreate"));
      q.SQL.Add(QString::fromUtf8(s));
      q.ExecSQL();
    }
  TADOQuery clear(newBank, QStringLiteral("ScheduleClear"));
  clear.SQL.Add(QStringLiteral("DELETE FROM 复习计划"));
  clear.ExecSQL();
  TADOQuery write(newBank, QStringLiteral("ScheduleCarry"));
  write.SQL.Add(QStringLiteral("INSERT INTO 复习计划(%1) SELECT ?,?,?,?,?,? WHERE EXISTS(SELECT 1 FROM 小题 WHERE 小题号=?)")
                    .arg(kColumns));
  TADOQuery read(oldBank, QStringLiteral("ScheduleOld"));
  read.SQL.Add(QStringLiteral("SELECT %1 FROM 复习计划 ORDER BY 小题号").arg(kColumns));
  read.OpenForward([&](const TForwardRow &r) {
    QVariantList v;
    for (int i = 0; i < 6; ++i)
      v << r.Fields(i).Value();
    v << r.Fields(0).Value();
    write.execSQLWith(v);
  });
}

} // namespace ReviewSchedule
