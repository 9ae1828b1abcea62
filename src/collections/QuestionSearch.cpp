#include "collections/QuestionSearch.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <QStringList>

QString SearchText::FoundCount(int questions) { return QStringLiteral("共找到 %1 道试题").arg(questions); }

namespace {

template <typename Int> QString numberList(const std::vector<Int> &ids) {
  QStringList parts;
  parts.reserve(int(ids.size()));
  for (Int id : ids)
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
  m_query.SQL.Add(QStringLiteral("SELECT 编号,名称 FROM 题目类别 WHERE 父级编号=0"));
  m_query.Open();
  QHash<qint32, QString> subjects;
  for (m_query.First(); !m_query.Eof(); m_query.Next())
    subjects.insert(m_query.Fields(0).AsInteger(), m_query.Fields(1).AsString());
  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(QStringLiteral("SELECT 编号,名称,父级编号 FROM 题目类别 WHERE 父级编号 IN"));
  m_query.SQL.Add(QStringLiteral("(SELECT 编号 FROM 题目类别 WHERE 父级编号=0)"));
  m_query.Open();
  std::vector<SearchScopeNode> out;
  out.reserve(std::size_t(m_query.RecordCount()));
  for (m_query.First(); !m_query.Eof(); m_query.Next())
    out.push_back({m_query.Fields(0).AsInteger(), m_query.Fields(1).AsString(),
                   subjects.value(m_query.Fields(2).AsInteger())});
  m_query.Close();
  return out;
}

QString SearchScopeNode::label(const std::vector<SearchScopeNode> &all) const {
  const auto sameName = std::count_if(all.begin(), all.end(), [this](const SearchScopeNode &n) { return n.name == name; });
  return sameName > 1 ? subject + QStringLiteral("：") + name : name;
}

QString SearchScopeNode::path() const { return subject + QStringLiteral(" › ") + name; }

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

  // The scan runs in the table's order and the hits are sorted here: the
  // engine's sorter would carry every hit's text through a temporary tree.
  // The order is the statement's "ORDER BY 题目类型,小题号,所属编号", the
  // types compared as the engine compares texts (their UTF-8 bytes).
  struct Hit {
    int xiaoTiHao, daTiHao;
    qint64 chapter;
    int type; // index into `types`
  };
  std::vector<QByteArray> types; // the distinct 题目类型, as stored
  std::vector<Hit> hits;
  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(QStringLiteral("SELECT 小题号,大题号,所属编号,题目类型 FROM 小题 WHERE 题目内容 LIKE ") +
                  QuotedStr(QLatin1Char('%') + text + QLatin1Char('%')));
  // The chapters are checked here (the engine's IN looks every row up in a
  // temporary tree): as "+所属编号 IN(…)" compares, only a stored integer
  // can be one of them.
  std::vector<qint64> inScope(chapters.begin(), chapters.end());
  std::sort(inScope.begin(), inScope.end());
  m_query.OpenForward([&](const TForwardRow &row) {
    const std::optional<qint64> chapter = row.StoredInteger(2);
    if (!chapter || !std::binary_search(inScope.begin(), inScope.end(), *chapter))
      return;
    const QByteArrayView type = row.Utf8(3);
    auto known = std::find(types.begin(), types.end(), type);
    if (known == types.end())
      known = types.insert(types.end(), type.toByteArray());
    hits.push_back({row.Integer(0), row.Integer(1), *chapter, int(known - types.begin())});
  });
  std::vector<int> rank(types.size());
  for (std::size_t i = 0; i < types.size(); ++i)
    rank[i] = int(std::count_if(types.begin(), types.end(), [&](const QByteArray &t) { return t < types[i]; }));
  // Placed by type, keeping the table's order (nearly always that of
  // 小题号); a type's run is sorted only when it is out of order.
  std::vector<std::size_t> start(types.size() + 1, 0);
  for (const Hit &h : hits)
    ++start[std::size_t(rank[std::size_t(h.type)]) + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::vector<Hit> ordered(hits.size());
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (const Hit &h : hits)
    ordered[next[std::size_t(rank[std::size_t(h.type)])]++] = h;
  const auto before = [](const Hit &a, const Hit &b) {
    return a.xiaoTiHao != b.xiaoTiHao ? a.xiaoTiHao < b.xiaoTiHao : a.chapter < b.chapter;
  };
  for (std::size_t k = 0; k + 1 < start.size(); ++k) {
    const auto first = ordered.begin() + std::ptrdiff_t(start[k]), last = ordered.begin() + std::ptrdiff_t(start[k + 1]);
    if (!std::is_sorted(first, last, before))
      std::sort(first, last, before);
  }
  hits = std::move(ordered);
  std::vector<QString> typeTexts;
  for (const QByteArray &t : types)
    typeTexts.push_back(QString::fromUtf8(t));

  SearchOutcome out;
  QSet<int> listed;
  listed.reserve(int(hits.size()));
  out.rows.reserve(hits.size());
  for (const Hit &h : hits) {
    // A sub-question of a case question carries the number of the case's
    // head, which is what a paper shows the case by.
    const int number = h.daTiHao != 0 ? h.daTiHao : h.xiaoTiHao;
    if (listed.contains(number))
      continue;
    listed.insert(number);
    out.rows.push_back({number, h.xiaoTiHao, typeTexts[std::size_t(h.type)]});
  }
  if (out.rows.empty())
    return refused(SearchText::NotFound, Dialogs::Icon::Warning);
  return out;
}

std::vector<QString> QuestionSearch::texts(const std::vector<int> &numbers) {
  std::vector<QString> out(numbers.size());
  if (numbers.empty())
    return out;
  QHash<int, QString> found;
  found.reserve(int(numbers.size()));
  m_query.Close();
  m_query.SQL.Clear();
  m_query.SQL.Add(QStringLiteral("SELECT 小题号,题目内容 FROM 小题 WHERE 小题号 ") + numberList(numbers));
  m_query.OpenForward(
      [&](const TForwardRow &row) { found.insert(row.Fields(0).AsInteger(), QString::fromUtf8(row.Utf8(1))); });
  for (std::size_t i = 0; i < numbers.size(); ++i)
    out[i] = found.value(numbers[i]);
  return out;
}
