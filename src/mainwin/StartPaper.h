#pragma once
// The question bank as the 试题库 command shows it: the chapter tree read and
// the start node's chapter paper rendered, apart from the window. Preparing
// only reads: it returns the tree, the paper's request and its rendered page
// and touches neither the paper state nor any file, and opens no window. The
// user-interface thread applies what it returns (TFrmMain::showPreparedBank).
//
// At start-up the preparing runs on a worker thread while the window makes its
// widgets and web view (BankPreparation): the connection is handed to the
// worker and taken back when the result is taken.

#include "mainwin/CategoryTree.h"
#include "render/PageBuilder.h"
#include "app/PaperPresenter.h"

#include "store/BankWorker.h"

#include <exception>
#include <memory>
#include <optional>

class ProgramDir;
class TDataModule1;

struct PreparedBank {
  std::unique_ptr<CategoryTree> tree = std::make_unique<CategoryTree>(); // what was read
  int startNode = -1;        // absolute index of the node to select; -1 for none
  bool noQuestions = false;  // the start node is a chapter without questions
  std::optional<PaperRequest> request; // the start node's chapter paper, with
  std::optional<QuestionPage> page;    // its page rendered, not yet written
  std::exception_ptr error;  // reading or rendering failed; the tree holds what was read
};

// Reads the tree and renders the paper of the node that
// startNode(`treeViewIndex`) names. Never throws: a failure is in `error`.
PreparedBank PrepareBank(TDataModule1 &dm, int treeViewIndex);

// Chapter practice of one node: its sub-questions in ascending 小题号, titled
// with the node's name. The paper is empty for a chapter without questions.
PaperRequest ChapterPaperRequest(TDataModule1 &dm, const TTreeNodeInfo &node);

// PrepareBank on a worker thread (BankWorker). The calling thread lets the
// bank's connection go until take(): meanwhile only the worker may use it,
// and a statement from the calling thread is refused. The worker gives back
// the memory it filled (its page cache and allocator arena) before it ends.
// take() blocks without serving events: the start waits for it there.
class BankPreparation {
public:
  BankPreparation(TDataModule1 &dm, int treeViewIndex);
  // Waits for the worker when take() was not called.
  ~BankPreparation() = default;
  BankPreparation(const BankPreparation &) = delete;
  BankPreparation &operator=(const BankPreparation &) = delete;

  // Waits for the worker, takes the connection back and returns the result.
  // A connection the worker could not take is the result's error.
  PreparedBank take();
  // Once the result is applied and gone: the room it took in the worker's
  // allocator arena goes back to the system.
  static void releaseFreedMemory();

private:
  PreparedBank m_prepared;
  BankWorker m_worker;
};
