#include "mainwin/Grading.h"
#include "common/Dialogs.h"
#include "render/HtmlView.h"
#include "store/DM.h"
#include "store/FileError.h"

#include <QHash>

QString ChosenLetters(const std::vector<bool> &checked) {
  QString letters;
  for (size_t i = 0; i < checked.size(); ++i) {
    if (checked[i])
      letters.append(QChar(ushort(65 + i)));
  }
  return letters;
}

QString NormalizedAnswer(const QString &answer) {
  QString out = answer;
  for (QChar &c : out) {
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
      c = QChar(ushort(c.unicode() - 'a' + 'A'));
  }
  return out;
}

QStringList OptionIds(const TShiTi &s) {
  QStringList ids;
  ids.reserve(s.NumOfSel);
  const QString prefix = QString::number(s.XiaoTiHao) + QLatin1Char('/');
  for (int i = 0; i < s.NumOfSel; ++i)
    ids << prefix + QString::number(i);
  return ids;
}

QString StemId(const TShiTi &s) {
  const QString n = QString::number(s.XiaoTiHao);
  return QLatin1Char('T') + n + QLatin1Char('_') + n;
}

std::vector<TTest> MergeByType(const std::vector<TTest> &perQuestion) {
  std::vector<TTest> merged;
  QHash<QString, size_t> position; // type -> its entry in `merged`
  for (const TTest &t : perQuestion) {
    const auto it = position.constFind(t.TiMuType);
    if (it == position.constEnd()) {
      position.insert(t.TiMuType, merged.size());
      merged.push_back(t);
      merged.back().alreadyCount = false;
      continue;
    }
    TTest &e = merged[*it];
    e.NumOfShiTi += t.NumOfShiTi;
    e.Right += t.Right;
    e.Error += t.Error;
  }
  return merged;
}

double MarksPerQuestion(TDataModule1 &dm, const QString &type) {
  TADOQuery &q = dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 分数 FROM 类型说明 WHERE 题目类型 ="));
  q.SQL.Add(QuotedStr(type));
  q.Open();
  const double marks = q.IsEmpty() ? 0.0 : q.Fields(0).AsFloat();
  q.Close();
  return marks;
}

GradeStatus GradePaper(HtmlView &page, TDataModule1 &dm) {
  if (!PaperOnDisplay) {
    dialogs().information(GradingText::NoPaper, GradingText::NoPaperCaption);
    return GradeStatus::NoPaper;
  }

  // Every option input of the paper, read in one call; the stems go along
  // so that a page lacking one is noticed too.
  QStringList ids;
  for (const TShiTi &s : PaperQuestions)
    ids << OptionIds(s) << StemId(s);
  const std::vector<std::optional<bool>> states = page.readChecked(ids);
  if (states.size() != size_t(ids.size()))
    throw AppError(QStringLiteral("读取答题状态失败：页面返回 %1 项，应为 %2 项。")
                       .arg(states.size())
                       .arg(ids.size()));
  for (const std::optional<bool> &state : states) {
    if (!state) {
      dialogs().warning(GradingText::PageMismatch, GradingText::PageMismatchCaption);
      return GradeStatus::PageMismatch;
    }
  }

  // Judge each sub-question; nothing shared is changed until all is known.
  std::vector<bool> isRight;
  isRight.reserve(PaperQuestions.size());
  std::vector<TTest> perQuestion;
  perQuestion.reserve(PaperQuestions.size());
  QStringList wrongStems;
  size_t next = 0;
  std::vector<bool> checked;
  for (const TShiTi &s : PaperQuestions) {
    checked.clear();
    for (int i = 0; i < s.NumOfSel; ++i)
      checked.push_back(*states[next++]);
    ++next; // the stem
    TTest t;
    t.TiMuType = s.DaTiHao > 0 ? GradingText::CaseType : s.TiMuType;
    t.NumOfShiTi = 1;
    const bool right = NormalizedAnswer(s.Answer) == ChosenLetters(checked);
    if (right) {
      t.Right = 1;
    } else {
      t.Error = 1;
      wrongStems << StemId(s);
    }
    isRight.push_back(right);
    perQuestion.push_back(std::move(t));
  }

  std::vector<TTest> results = MergeByType(perQuestion);
  for (TTest &e : results) {
    const double marks = MarksPerQuestion(dm, e.TiMuType);
    e.Total = float(marks * e.NumOfShiTi);
    e.Score = float(marks * e.Right);
    e.MNPP = float(double(e.Right) / e.NumOfShiTi);
  }

  if (!wrongStems.isEmpty())
    page.setColor(wrongStems, QStringLiteral("red"));
  for (size_t i = 0; i < PaperQuestions.size(); ++i)
    PaperQuestions[i].IsRight = isRight[i];
  TypeResults = std::move(results);
  return GradeStatus::Graded;
}
