#pragma once
// "试题过滤": the paper on display narrowed to chosen question types, and
// optionally to its favourites or to the questions once answered wrongly.
// The filter reads the bank and returns a new list: the caller's paper is
// never changed here, so a refused or cancelled filter loses nothing.

#include "render/Global.h"

#include <QString>
#include <QStringList>
#include <vector>

class TDataModule1;

namespace QuestionFilterText {
inline const QString Caption = QStringLiteral("试题过滤");
inline const QString Confirm = QStringLiteral("试题过滤会清除当前所选择的答案，是否继续？(Y/N)");
inline const QString ConfirmCaption = QStringLiteral("询问");
inline const QString NoPaper = QStringLiteral("请先选择试卷！");
inline const QString NoPaperCaption = QStringLiteral("未选择试卷");
inline const QString NoType = QStringLiteral(" 必须至少选择一种题型!");
inline const QString NoTypeCaption = QStringLiteral("选择题型");
inline const QString NoQuestions = QStringLiteral("没有可以过滤的题目！");
inline const QString NoQuestionsCaption = QStringLiteral("没有题目");
inline const QString NoneLeft = QStringLiteral("没有符合试题范围的试题!");
inline const QString NoneLeftCaption = QStringLiteral("无试题");
} // namespace QuestionFilterText

// The range group's items, in their order.
enum class FilterRange { All = 0, Favourites = 1, Wrong = 2 };

struct FilterResult {
  enum class Status {
    Narrowed,    // `paper` holds what is left
    NoType,      // no question type ticked
    NoQuestions, // the paper to filter is empty
    NoneLeft,    // nothing of the paper is in the range and of a ticked type
  };
  Status status = Status::NoneLeft;
  std::vector<TXiaoTi> paper;
};

class QuestionFilter {
public:
  explicit QuestionFilter(TDataModule1 &dm) : m_dm(dm) {}

  // The question types of 类型说明, in the table's order.
  QStringList types();

  // The sub-questions of `paper` that are in `range` and of one of `types`,
  // in the order they have in `paper` (each number once). A question of a
  // case is in the favourites or wrong range when any sub-question of its
  // case is marked or was answered wrongly in a stored test. Throws
  // EDatabaseError.
  FilterResult apply(const std::vector<TXiaoTi> &paper, FilterRange range, const QStringList &types);

  // The statement `apply` runs (numbers in decimal, names quoted).
  static QString statement(const std::vector<TXiaoTi> &paper, FilterRange range, const QStringList &types);

  // The message of a refused filter (empty text for Narrowed) and its
  // caption; the icon is Warning for NoType, Question otherwise.
  static QString message(FilterResult::Status status);
  static QString messageCaption(FilterResult::Status status);

private:
  TDataModule1 &m_dm;
};
