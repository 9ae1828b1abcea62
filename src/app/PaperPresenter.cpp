#include "app/PaperPresenter.h"
#include "render/PageBuilder.h"

PaperRequest PaperRequest::keepingKind(std::vector<TXiaoTi> paper) {
  PaperRequest request;
  request.paper = std::move(paper);
  request.kind = PaperKind;
  request.title = PaperTitle;
  request.chapterId = ChapterId;
  request.redoTestId = RedoTestId;
  request.highlight = PaperHighlight;
  return request;
}

void ApplyRequestedPaper(const PaperRequest &request, QuestionPage &&page, const ProgramDir &dir) {
  auto paper = CurrentPaper;
  const qint16 kind = PaperKind;
  const QString title = PaperTitle;
  const qint32 chapter = ChapterId;
  const quint32 redo = RedoTestId;
  const QString highlight = PaperHighlight;
  CurrentPaper = request.paper;
  PaperHighlight = request.highlight;
  PaperKind = request.kind;
  if (request.chapterId)
    ChapterId = *request.chapterId;
  if (request.redoTestId)
    RedoTestId = *request.redoTestId;
  try {
    ApplyQuestionPage(std::move(page), dir);
  } catch (...) {
    CurrentPaper = std::move(paper);
    PaperKind = kind;
    PaperTitle = title;
    ChapterId = chapter;
    RedoTestId = redo;
    PaperHighlight = highlight;
    throw;
  }
}

void BuildRequestedPaper(const PaperRequest &request, TDataModule1 &dm, const ProgramDir &dir) {
  // Rendering changes nothing; an engine error leaves from here.
  ApplyRequestedPaper(request, RenderQuestionPage(request.title, request.mode, request.paper, request.kind, dm), dir);
}

QString LocalTimeText(const QDateTime &when) {
  return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DatedPaperTitle(const QString &name, const QDateTime &when) {
  return name + QLatin1Char('(') + LocalTimeText(when) + QLatin1Char(')');
}

QString DatedPaperTitle(const QString &name) { return DatedPaperTitle(name, QDateTime::currentDateTime()); }
