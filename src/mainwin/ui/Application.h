#pragma once
#include <QApplication>

// The application object. An exception that escapes an event handler (a
// command, a click, a timer) reaches the general error handler here instead
// of ending the program.
class QbrxApplication : public QApplication {
  Q_OBJECT
public:
  QbrxApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;
};
