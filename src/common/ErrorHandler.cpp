#include "common/ErrorHandler.h"
#include "common/AppTitle.h"
#include "common/Dialogs.h"
#include "common/AppError.h"

void ShowException(const std::exception &e) {
  const auto *app = dynamic_cast<const AppError *>(&e);
  const QString text = app ? app->message() : QString::fromUtf8(e.what());
  dialogs().error(text, ApplicationTitle);
}

void ShowUnknownException() { dialogs().error(QStringLiteral("发生未知错误。"), ApplicationTitle); }

bool RunCommand(const std::function<void()> &command) {
  try {
    command();
    return true;
  } catch (const std::exception &e) {
    ShowException(e);
  } catch (...) {
    ShowUnknownException();
  }
  return false;
}
