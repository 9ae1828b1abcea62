#pragma once
#include <QString>
#include <stdexcept>

// An exception that carries a message meant for the learner or the log: the
// general error handler shows what() (UTF-8).
class AppError : public std::runtime_error {
public:
  explicit AppError(const QString &message)
      : std::runtime_error(message.toStdString()), m_message(message) {}
  QString message() const { return m_message; }

private:
  QString m_message;
};
