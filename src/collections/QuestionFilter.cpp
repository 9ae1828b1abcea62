#include "collections/QuestionFilter.h"
#include "store/DM.h"

#include <QSet>

QStringList QuestionFilter::types() {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("FilterTypes"));
  q.SQL.Add(QStringLiteral("SELECT 题目类型 FROM 类型说明 ORDER BY ID"));
  q.Open();
  QStringList out;
  for (q.First(); !q.Eof(); q.Next())
    out << q.Fields(0).AsString();
  return out;
}

QString QuestionFilter::statement(const std::vector<TXiaoTi> &paper, FilterRange range, const QStringList &types) {
  QStringList numbers, names;
  numbers.reserve(qsizetype(paper.size()));
  for (const TXiaoTi &x : paper)
    numbers << QString::number(x.XiaoTiHao);
  for (const QString &t : types)
    names << QuotedStr(t);
  QString sql = QStringLiteral("SELECT p.小题号 FROM 小题 p WHERE p.小题号 IN(") + numbers.join(QLatin1Char(',')) +
                QStringLiteral(")");
  // A case question is in a range when one of its sub-questions is: the
  // page shows it by its head, while the mark or the wrong answer may be on
  // any of its sub-questions.
  if (range == FilterRange::Favourites)
    sql += QStringLiteral("\n AND (p.是否收藏=1 OR (p.大题号<>0 AND EXISTS(SELECT 1 FROM 小题 s"
                          " WHERE s.大题号=p.大题号 AND s.是否收藏=1)))");
  else if (range == FilterRange::Wrong)
    sql += QStringLiteral("\n AND (p.小题号 IN(SELECT 小题号 FROM 测试题目 WHERE 回答正确=0)"
                          " OR (p.大题号<>0 AND EXISTS(SELECT 1 FROM 小题 s JOIN 测试题目 t ON t.小题号=s.小题号"
                          " WHERE s.大题号=p.大题号 AND t.回答正确=0)))");
  sql += QStringLiteral("\n AND p.题目类型 IN(") + names.join(QLatin1Char(',')) + QStringLiteral(")");
  return sql;
}

FilterResult QuestionFilter::apply(const std::vector<TXiaoTi> &paper, FilterRange range, const QStringList &types) {
  FilterResult result;
  if (types.isEmpty()) {
    result.status = FilterResult::Status::NoType;
    return result;
  }
  if (paper.empty()) {
    result.status = FilterResult::Status::NoQuestions;
    return result;
  }
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("Filter"));
  q.SQL.Add(statement(paper, range, types));
  QSet<int> kept;
  q.OpenForward([&](const TForwardRow &row) { kept.insert(row.Fields(0).AsInteger()); });
  // The paper's own order, each question once.
  for (const TXiaoTi &x : paper)
    if (kept.remove(x.XiaoTiHao))
      result.paper.push_back(x);
  result.status = result.paper.empty() ? FilterResult::Status::NoneLeft : FilterResult::Status::Narrowed;
  return result;
}

QString QuestionFilter::message(FilterResult::Status status) {
  switch (status) {
  case FilterResult::Status::NoType:
    return QuestionFilterText::NoType;
  case FilterResult::Status::NoQuestions:
    return QuestionFilterText::NoQuestions;
  case FilterResult::Status::NoneLeft:
    return QuestionFilterText::NoneLeft;
  case FilterResult::Status::Narrowed:
    break;
  }
  return {};
}

QString QuestionFilter::messageCaption(FilterResult::Status status) {
  switch (status) {
  case FilterResult::Status::NoType:
    return QuestionFilterText::NoTypeCaption;
  case FilterResult::Status::NoQuestions:
    return QuestionFilterText::NoQuestionsCaption;
  case FilterResult::Status::NoneLeft:
    return QuestionFilterText::NoneLeftCaption;
  case FilterResult::Status::Narrowed:
    break;
  }
  return {};
}
