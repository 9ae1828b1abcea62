#pragma once
// The question bank as the 试题库 command shows it: the chapter tree read and
// the start node's chapter paper built (paper state set, page file written),
// apart from the window. It touches only the data module, the tree and the
// paper state and opens no window, so the window can have it done on a worker
// thread while it makes its widgets and web view at start-up.

#include "mainwin/CategoryTree.h"
#include "render/PaperPresenter.h"

#include <exception>

class ProgramDir;
class TDataModule1;

struct PreparedBank {
  int startNode = -1;        // absolute index of the node to select; -1 for none
  bool noQuestions = false;  // the start node is a chapter without questions
  bool paperBuilt = false;   // the chapter's page is written, the paper state set
  std::exception_ptr error;  // reading or building failed; the tree holds what was read
};

// Reads the tree into `tree` and builds the paper of the node that
// startNode(`treeViewIndex`) names. Never throws: a failure is in `error`.
PreparedBank PrepareBank(TDataModule1 &dm, const ProgramDir &dir, CategoryTree &tree, int treeViewIndex);

// Chapter practice of one node: its sub-questions in ascending 小题号, titled
// with the node's name. The paper is empty for a chapter without questions.
PaperRequest ChapterPaperRequest(TDataModule1 &dm, const TTreeNodeInfo &node);
