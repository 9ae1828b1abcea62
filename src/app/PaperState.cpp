#include "app/PaperState.h"
#include "common/Dialogs.h"
#include "render/PageBuilder.h"

#include <algorithm>

bool PaperState::links(int XiaoTiHao) const {
  return std::binary_search(linkNumbers.begin(), linkNumbers.end(), XiaoTiHao);
}

void PaperState::recordPage(QuestionPage &&page) {
  title = page.title;
  std::sort(page.links.begin(), page.links.end());
  page.links.erase(std::unique(page.links.begin(), page.links.end()), page.links.end());
  linkNumbers = std::move(page.links);
  if (page.empty)
    return;
  if (page.mode == 0)
    questions = std::move(page.questions);
  if (page.answerWritten)
    onDisplay = true;
}

void BuildQuestionPage(PaperState &state, const QString &title, int mode, TDataModule1 &dm, const ProgramDir &dir) {
  QuestionPage page = RenderQuestionPage(title, mode, state.paper, state.kind, dm);
  const bool empty = page.empty;
  WriteQuestionPage(page, dir);
  state.recordPage(std::move(page));
  if (empty)
    dialogs().information(QStringLiteral("没有试题！"), QStringLiteral("提示"));
}
