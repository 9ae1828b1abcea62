#pragma once
// How a command puts a new paper on display. A command (or the dialog it
// opens) works on a PaperRequest of its own and hands it to the presenter
// only when it has a paper to show; Cancel hands nothing, so the paper on
// display, its kind, title, chapter and redo target stay as they were.

#include "render/Global.h"

#include <QString>
#include <optional>
#include <vector>

class ProgramDir;
class TDataModule1;

struct PaperRequest {
  std::vector<TXiaoTi> paper; // becomes CurrentPaper
  qint16 kind = 0;            // becomes PaperKind
  QString title;              // the page's title, becomes PaperTitle
  int mode = 0;               // the page builder's mode
  std::optional<qint32> chapterId;   // becomes ChapterId when set
  std::optional<quint32> redoTestId; // becomes RedoTestId when set
};

// Sets the paper state from `request` and builds the question page. When
// building fails (an engine or file error, thrown) the paper state is what it
// was before.
void BuildRequestedPaper(const PaperRequest &request, TDataModule1 &dm, const ProgramDir &dir);

class PaperPresenter {
public:
  virtual ~PaperPresenter() = default;
  // BuildRequestedPaper, then the page shown from its top and the paper
  // toolbar reset.
  virtual void showPaper(const PaperRequest &request) = 0;
};
