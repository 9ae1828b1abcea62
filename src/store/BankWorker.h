#pragma once
// A read of the bank on a thread of its own while the calling thread's event
// loop goes on (its windows keep painting). The calling thread lets the
// connection go for the read: meanwhile only the worker may use it, and a
// statement from any other thread is refused. finished() comes on the
// calling thread once the connection is back there; the read's result is
// applied there, never on the worker.
//
//   auto *worker = new BankWorker(dm.ADOConnection1, [&] { rows = repo.read(); }, this);
//   connect(worker, &BankWorker::finished, this, [&] { if (!worker->error()) apply(rows); });
//   worker->start();

#include <QObject>
#include <exception>
#include <functional>
#include <thread>

class TADOConnection;

class BankWorker : public QObject {
  Q_OBJECT
public:
  BankWorker(TADOConnection &connection, std::function<void()> read, QObject *parent = nullptr);
  // Waits for a read still running and takes the connection back.
  ~BankWorker() override;
  BankWorker(const BankWorker &) = delete;
  BankWorker &operator=(const BankWorker &) = delete;

  // Hands the connection to a new thread that runs the read. Once only.
  void start();
  bool running() const { return m_running; }
  // What the read threw, after finished().
  std::exception_ptr error() const { return m_error; }

signals:
  void finished();

private:
  void takeBack();

  TADOConnection &m_connection;
  std::function<void()> m_read;
  std::thread m_thread;
  std::exception_ptr m_error;
  bool m_running = false;
};
