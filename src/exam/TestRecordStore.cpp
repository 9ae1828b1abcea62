#include "exam/TestRecordStore.h"
#include "common/Dialogs.h"
#include "common/AppError.h"
#include "app/PaperPresenter.h"
#include "store/DM.h"
#include "store/ReviewSchedule.h"
#include "store/Transaction.h"

#include <charconv>
#include <exception>

TestOutcome CurrentTestOutcome(const PaperState &paper, const TestTotals &totals) {
  TestOutcome o;
  o.kind = paper.kind;
  o.title = paper.title;
  o.chapterId = paper.chapterId;
  o.redoTestId = paper.redoTestId;
  o.totals = totals;
  o.questions.reserve(paper.questions.size());
  for (const TShiTi &s : paper.questions)
    o.questions.push_back({s.XiaoTiHao, s.IsRight});
  return o;
}

QString MarksText(float marks) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, marks);
  return QString::fromLatin1(buf, int(r.ptr - buf));
}

QString AccuracyText(float score, float total) {
  if (total == 0.0f)
    return QStringLiteral("0");
  return QString::number(double(score) / double(total), 'g', 15);
}

QString TestTimeText(const QDateTime &when) { return LocalTimeText(when); }

bool TestRecordStore::isStoredKind(qint16 kind) {
  return kind == 1 || kind == 2 || kind == 4 || kind == 5 || kind == 6 || kind == PaperKinds::DueReview;
}

TestRecordStore::Result TestRecordStore::saveOnClose(const TestOutcome &outcome) {
  if (!isStoredKind(outcome.kind))
    return Result::NotStored;
  if (!dialogs().question(TestRecordText::Ask, TestRecordText::AskCaption))
    return Result::Declined;
  const Result r = store(outcome, QDateTime::currentDateTime());
  switch (r) {
  case Result::Saved:
    dialogs().information(TestRecordText::Saved, TestRecordText::SavedCaption);
    break;
  case Result::RecordFailed:
    dialogs().warning(TestRecordText::RecordFailed, TestRecordText::FailedCaption);
    break;
  case Result::QuestionsFailed:
    dialogs().warning(TestRecordText::QuestionsFailed, TestRecordText::FailedCaption);
    break;
  default:
    break;
  }
  return r;
}

void TestRecordStore::insertRecord(const TestOutcome &o, const QString &accuracy, const QString &time) {
  const TestTotals &t = o.totals;
  TADOQuery &q = m_dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节) "));
  q.SQL.Add(QStringLiteral("VALUES(") + QuotedStr(o.title) + QLatin1Char(',') + QString::number(t.SumNumOfShiTi) +
            QLatin1Char(','));
  q.SQL.Add(QString::number(t.SumRight) + QLatin1Char(',') + MarksText(t.SumTotal) + QLatin1Char(',') +
            MarksText(t.SumScore) + QLatin1Char(','));
  q.SQL.Add(accuracy);
  q.SQL.Add(QLatin1Char(',') + QuotedStr(time) + QLatin1Char(',') + QString::number(o.kind));
  q.SQL.Add(QLatin1Char(',') + QString::number(o.chapterId) + QLatin1Char(')'));
  q.ExecSQL();
}

void TestRecordStore::updateRecord(const TestOutcome &o, const QString &accuracy, const QString &time) {
  const TestTotals &t = o.totals;
  TADOQuery &q = m_dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("UPDATE 测试结果 SET 试题数=") + QString::number(t.SumNumOfShiTi) +
            QStringLiteral(",答对=") + QString::number(t.SumRight) + QStringLiteral(",总分=") +
            MarksText(t.SumTotal) + QStringLiteral(",得分=") + MarksText(t.SumScore) +
            QStringLiteral(",正确率=") + accuracy + QStringLiteral(",测试时间=") + QuotedStr(time) +
            QStringLiteral(" WHERE 编号=") + QString::number(o.redoTestId));
  q.ExecSQL();
  // The record being redone was deleted meanwhile: nothing was stored, and
  // the learner must not be told otherwise.
  if (q.RowsAffected() == 0)
    throw AppError(QStringLiteral("测试记录 %1 已不存在").arg(o.redoTestId));
}

TestRecordStore::Result TestRecordStore::store(const TestOutcome &o, const QDateTime &when) {
  if (!isStoredKind(o.kind))
    return Result::NotStored;
  const QString accuracy = AccuracyText(o.totals.SumScore, o.totals.SumTotal);
  const QString time = TestTimeText(when);
  TADOConnection &c = m_dm.ADOConnection1;
  TADOQuery &q = m_dm.ADOQuery2;
  const qint64 right = -1, wrong = 0;
  Result failure = Result::RecordFailed;
  qint64 recordId = 0;
  try {
    // Refused while another transaction is open on the connection, which
    // then stays as it is; left by an exception, it rolls back.
    Transaction transaction(c);
    if (o.kind == 6) {
      updateRecord(o, accuracy, time);
      recordId = o.redoTestId;
      failure = Result::QuestionsFailed;
      q.Close();
      q.SQL.Clear();
      q.SQL.Add(QStringLiteral("UPDATE 测试题目 SET 回答正确=? WHERE 测试编号=? AND 小题号=?"));
      for (const TestQuestionRow &row : o.questions)
        q.execSQLWith({row.IsRight ? right : wrong, qint64(o.redoTestId), qint64(row.XiaoTiHao)});
    } else {
      insertRecord(o, accuracy, time);
      q.Close();
      q.SQL.Clear();
      q.SQL.Add(QStringLiteral("SELECT @@Identity"));
      q.Open();
      if (q.RecordCount() >= 1) {
        const QString id = q.Fields(0).AsString();
        recordId = id.toLongLong();
        failure = Result::QuestionsFailed;
        q.Close();
        q.SQL.Clear();
        q.SQL.Add(QStringLiteral("INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(?,?,?)"));
        for (const TestQuestionRow &row : o.questions)
          q.execSQLWith({recordId, qint64(row.XiaoTiHao), row.IsRight ? right : wrong});
      }
      q.Close();
    }
    // Every stored answer moves the review schedule, a redo's too (its
    // record keeps only the newest answers; the schedule has seen each).
    if (recordId != 0) {
      std::vector<ReviewAnswer> answers;
      answers.reserve(o.questions.size());
      for (const TestQuestionRow &row : o.questions)
        answers.push_back({row.XiaoTiHao, row.IsRight});
      ReviewSchedule::record(c, answers, time);
    }
    // A failed commit stores nothing of the record.
    failure = Result::RecordFailed;
    transaction.commit();
  } catch (const std::exception &) {
    q.Close();
    return failure;
  }
  m_lastRecordId = recordId;
  return Result::Saved;
}
