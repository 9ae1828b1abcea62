#include "mainwin/ui/Application.h"
#include "common/ErrorHandler.h"

QbrxApplication::QbrxApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool QbrxApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &e) {
    ShowException(e);
  } catch (...) {
    ShowUnknownException();
  }
  return false;
}
