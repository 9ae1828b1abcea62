#include "mainwin/StartPaper.h"

PaperRequest ChapterPaperRequest(TDataModule1 &dm, const TTreeNodeInfo &node) {
  PaperRequest request;
  request.paper = ChapterQuestions(dm, node.ID);
  request.kind = PaperKinds::Chapter;
  request.title = node.Name;
  request.chapterId = node.ID;
  return request;
}

PreparedBank PrepareBank(TDataModule1 &dm, const ProgramDir &dir, CategoryTree &tree, int treeViewIndex) {
  PreparedBank bank;
  try {
    tree.TreeViewLoadFromDB(dm);
    bank.startNode = tree.startNode(treeViewIndex);
    if (bank.startNode < 0)
      return bank;
    const CategoryNode &node = tree.nodes()[std::size_t(bank.startNode)];
    if (node.level <= 1 || !node.info) // a subject or its child: no paper
      return bank;
    const PaperRequest request = ChapterPaperRequest(dm, *node.info);
    if (request.paper.empty()) {
      bank.noQuestions = true;
      return bank;
    }
    BuildRequestedPaper(request, dm, dir);
    bank.paperBuilt = true;
  } catch (...) {
    bank.error = std::current_exception();
  }
  return bank;
}
