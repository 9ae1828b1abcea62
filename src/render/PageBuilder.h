#pragma once
// The question page: turns CurrentPaper into css/Question.html (GBK, CR LF)
// with its script, and records the paper in the shared state (Global.h).

#include "render/Gbk.h"
#include "render/Global.h"

#include <QString>
#include <vector>

class TDataModule1;
class ProgramDir;

// Writes the page of the sub-questions in CurrentPaper under `title`.
// mode 0 replaces PaperQuestions with the choice sub-questions written;
// mode 1 (the one-question feedback page) leaves PaperQuestions alone.
// Sets PaperTitle and PaperLinkNumbers (the numbers the page's links pass),
// and PaperOnDisplay once an answer block is written.
// Uses ADOQuery1 and ADOQuery2 of `dm`. An empty CurrentPaper shows
// "没有试题！" and leaves a page with the head only. Throws FileError when
// the page cannot be written; on an engine error (EDatabaseError) the page on
// disk, PaperQuestions and PaperOnDisplay stay as they were.
void BuildQuestionPage(const QString &title, int mode, TDataModule1 &dm, const ProgramDir &dir);

// A question page made from a paper but not yet written or applied: the
// bytes of css/Question.html and what the builder would record.
struct QuestionPage {
  QString title;
  int mode = 0;
  GbkLineWriter bytes;
  std::vector<TShiTi> questions; // the choice sub-questions, page order
  std::vector<int> links;        // the numbers its favourite links pass, page order
  bool answerWritten = false;
  bool empty = false; // the paper had no sub-questions: the page is the head only
};

// The reading half of BuildQuestionPage: runs the statements on ADOQuery1 and
// ADOQuery2 of `dm` and returns the page. Touches no shared state, writes no
// file and opens no window, so it can run on a thread that holds the
// connection. Throws EDatabaseError.
QuestionPage RenderQuestionPage(const QString &title, int mode, const std::vector<TXiaoTi> &paper, qint16 kind,
                                TDataModule1 &dm);
// The writing half (user-interface thread): writes the page file, then sets
// PaperTitle, PaperLinkNumbers and, as BuildQuestionPage does,
// PaperQuestions and PaperOnDisplay. Throws FileError with nothing changed.
void ApplyQuestionPage(QuestionPage &&page, const ProgramDir &dir);

// The one-question page of the error feedback form (the sub-question, or its
// whole case question, without toolbars), written to css/Feedback.html. The
// paper state (CurrentPaper, PaperKind, PaperTitle, PaperQuestions,
// PaperOnDisplay) is not touched, so the paper on display stays gradable and
// storable. Returns the page's path.
QString BuildFeedbackPage(int XiaoTiHao, TDataModule1 &dm, const ProgramDir &dir);

// The Chinese numeral of a case question's ordinal: 一 … 九, 十, 十一 …
// 九十九, then 一百, 一百零一, 一百一十, … 一千零一十, … 九千九百九十九, 一万, …
// Empty for j < 1.
QString CaseNumeral(int j);
