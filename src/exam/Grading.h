#pragma once
// Grading of the paper on display (the command ActSummitPaper): reads the
// learner's choices from the page, sets IsRight on every entry of the paper's
// questions, colours the stems of wrong answers red, builds its typeResults
// (the command then opens the result report).

#include "app/PaperState.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class HtmlView;
class QWidget;
class TDataModule1;

enum class GradeStatus {
  NoPaper,      // no question page yet: the learner was told, nothing changed
  PageMismatch, // the page lacks an element of the paper's questions: told, nothing changed
  StillLoading, // the page is still loading (a long paper): told, nothing changed
  Graded,       // IsRight, typeResults and the red stems are in place
};

// The letters the learner chose: "A" for the first input, "B" for the second,
// ... for every checked input, in option order.
QString ChosenLetters(const std::vector<bool> &checked);
// The stored answer as it is compared: ASCII letters upper-cased, nothing else
// changed ("acd" -> "ACD"; "A,C,D" stays).
QString NormalizedAnswer(const QString &answer);

// Ids of the option inputs of one sub-question ("n/0" ... "n/(k-1)") and of its stem.
QStringList OptionIds(const TShiTi &s);
QString StemId(const TShiTi &s);

// Merges one entry per sub-question into one entry per type, in the order in
// which each type first appears. Counters are added; Total/Score/MNPP untouched.
std::vector<TTest> MergeByType(const std::vector<TTest> &perQuestion);

// Marks per question of each of `types` (类型说明.分数), 0 for a type with no
// row; read with one statement.
QHash<QString, double> MarksPerQuestion(TDataModule1 &dm, const QStringList &types);

// Grades the page on display against paper.questions without opening the
// report. Messages go through dialogs(). Script and database errors are
// thrown (the general error handler reports them).
GradeStatus GradePaper(PaperState &paper, HtmlView &page, TDataModule1 &dm);

// Texts of the command.
namespace GradingText {
inline const QString NoPaper = QStringLiteral("请先选择试卷！");
inline const QString NoPaperCaption = QStringLiteral("未选择试卷");
inline const QString PageMismatch = QStringLiteral("当前页面与试卷不符，无法批阅，请重新生成试卷。");
inline const QString PageMismatchCaption = QStringLiteral("批阅试卷");
inline const QString StillLoading =
    QStringLiteral("试卷还在载入，后面的试题还没有显示出来。请等试卷载入完成后再交卷，已作答的内容不会丢失。");
// How long grading waits for a page still loading before it says so.
inline constexpr int LoadWaitMs = 5000;
inline const QString CaseType = QStringLiteral("案例分析题");
} // namespace GradingText
