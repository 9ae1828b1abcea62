#pragma once
// Every message box, Yes/No question, beep, file or colour picker, modal form
// and shell open goes through this interface. The program installs the real
// one (WidgetDialogs); tests install a scripted fake that records what was
// shown and answers the questions.

#include <QColor>
#include <QString>
#include <optional>

class QDialog;
class QWidget;

class Dialogs {
public:
  enum class Icon { Information, Warning, Error, Question };

  virtual ~Dialogs() = default;

  virtual void message(const QString &text, const QString &caption, Icon icon) = 0;
  // A Yes/No question with the question icon; true for Yes.
  virtual bool question(const QString &text, const QString &caption) = 0;
  virtual void beep() = 0;
  // Empty text when the learner cancels.
  virtual QString openFileName(const QString &caption, const QString &dir, const QString &filter) = 0;
  // A name typed without an extension gets `defaultSuffix` (e.g. "db") when
  // one is given. Filters are in Qt's syntax: "数据文件 (*.db)".
  virtual QString saveFileName(const QString &caption, const QString &dir, const QString &filter,
                               const QString &defaultSuffix = {}) = 0;
  virtual std::optional<QColor> pickColor(const QColor &initial, const QString &caption) = 0;
  // The desktop shell's "open" of an address or a file; false on failure.
  virtual bool openUrl(const QString &target) = 0;
  // A message that carries an address or a path the learner may want to
  // copy (one the program could not open): the address can be selected and
  // copied from the box. By default an ordinary message with the address on
  // a line of its own.
  virtual void messageWithAddress(const QString &text, const QString &caption, const QString &address, Icon icon) {
    message(text + QLatin1Char('\n') + address, caption, icon);
  }
  // Shows a form modally and returns its result (QDialog::exec by default).
  virtual int execModal(QDialog &dialog) = 0;

  void information(const QString &text, const QString &caption) { message(text, caption, Icon::Information); }
  void warning(const QString &text, const QString &caption) { message(text, caption, Icon::Warning); }
  void error(const QString &text, const QString &caption) { message(text, caption, Icon::Error); }
};

// The dialogs in force. Without an installed one, messages go to stderr and
// questions are answered No (tools, early start-up).
Dialogs &dialogs();
// Installs `d` (not owned); nullptr restores the fallback.
void setDialogs(Dialogs *d);
