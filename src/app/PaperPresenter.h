#pragma once
// How a command puts a new paper on display. A command (or the dialog it
// opens) works on a PaperRequest of its own and hands it to the presenter
// only when it has a paper to show; Cancel hands nothing, so the paper on
// display, its kind, title, chapter and redo target stay as they were.

#include "app/PaperState.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

class ProgramDir;
class TDataModule1;
struct QuestionPage;

struct PaperRequest {
  std::vector<TXiaoTi> paper; // becomes PaperState::paper
  qint16 kind = 0;            // becomes PaperState::kind
  QString title;              // the page's title, becomes PaperState::title
  int mode = 0;               // the page builder's mode
  std::optional<qint32> chapterId;   // becomes PaperState::chapterId when set
  std::optional<quint32> redoTestId; // becomes PaperState::redoTestId when set
  QString highlight;                 // becomes PaperState::highlight: text the page marks

  // A request for `paper` that keeps the kind, title, chapter, redo target
  // and marked text of `shown` (a narrower view of the same paper).
  static PaperRequest keepingKind(const PaperState &shown, std::vector<TXiaoTi> paper);
};

// Builds the question page of `request` and, once it is written, makes
// `state` the paper of `request`. When building fails (an engine or file
// error, thrown) `state` is what it was before. The request must not be empty
// (PaperPresenter refuses those).
void BuildRequestedPaper(PaperState &state, const PaperRequest &request, TDataModule1 &dm, const ProgramDir &dir);
// The same with the page already rendered (RenderQuestionPage) from
// `request`, e.g. on a worker thread: writes it and sets `state`.
void ApplyRequestedPaper(PaperState &state, const PaperRequest &request, QuestionPage &&page,
                         const ProgramDir &dir);

// The local date and time as the bank stores it and titles show it:
// "yyyy-MM-dd HH:mm:ss", zero padded, so text order is time order.
QString LocalTimeText(const QDateTime &when);
// The title of a paper a dialog composes: `name` + "(" + LocalTimeText +
// ")", e.g. "温故知新(2026-12-10 21:46:34)".
QString DatedPaperTitle(const QString &name, const QDateTime &when);
QString DatedPaperTitle(const QString &name);

// What the presenter says when a request holds no sub-question.
namespace PaperText {
inline const QString NoQuestions = QStringLiteral("没有试题！");
inline const QString NoQuestionsCaption = QStringLiteral("提示");
// A paper of more sub-questions than this (a search for everything on a
// large bank) takes long to build and to show and much memory: the
// presenter asks first.
constexpr qsizetype LargePaper = 3000;
inline QString LargePaperQuestion(qsizetype count) {
  return QStringLiteral("这份试卷共有 %1 道试题，生成和显示它需要较长时间并占用大量内存。\n"
                        "试题较多时，可以缩小查找或选择的范围。\n\n仍然显示全部 %1 道试题吗？")
      .arg(count);
}
inline const QString LargePaperCaption = QStringLiteral("试卷较大");
// The most sub-questions one page shows. The view loads a page of 10,000 in
// seconds (about 15 s on a slow two-core machine); one of 94,000 (170 MB)
// exhausts the page process's memory and ends it. A larger request is
// offered as its first MaxPaper sub-questions.
constexpr qsizetype MaxPaper = 10000;
inline QString TooLargePaperQuestion(qsizetype count) {
  return QStringLiteral("这份试卷共有 %1 道试题，超过了一页能显示的 %2 道：试题再多，页面会载入很久，甚至无法显示。\n"
                        "可以缩小查找或选择的范围。\n\n只显示前 %2 道试题吗？")
      .arg(count)
      .arg(MaxPaper);
}
} // namespace PaperText

class PaperPresenter {
public:
  virtual ~PaperPresenter() = default;
  // BuildRequestedPaper, then the page shown from its top, the paper toolbar
  // reset and AppEvents::paperShown. An empty request is refused with
  // "没有试题！" and changes nothing (false): an empty page must never stand
  // in for the paper on display, which would then be graded against it. A
  // request of more than PaperText::LargePaper sub-questions is shown only
  // when the learner says yes to LargePaperQuestion (no: false, nothing
  // changed); one of more than PaperText::MaxPaper is offered as its first
  // MaxPaper sub-questions (TooLargePaperQuestion). Throws (nothing
  // changed) when the page cannot be built.
  virtual bool showPaper(const PaperRequest &request) = 0;
  // The paper on display built again from the paper state (new settings,
  // the same questions) and shown where the learner had scrolled to. Does
  // nothing while no paper is on display.
  virtual void reloadPaper() = 0;
};
