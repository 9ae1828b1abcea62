#pragma once
#include <QApplication>

// The application object. An exception that escapes an event handler (a
// command, a click, a timer) reaches the general error handler here instead
// of ending the program.
class QbrxApplication : public QApplication {
  Q_OBJECT
public:
  QbrxApplication(int &argc, char **argv);
  // Qt's own Chinese translations: the standard buttons (是/否, 确定), the
  // print preview and the file and colour pickers read Chinese. False when
  // they are not installed.
  bool installChineseTranslations();
  bool notify(QObject *receiver, QEvent *event) override;
};
