#include "collections/QuestionSearch.h"

#include <QSet>
#include <QStringList>

QString SearchText::FoundCount(int questions) { return QStringLiteral("共找到 %1 道试题").arg(questions); }

namespace {

QString numberList(const std::vector<qint32> &ids) {
  QStringList parts;
  parts.reserve(int(ids.size()));
  for (qint32 id : ids)
    parts << QString::number(id);
  return QStringLiteral("IN(") + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

SearchOutcome refused(const QString &message, Dialogs::Icon icon) {
  SearchOutcome out;
  out.message = message;
  out.icon = icon;
  return out;
}

} // namespace

QuestionSearch::QuestionSearch(TADOConnection &connection) : m_query(connection, QStringLiteral("QuestionSearch")) {}

QuestionSearch::QuestionSearch(TDataModule1 &dm) : QuestionSearch(dm.ADOConnection1) {}

std::vector<SearchScopeNode> QuestionSearch::scopeNodes() {
  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(QStringLiteral("SELECT 编号,名称 FROM 题目类别 WHERE 父级编号 IN"));
  m_query.SQL.Add(QStringLiteral("(SELECT 编号 FROM 题目类别 WHERE 父级编号=0)"));
  m_query.Open();
  std::vector<SearchScopeNode> out;
  out.reserve(std::size_t(m_query.RecordCount()));
  for (m_query.First(); !m_query.Eof(); m_query.Next())
    out.push_back({m_query.Fields(0).AsInteger(), m_query.Fields(1).AsString()});
  m_query.Close();
  return out;
}

std::vector<qint32> QuestionSearch::numbers(const QString &sql) {
  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(sql);
  std::vector<qint32> out;
  m_query.OpenForward([&](const TForwardRow &row) { out.push_back(row.Fields(0).AsInteger()); });
  return out;
}

SearchOutcome QuestionSearch::run(const QString &text, const std::vector<qint32> &scope) {
  if (text.isEmpty())
    return refused(SearchText::NoText, Dialogs::Icon::Information);
  if (scope.empty())
    return refused(SearchText::NoScope, Dialogs::Icon::Warning);
  // The ticked nodes as the bank has them now.
  const std::vector<qint32> nodes = numbers(QStringLiteral("SELECT 编号 FROM 题目类别 WHERE 编号 ") + numberList(scope));
  if (nodes.empty())
    return refused(SearchText::NoSubject, Dialogs::Icon::Warning);
  const std::vector<qint32> chapters =
      numbers(QStringLiteral("SELECT 编号 FROM 题目类别 WHERE 父级编号 ") + numberList(nodes));
  if (chapters.empty())
    return refused(SearchText::NoChapter, Dialogs::Icon::Warning);

  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(QStringLiteral("SELECT 小题号,大题号,题目内容,题目类型 FROM 小题 WHERE 题目内容 LIKE ") +
                  QuotedStr(QLatin1Char('%') + text + QLatin1Char('%')));
  m_query.SQL.Add(QStringLiteral(" AND 所属编号 ") + numberList(chapters));
  m_query.SQL.Add(QStringLiteral(" ORDER BY 题目类型,小题号,所属编号"));
  SearchOutcome out;
  QSet<int> listed;
  m_query.OpenForward([&](const TForwardRow &row) {
    // A sub-question of a case question carries the number of the case's
    // head, which is what a paper shows the case by.
    const int xiaoTiHao = row.Fields(0).AsInteger();
    const int daTiHao = row.Fields(1).AsInteger();
    const int number = daTiHao != 0 ? daTiHao : xiaoTiHao;
    if (listed.contains(number))
      return;
    listed.insert(number);
    out.rows.push_back({number, QString::fromUtf8(row.Utf8(2)), QString::fromUtf8(row.Utf8(3))});
  });
  if (out.rows.empty())
    return refused(SearchText::NotFound, Dialogs::Icon::Warning);
  return out;
}
