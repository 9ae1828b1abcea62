#include "mainwin/StartPaper.h"
#include "store/DM.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

PaperRequest ChapterPaperRequest(TDataModule1 &dm, const TTreeNodeInfo &node) {
  PaperRequest request;
  request.paper = ChapterQuestions(dm, node.ID);
  request.kind = PaperKinds::Chapter;
  request.title = node.Name;
  request.chapterId = node.ID;
  return request;
}

PreparedBank PrepareBank(TDataModule1 &dm, int treeViewIndex) {
  PreparedBank bank;
  try {
    bank.tree->TreeViewLoadFromDB(dm);
    bank.startNode = bank.tree->startNode(treeViewIndex);
    if (bank.startNode < 0)
      return bank;
    const CategoryNode &node = bank.tree->nodes()[std::size_t(bank.startNode)];
    if (node.level <= 1 || !node.info) // a subject or its child: no paper
      return bank;
    PaperRequest request = ChapterPaperRequest(dm, *node.info);
    if (request.paper.empty()) {
      bank.noQuestions = true;
      return bank;
    }
    bank.page = RenderQuestionPage(request.title, request.mode, request.paper, request.kind, dm);
    bank.request = std::move(request);
  } catch (...) {
    bank.error = std::current_exception();
  }
  return bank;
}

BankPreparation::BankPreparation(TDataModule1 &dm, int treeViewIndex)
    : m_worker(&dm.ADOConnection1, [this, &dm, treeViewIndex] {
        m_prepared = PrepareBank(dm, treeViewIndex);
        // The thread's allocator arena outlives it: the page cache the worker
        // filled and the room the page took go back before it ends.
        dm.ADOConnection1.releaseMemory();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
      }) {
  m_worker.start();
}

PreparedBank BankPreparation::take() {
  m_worker.wait();
  if (m_worker.error() && !m_prepared.error)
    m_prepared.error = m_worker.error();
  return std::move(m_prepared);
}

void BankPreparation::releaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
