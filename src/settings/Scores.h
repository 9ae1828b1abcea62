#pragma once
// The score of each question type (类型说明.分数), as the score settings
// show, step and store them. A score is decimal text; rounding to one
// decimal works on that text, so 0.45 + 1 is "1.5" and 2.25 + 1 is "3.3".

#include <QString>
#include <optional>
#include <vector>

class TDataModule1;

namespace ScoreText {
inline const QString Saved = QStringLiteral("分数设置保存成功！");
inline const QString SavedCaption = QStringLiteral("操作成功");
inline const QString Default = QStringLiteral("1.0");
} // namespace ScoreText

struct TypeScore {
  qint64 id = 0;  // 类型说明.ID: the row a score is stored to
  QString type;   // 题目类型, as stored (blanks kept)
  QString score;  // the text shown
};

// A finite decimal number ("2", "-0.5", ".5"); "inf", "nan", "1e3" and
// any other text are not.
bool IsScoreText(const QString &text);
// The score `text` one up (+1) or down (−1), with one decimal; nullopt when
// that leaves 0.0 … 100.0 (the learner hears a beep) or the text is no score.
std::optional<QString> StepScore(const QString &text, int direction);

// Every type in table order, each with its stored score ("1.0" when none).
std::vector<TypeScore> ReadTypeScores(TDataModule1 &dm);
// Stores every row's score to its ID in one transaction. Throws
// EDatabaseError with nothing stored; a score that is not IsScoreText throws
// too.
void StoreTypeScores(TDataModule1 &dm, const std::vector<TypeScore> &scores);
