#pragma once
// A small modal dialog that stands while a read of the bank runs on a worker
// thread (BankWorker): a line of text and a bar. It starts the read when it
// is first shown and closes itself when the read is over: accepted when the
// read went through, rejected with error() set when it threw. The learner
// cannot close it meanwhile.

#include "app/ui/FrmBase.h"

#include <exception>
#include <functional>

class BankWorker;
class QLabel;
class QProgressBar;
class QTimer;
class TADOConnection;

class BankReadDialog : public TFrmBase {
  Q_OBJECT
public:
  // `read` runs on the worker and may use only the connection and its own
  // data; the caller applies what it read after the dialog closed.
  BankReadDialog(const QString &caption, const QString &text, TADOConnection &connection,
                 std::function<void()> read, QWidget *parent);
  ~BankReadDialog() override;

  bool started() const { return m_started; }
  // What the read threw; null when it went through.
  std::exception_ptr error() const { return m_error; }

  QLabel *Label1 = nullptr;
  QProgressBar *ProgressBar1 = nullptr;
  QTimer *Timer1 = nullptr;

  void reject() override; // refused while the read runs

protected:
  void showEvent(QShowEvent *e) override;

private:
  void finished();

  BankWorker *m_worker = nullptr;
  std::exception_ptr m_error;
  bool m_started = false;
  bool m_done = false;
};
