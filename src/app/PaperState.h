#pragma once
// The paper on display and what the commands hand each other about it: the
// sub-questions asked, which command made it, its title, the choice
// sub-questions the page wrote (graded in place), the graded result per
// question type, its chapter and redo target, the numbers its links pass and
// the text it marks. One object per window, reached through AppContext; the
// presenter alone puts a new paper in it.

#include "render/Global.h"

#include <QString>
#include <QtGlobal>
#include <vector>

class ProgramDir;
class TDataModule1;
struct QuestionPage;

struct PaperState {
  std::vector<TXiaoTi> paper;      // the sub-questions of the paper, in order
  qint16 kind = 0;                 // PaperKinds: the command that made it
  QString title;                   // the page's title
  std::vector<TShiTi> questions;   // the choice sub-questions of the page, page order
  std::vector<TTest> typeResults;  // the last grading, one entry per question type
  qint32 chapterId = 0;
  quint32 redoTestId = 0;          // 32 bits wide, so any test number works
  bool onDisplay = false;          // a question page with answers has been shown
  // The sub-question numbers that the favourite and feedback links of the
  // question page pass (a stand-alone question's own, a case question's first
  // sub-question's), sorted, no number twice. The page bridge accepts
  // favourite changes for these alone.
  std::vector<int> linkNumbers;
  // The search text whose matches the page on display marks once loaded
  // (render/PageHighlight.h); empty for a paper that marks nothing.
  QString highlight;

  // Whether the question page has a link that passes `XiaoTiHao`.
  bool links(int XiaoTiHao) const;

  // Records what a written question page holds: its title and link numbers;
  // unless the paper was empty, mode 0's choice sub-questions (mode 1 keeps
  // `questions`) and onDisplay once an answer block was written.
  void recordPage(QuestionPage &&page);
};

// Writes the page of the sub-questions in state.paper (of state.kind) under
// `title` and records it in `state` (recordPage). Uses ADOQuery1 and
// ADOQuery2 of `dm`. An empty paper shows "没有试题！" and leaves a page with
// the head only. Throws FileError when the page cannot be written; on an
// engine error (EDatabaseError) the page on disk and `state` stay as they
// were.
void BuildQuestionPage(PaperState &state, const QString &title, int mode, TDataModule1 &dm, const ProgramDir &dir);
