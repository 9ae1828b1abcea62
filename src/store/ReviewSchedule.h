#pragma once
// 复习计划: when a sub-question the learner once answered wrong comes back.
//
// The memory model is FSRS-4.5, the Free Spaced Repetition Scheduler
// (Jarrett Ye and the open-spaced-repetition project, 2023), with its
// published default weights w0..w16. A question's memory has a stability S
// (the days after which recall has fallen to 90 %) and a difficulty D
// (1..10). Recall t days after the last answer is R = (1 + 19/81 * t/S)^-0.5,
// so the interval that keeps recall at 90 % is S days. Only right and wrong
// are known of an answer: wrong is graded "again", right "good".
// - The first wrong answer starts the question: S = w0, D = w4 - (1-3) w5.
// - A wrong answer (a lapse) brings it back the next day; S falls to
//   w11 D^-w12 ((S+1)^w13 - 1) e^(w14 (1-R)) (never above S) and D rises.
// - A right answer on a later day multiplies S by
//   1 + e^w8 (11-D) S^-w9 (e^(w10 (1-R)) - 1): the more was forgotten, the
//   more it grows. The next interval is S days, at least one day more than
//   the last one when the question was due, and never brings it nearer.
// - A right answer on the day of the last answer (the same day's redo)
//   changes nothing: recall is whole, FSRS gives no growth.
// - A question never answered wrong is never scheduled.
// Days are the local calendar days of the answers' times.

#include <QDate>
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

class TADOConnection;

struct ReviewEntry {
  double stability = 0;  // days
  double difficulty = 0; // 1..10
  qint64 lastDay = 0;    // Julian day of the last answer
  QString lastReview;    // its time, yyyy-MM-dd HH:mm:ss
  qint64 dueDay = 0;     // Julian day it is due
  int lapses = 0;        // wrong answers
};

// One graded answer given at `time` ("yyyy-MM-dd HH:mm:ss"; the day is its
// date) to a question whose state is `entry` (empty: never answered wrong).
// A time whose date does not read is not placed in time: nothing changes.
void ApplyReviewAnswer(std::optional<ReviewEntry> &entry, bool right, const QString &time);

// "yyyy-MM-dd" of a Julian day.
QString ReviewDayText(qint64 day);

struct ReviewAnswer {
  int xiaoTiHao = 0;
  bool right = false;
};

struct DueQuestion {
  int xiaoTiHao = 0;
  QString chapter; // 题目类别.名称 of its section
  QString content; // 题目内容
  QString due;     // 到期
  int lapses = 0;  // 错次
};

namespace ReviewSchedule {

inline const QString Table = QStringLiteral("复习计划");

bool exists(TADOConnection &c);

// Gives the open bank its schedule when it has none (the table missing, or
// empty while the history holds a wrong answer of a question of the bank):
// the table made as the program's schema writes it and filled by replaying
// the stored tests in time order, in one transaction. True when it was made.
// Throws EDatabaseError with nothing changed.
bool ensure(TADOConnection &c);

// The schedule the bank's stored tests give (测试结果.测试时间 order, then
// 编号, each test's rows in stored order), of the questions still in 小题.
// Reads only.
QHash<int, ReviewEntry> replay(TADOConnection &c);

// The answers of a test stored at `time`, run inside the caller's
// transaction. Nothing when the bank has no schedule (the next start builds
// it from the history, these answers with it).
void record(TADOConnection &c, const std::vector<ReviewAnswer> &answers, const QString &time);

// The questions due on `on` or earlier, by due date then number; only
// questions still in 小题.
std::vector<DueQuestion> dueQuestions(TADOConnection &c, const QDate &on);
int dueCount(TADOConnection &c, const QDate &on);

// The numbers due on `on` or earlier, by due date then number: from the
// schedule, or from a replay of the history when the bank has none. Reads
// only.
std::vector<int> dueNumbers(TADOConnection &c, const QDate &on);

// Into `newBank`, inside the caller's transaction: `oldBank`'s schedule, of
// the questions `newBank` has (the rest leave it). Nothing when `oldBank`
// has none: the new bank builds its own from the carried history.
void carry(TADOConnection &oldBank, TADOConnection &newBank);

} // namespace ReviewSchedule
