#pragma once
// What happens in the program that more than one part cares about. The window
// connects to these once; a feature emits or listens without including the
// window.

#include "render/FavouriteMark.h"

#include <QObject>

class AppEvents : public QObject {
  Q_OBJECT
public:
  explicit AppEvents(QObject *parent = nullptr) : QObject(parent) {}

signals:
  // The page's favourite link asks for the mark of a sub-question (the page
  // bridge; collections/FavouritesWriter decides and writes).
  void favouriteRequested(int XiaoTiHao, FavouriteMark mark);
  // The mark of a sub-question was written as the page's link asked.
  void favouriteToggled(int XiaoTiHao);
  // The page's feedback link asked for the error-feedback form.
  void errorReportRequested(int XiaoTiHao);
  // Display or score settings were stored: pages and the toolbar take them.
  void settingsChanged();
  // The bank file was replaced under the open program (restore, update) and
  // is open again with its system parameters loaded.
  void bankReplaced();
  // A new paper is on display (not emitted by reloadPaper: same paper).
  void paperShown();
  // A graded paper's result report closed: a test record may have been
  // stored or overwritten (the review schedule moved with it).
  void historyChanged();
};
