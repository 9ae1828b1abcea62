#include "app/PaperPresenter.h"
#include "render/PageBuilder.h"

#include <utility>

PaperRequest PaperRequest::keepingKind(const PaperState &shown, std::vector<TXiaoTi> paper) {
  PaperRequest request;
  request.paper = std::move(paper);
  request.kind = shown.kind;
  request.title = shown.title;
  request.chapterId = shown.chapterId;
  request.redoTestId = shown.redoTestId;
  request.highlight = shown.highlight;
  return request;
}

void ApplyRequestedPaper(PaperState &state, const PaperRequest &request, QuestionPage &&page,
                         const ProgramDir &dir) {
  // The new state is made apart and takes the place of the old one only once
  // the page is written: a failure leaves `state` untouched.
  PaperState next = state;
  next.paper = request.paper;
  next.highlight = request.highlight;
  next.kind = request.kind;
  if (request.chapterId)
    next.chapterId = *request.chapterId;
  if (request.redoTestId)
    next.redoTestId = *request.redoTestId;
  WriteQuestionPage(page, dir);
  next.recordPage(std::move(page));
  std::swap(state, next);
}

void BuildRequestedPaper(PaperState &state, const PaperRequest &request, TDataModule1 &dm, const ProgramDir &dir) {
  // Rendering changes nothing; an engine error leaves from here.
  ApplyRequestedPaper(state, request, RenderQuestionPage(request.title, request.mode, request.paper, request.kind, dm),
                      dir);
}

QString LocalTimeText(const QDateTime &when) {
  return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DatedPaperTitle(const QString &name, const QDateTime &when) {
  return name + QLatin1Char('(') + LocalTimeText(when) + QLatin1Char(')');
}

QString DatedPaperTitle(const QString &name) { return DatedPaperTitle(name, QDateTime::currentDateTime()); }
