#include "render/PaperPresenter.h"
#include "render/PageBuilder.h"

void BuildRequestedPaper(const PaperRequest &request, TDataModule1 &dm, const ProgramDir &dir) {
  auto paper = CurrentPaper;
  const qint16 kind = PaperKind;
  const QString title = PaperTitle;
  const qint32 chapter = ChapterId;
  const quint32 redo = RedoTestId;
  CurrentPaper = request.paper;
  PaperKind = request.kind;
  if (request.chapterId)
    ChapterId = *request.chapterId;
  if (request.redoTestId)
    RedoTestId = *request.redoTestId;
  try {
    BuildQuestionPage(request.title, request.mode, dm, dir);
  } catch (...) {
    CurrentPaper = std::move(paper);
    PaperKind = kind;
    PaperTitle = title;
    ChapterId = chapter;
    RedoTestId = redo;
    throw;
  }
}
