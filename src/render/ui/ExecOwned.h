#pragma once
// How the program shows a window of its own: modally, through
// dialogs().execModal, freed by the command that made it, also when
// something closed its parent under exec().

#include "common/Dialogs.h"

#include <QDialog>
#include <QPointer>

// Shows `form` modally and frees it. `after` runs on the form before it is
// freed when it was not destroyed under exec(). Returns the modal result
// (Rejected when the form went away).
template <class Form, class After>
int execOwned(Form *form, After after) {
  QPointer<Form> guard(form);
  const int result = dialogs().execModal(*form);
  if (!guard)
    return QDialog::Rejected;
  after(*form);
  delete guard.data();
  return result;
}

template <class Form> int execOwned(Form *form) {
  return execOwned(form, [](Form &) {});
}
