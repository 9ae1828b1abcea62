#pragma once
#include <QApplication>
#include <memory>

class BankWorker;

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
  // Every window writes in 宋体 (Noto Serif CJK SC through the program's
  // fonts.conf), the face the question pages use: the program and the
  // page's process then load one font file and share its pages, instead
  // of a second CJK family for widget text (about 10 MB). The windows use
  // the regular face only: the bold one would be one more face the program
  // keeps open (about 2 MB). Reading the system's font list and opening the
  // face (about 8 ms) starts on a worker thread, while the main window
  // starts the web engine.
  void useProgramFont();
  bool notify(QObject *receiver, QEvent *event) override;
  ~QbrxApplication() override;

private:
  std::unique_ptr<BankWorker> m_fontWarmUp; // no bank: fonts only
};
