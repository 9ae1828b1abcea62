#include "store/BankWorker.h"
#include "store/DM.h"

BankWorker::BankWorker(TADOConnection *connection, std::function<void()> job, QObject *parent)
    : QObject(parent), m_connection(connection), m_job(std::move(job)) {}

BankWorker::~BankWorker() { takeBack(); }

void BankWorker::start() {
  if (m_running || m_thread.joinable())
    return;
  // The calling thread holds the connection: a refusal leaves here, before
  // anything was handed over.
  if (m_connection) {
    m_connection->checkThread();
    m_connection->releaseThread();
  }
  m_running = true;
  m_thread = std::thread([this] {
    bool adopted = false;
    try {
      if (m_connection) {
        m_connection->adoptThread();
        adopted = true;
      }
      m_job();
    } catch (...) {
      m_error = std::current_exception();
    }
    if (adopted)
      m_connection->releaseThread();
    // Runs on the calling thread; dropped when this object is gone by then
    // (the destructor has taken the connection back). After wait() the
    // connection is back already and nothing is emitted.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (!m_thread.joinable())
            return;
          takeBack();
          emit finished();
        },
        Qt::QueuedConnection);
  });
}

void BankWorker::wait() { takeBack(); }

void BankWorker::takeBack() {
  if (!m_thread.joinable())
    return;
  m_thread.join();
  m_running = false;
  if (!m_connection)
    return;
  try {
    m_connection->adoptThread();
  } catch (...) {
    // Another thread took it meanwhile; its holder gives it back.
  }
}
