#pragma once
// The question search: the sub-questions whose text contains a fragment of
// a LIKE pattern, under the subjects' chapters the learner ticks. Widget
// free; every statement runs on query objects of its own.
//
// The scope is chosen by node number (two chapters of the same name in
// different subjects stay apart), the text goes into the statement through
// QuotedStr ("%" and "_" keep their pattern meaning, quotes and backslashes
// are found as typed), and a hit in a sub-question of a case question
// stands for the whole case question, listed once.

#include "collections/Favourites.h"
#include "common/Dialogs.h"
#include "store/DM.h"

#include <QString>
#include <vector>

namespace SearchText {
inline const QString Caption = QStringLiteral("试题查找");
inline const QString NoText = QStringLiteral("请输入查找内容！");
inline const QString NoScope = QStringLiteral("至少选择一个试题科目！");
inline const QString NoSubject = QStringLiteral("没有相应的科目！");
inline const QString NoChapter = QStringLiteral("没有相应的试题类别！");
inline const QString NotFound = QStringLiteral("没有查找到相应的内容！");
inline const QString MessageCaption = QStringLiteral("提示");
// The line of the result list that says how many questions were found.
QString FoundCount(int questions);
} // namespace SearchText

// A node the learner can tick: one level below a top node of the tree.
struct SearchScopeNode {
  qint32 id = 0;   // 编号
  QString name;    // 名称
  QString subject; // 名称 of its subject (the parent row)
  // The name, with the subject in front ("科目：名称") when another node of
  // `all` has the same name; "科目 › 名称" for a tooltip.
  QString label(const std::vector<SearchScopeNode> &all) const;
  QString path() const;
};

// One question found: the number a paper shows it by, the sub-question whose
// text the result list shows (the first hit; read when the list shows it)
// and that hit's type.
struct SearchResult {
  int xiaoTiHao = 0;
  int textOf = 0;
  QString type;
};

// What a search came to: the questions found, or the message that refuses
// it (the dialog shows it and stays open).
struct SearchOutcome {
  std::vector<SearchResult> rows; // one per question, in result order
  QString message;                // empty when rows were found
  Dialogs::Icon icon = Dialogs::Icon::Information;
  bool found() const { return message.isEmpty(); }
};

class QuestionSearch {
public:
  explicit QuestionSearch(TADOConnection &connection);
  explicit QuestionSearch(TDataModule1 &dm);

  // The nodes whose parent is a top node, in the order the bank gives them.
  std::vector<SearchScopeNode> scopeNodes();

  // Searches `text` (a fragment of a LIKE pattern) in the sub-questions of
  // the direct children of the nodes `scope`. Rows are sorted by question
  // type, then sub-question number, then chapter; a row's number is the one
  // a paper shows it by (a case question's head), its text and type those of
  // the first hit. Reads no question text. Throws EDatabaseError.
  SearchOutcome run(const QString &text, const std::vector<qint32> &scope);

  // The 题目内容 of the sub-questions `numbers`, aligned with them; empty
  // for a number the bank does not have (or whose text is null). Throws
  // EDatabaseError.
  std::vector<QString> texts(const std::vector<int> &numbers);

private:
  std::vector<qint32> numbers(const QString &sql);
  TADOQuery m_query;
};
