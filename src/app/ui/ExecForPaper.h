#pragma once
// How a command opens a dialog that composes a paper: the dialog runs
// modally (execOwned) and, only when it was accepted, `makeRequest` turns it
// into the request to show. Cancel, or a dialog that went away under exec(),
// gives nothing, so the paper on display stays exactly as it was.

#include "app/PaperPresenter.h"
#include "render/ui/ExecOwned.h"

#include <QDialog>
#include <optional>

// `makeRequest(form)` returns a PaperRequest or a std::optional of one (empty:
// the accepted dialog has no paper to show).
template <class Form, class MakeRequest>
std::optional<PaperRequest> execForPaper(Form *form, MakeRequest makeRequest) {
  std::optional<PaperRequest> request;
  execOwned(form, [&](Form &f) {
    if (f.result() == QDialog::Accepted)
      request = makeRequest(f);
  });
  return request;
}

// execForPaper, then the request (if any) shown through `presenter`.
// Returns whether a paper went on display.
template <class Form, class MakeRequest>
bool execAndShowPaper(PaperPresenter &presenter, Form *form, MakeRequest makeRequest) {
  const std::optional<PaperRequest> request = execForPaper(form, std::move(makeRequest));
  return request && presenter.showPaper(*request);
}
