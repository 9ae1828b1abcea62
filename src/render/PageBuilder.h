#pragma once
// The question page: turns a paper into css/Question.html (GBK, CR LF) with
// its script. What the page holds is returned for the caller to record
// (app/PaperState); nothing here keeps state.

#include "render/Gbk.h"
#include "render/Global.h"

#include <QString>
#include <vector>

class TDataModule1;
class ProgramDir;

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

// The reading half: runs the statements on ADOQuery1 and
// ADOQuery2 of `dm` and returns the page. Touches no shared state, writes no
// file and opens no window, so it can run on a thread that holds the
// connection. Throws EDatabaseError.
QuestionPage RenderQuestionPage(const QString &title, int mode, const std::vector<TXiaoTi> &paper, qint16 kind,
                                TDataModule1 &dm);
// The writing half (user-interface thread): writes the page file. Throws
// FileError.
void WriteQuestionPage(const QuestionPage &page, const ProgramDir &dir);

// The one-question page of the error feedback form (the sub-question, or its
// whole case question, without toolbars), written to css/Feedback.html. The
// question page is not touched, so the paper on display stays gradable and
// storable. Returns the page's path.
QString BuildFeedbackPage(int XiaoTiHao, TDataModule1 &dm, const ProgramDir &dir);

// The Chinese numeral of a case question's ordinal: 一 … 九, 十, 十一 …
// 九十九, then 一百, 一百零一, 一百一十, … 一千零一十, … 九千九百九十九, 一万, …
// Empty for j < 1.
QString CaseNumeral(int j);
