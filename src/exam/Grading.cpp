#include "exam/Grading.h"
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
  const ChoiceMark m{s.XiaoTiHao, s.NumOfSel, QString()};
  QStringList ids;
  ids.reserve(s.NumOfSel);
  for (int i = 0; i < s.NumOfSel; ++i)
    ids << m.optionId(i);
  return ids;
}

QString StemId(const TShiTi &s) { return ChoiceMark{s.XiaoTiHao, 0, QString()}.stemId(); }

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

QHash<QString, double> MarksPerQuestion(TDataModule1 &dm, const QStringList &types) {
  // The table of types is small: one statement reads it whole, and the
  // first row of a type counts, as a statement for that type alone reads it.
  QHash<QString, TField> rows;
  TADOQuery &q = dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 题目类型, 分数 FROM 类型说明 WHERE 题目类型 IS NOT NULL ORDER BY rowid"));
  q.Open();
  for (q.First(); !q.Eof(); q.Next()) {
    const QString type = q.Fields(0).AsString();
    if (!rows.contains(type))
      rows.insert(type, q.Fields(1));
  }
  q.Close();
  QHash<QString, double> marks;
  for (const QString &type : types) {
    const auto row = rows.constFind(type);
    marks.insert(type, row == rows.constEnd() ? 0.0 : row->AsFloat());
  }
  return marks;
}

GradeStatus GradePaper(PaperState &paper, HtmlView &page, TDataModule1 &dm) {
  std::vector<TShiTi> &questions = paper.questions;
  if (!paper.onDisplay) {
    dialogs().information(GradingText::NoPaper, GradingText::NoPaperCaption);
    return GradeStatus::NoPaper;
  }

  // A long paper takes a while to load: until it has, the questions past
  // what is loaded are not on the page, and grading now would judge a part
  // of the paper as if the rest were missing.
  if (!page.waitForLoad(GradingText::LoadWaitMs)) {
    dialogs().information(GradingText::StillLoading, GradingText::PageMismatchCaption);
    return GradeStatus::StillLoading;
  }

  // The marks of every type first: a database error leaves the page and
  // everything shared as it was.
  const auto typeOf = [](const TShiTi &s) { return s.DaTiHao > 0 ? GradingText::CaseType : s.TiMuType; };
  QStringList types;
  for (const TShiTi &s : questions) {
    const QString type = typeOf(s);
    if (!types.contains(type))
      types << type;
  }
  const QHash<QString, double> marks = MarksPerQuestion(dm, types);

  // Every option input read and the wrong stems coloured in one page call;
  // a page lacking an input or a stem changes nothing.
  std::vector<ChoiceMark> items;
  items.reserve(questions.size());
  for (const TShiTi &s : questions)
    items.push_back(ChoiceMark{s.XiaoTiHao, s.NumOfSel, NormalizedAnswer(s.Answer)});
  const std::optional<std::vector<bool>> states = page.markChoices(items, QStringLiteral("red"));
  if (!states) {
    dialogs().warning(GradingText::PageMismatch, GradingText::PageMismatchCaption);
    return GradeStatus::PageMismatch;
  }
  size_t inputs = 0;
  for (const ChoiceMark &m : items)
    inputs += size_t(m.options);
  if (states->size() != inputs)
    throw AppError(QStringLiteral("读取答题状态失败：页面返回 %1 项，应为 %2 项。").arg(states->size()).arg(inputs));

  // Judge each sub-question by the same rule the page coloured with.
  std::vector<bool> isRight;
  isRight.reserve(questions.size());
  std::vector<TTest> perQuestion;
  perQuestion.reserve(questions.size());
  size_t next = 0;
  std::vector<bool> checked;
  for (size_t i = 0; i < questions.size(); ++i) {
    const TShiTi &s = questions[i];
    checked.assign(states->begin() + qsizetype(next), states->begin() + qsizetype(next + size_t(s.NumOfSel)));
    next += size_t(s.NumOfSel);
    TTest t;
    t.TiMuType = typeOf(s);
    t.NumOfShiTi = 1;
    const bool right = items[i].rightLetters == ChosenLetters(checked);
    if (right)
      t.Right = 1;
    else
      t.Error = 1;
    isRight.push_back(right);
    perQuestion.push_back(std::move(t));
  }

  std::vector<TTest> results = MergeByType(perQuestion);
  for (TTest &e : results) {
    const double m = marks.value(e.TiMuType);
    e.Total = float(m * e.NumOfShiTi);
    e.Score = float(m * e.Right);
    e.MNPP = float(double(e.Right) / e.NumOfShiTi);
  }

  for (size_t i = 0; i < questions.size(); ++i)
    questions[i].IsRight = isRight[i];
  paper.typeResults = std::move(results);
  return GradeStatus::Graded;
}
