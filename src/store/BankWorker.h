#pragma once
// The one way work leaves the window's thread: a job on a thread of its own
// while the calling thread goes on. With a connection, the calling thread
// lets the bank go for the job: meanwhile only the worker may use it, and a
// statement from any other thread is refused. Without one (nullptr) the job
// touches no bank (an archive's extraction, a report to the feedback server)
// and only the thread is the worker's.
//
// finished() comes on the calling thread once the job has ended and the
// connection is back there; the job's result is applied there, never on the
// worker. Two ways to wait for it:
//   - go on serving the event loop and connect to finished() (the windows
//     keep painting);
//   - wait(): block right there, without an event loop, and take the
//     connection back (the start, which makes its widgets meanwhile).
//
//   auto *worker = new BankWorker(&dm.ADOConnection1, [&] { rows = repo.read(); }, this);
//   connect(worker, &BankWorker::finished, this, [&] { if (!worker->error()) apply(rows); });
//   worker->start();
//
// The object waits for its job when destroyed. A job that may outlive its
// caller (the caller stops waiting) lives on the heap with deleteLater on
// finished(): it frees itself when the job ends.

#include <QObject>
#include <exception>
#include <functional>
#include <thread>

class TADOConnection;

class BankWorker : public QObject {
  Q_OBJECT
public:
  // `connection` null: a job that needs no bank.
  BankWorker(TADOConnection *connection, std::function<void()> job, QObject *parent = nullptr);
  // Waits for a job still running and takes the connection back.
  ~BankWorker() override;
  BankWorker(const BankWorker &) = delete;
  BankWorker &operator=(const BankWorker &) = delete;

  // Hands the connection to a new thread that runs the job. Once only.
  void start();
  // Blocks until the job has ended and takes the connection back, without
  // serving any event; finished() is then not emitted. Returns at once when
  // nothing runs.
  void wait();
  bool running() const { return m_running; }
  // What the job threw (or the hand-over of the connection), once it ended.
  std::exception_ptr error() const { return m_error; }

signals:
  void finished();

private:
  void takeBack();

  TADOConnection *m_connection;
  std::function<void()> m_job;
  std::thread m_thread;
  std::exception_ptr m_error;
  bool m_running = false;
};
