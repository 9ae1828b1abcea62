#include "exam/MockExamRepository.h"

#include <QStringList>

MockExamRepository::MockExamRepository(TADOConnection &connection)
    : m_query(connection, QStringLiteral("MockExamQuery")) {}

MockExamRepository::MockExamRepository(TDataModule1 &dm) : MockExamRepository(dm.ADOConnection1) {}

std::vector<ExamCategory> MockExamRepository::categories(const QString &statement) {
  TADOQuery &q = m_query;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(statement);
  q.Open();
  std::vector<ExamCategory> out;
  out.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.FieldByName(QStringLiteral("编号")).AsInteger(), q.FieldByName(QStringLiteral("名称")).AsString(),
                   true});
  q.Close();
  return out;
}

std::vector<ExamCategory> MockExamRepository::subjects() {
  return categories(QStringLiteral("SELECT * FROM 题目类别 WHERE 属性='0'"));
}

std::vector<ExamCategory> MockExamRepository::chapters(qint32 subjectId) {
  return categories(QStringLiteral("SELECT * FROM 题目类别 WHERE 父级编号=") + QString::number(subjectId));
}

QString MockExamRepository::candidateStatement(QuestionRange range, const std::vector<qint32> &chapterIds) {
  QStringList ids;
  ids.reserve(qsizetype(chapterIds.size()));
  for (qint32 id : chapterIds)
    ids << QString::number(id);
  // One row per question: a stand-alone sub-question is its own 大题号; a
  // case question is its head sub-question, and its size is read with it.
  // A case question is in a range when one of its sub-questions is.
  QString sql = QStringLiteral(
      "SELECT 小题号,题目类型,"
      "CASE WHEN 小题号 IN(SELECT 大题号 FROM 大题) "
      "THEN (SELECT count(*) FROM 小题 AS 案例小题 WHERE 案例小题.大题号=小题.小题号) ELSE 0 END AS 案例小题数 "
      "FROM 小题 WHERE 小题号=大题号");
  if (range == QuestionRange::Favourites)
    sql += QStringLiteral(" AND 小题号 IN(SELECT 大题号 FROM 小题 WHERE 是否收藏=1)");
  else if (range == QuestionRange::Wrong)
    sql += QStringLiteral(
        " AND 小题号 IN(SELECT 大题号 FROM 小题 WHERE 小题号 IN(SELECT 小题号 FROM 测试题目 WHERE 回答正确=0))");
  sql += QStringLiteral(" AND 所属编号 IN(SELECT 编号 FROM 题目类别 WHERE 父级编号 IN(") +
         ids.join(QLatin1Char(',')) + QStringLiteral("))");
  return sql;
}

std::vector<ExamCandidate> MockExamRepository::candidates(QuestionRange range, const std::vector<qint32> &chapterIds) {
  if (chapterIds.empty())
    return {};
  TADOQuery &q = m_query;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(candidateStatement(range, chapterIds));
  // Up to every question of the bank: walked once, nothing kept but the
  // candidates, and one copy of each type name (a few names serve them all).
  std::vector<ExamCandidate> out;
  QByteArray lastUtf8;
  QString lastType;
  q.OpenForward([&](const TForwardRow &row) {
    const QByteArrayView type = row.Utf8(1);
    if (type != QByteArrayView(lastUtf8) || lastType.isNull()) {
      lastUtf8 = type.toByteArray();
      lastType = QString::fromUtf8(type);
    }
    out.push_back({row.Fields(0).AsInteger(), lastType, row.Fields(2).AsInteger()});
  });
  return out;
}

std::vector<ExamQuestionType> MockExamRepository::questionTypes() {
  TADOQuery &q = m_query;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("Select * From 类型说明 Order By ID"));
  q.Open();
  std::vector<ExamQuestionType> out;
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.FieldByName(QStringLiteral("题目类型")).AsString(), q.FieldByName(QStringLiteral("分数")).AsFloat()});
  q.Close();
  return out;
}
