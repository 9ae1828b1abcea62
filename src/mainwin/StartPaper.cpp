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

BankPreparation::BankPreparation(TDataModule1 &dm, int treeViewIndex) : m_dm(dm) {
  m_dm.ADOConnection1.releaseThread();
  m_result = std::async(std::launch::async, [&dm, treeViewIndex] {
    PreparedBank prepared;
    try {
      dm.ADOConnection1.adoptThread();
    } catch (...) {
      prepared.error = std::current_exception();
      return prepared;
    }
    prepared = PrepareBank(dm, treeViewIndex);
    // The thread's allocator arena outlives it: the page cache the worker
    // filled and the room the page took go back before it ends.
    dm.ADOConnection1.releaseMemory();
    dm.ADOConnection1.releaseThread();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    return prepared;
  });
}

BankPreparation::~BankPreparation() {
  if (!m_taken && m_result.valid()) {
    m_result.wait();
    try {
      m_dm.ADOConnection1.adoptThread();
    } catch (...) {
    }
  }
}

PreparedBank BankPreparation::take() {
  PreparedBank prepared = m_result.get();
  m_taken = true;
  m_dm.ADOConnection1.adoptThread();
  return prepared;
}

void BankPreparation::releaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
