#include "store/BankWorker.h"
#include "store/DM.h"

BankWorker::BankWorker(TADOConnection &connection, std::function<void()> read, QObject *parent)
    : QObject(parent), m_connection(connection), m_read(std::move(read)) {}

BankWorker::~BankWorker() { takeBack(); }

void BankWorker::start() {
  if (m_running || m_thread.joinable())
    return;
  // The calling thread holds the connection: a refusal leaves here, before
  // anything was handed over.
  m_connection.checkThread();
  m_running = true;
  m_connection.releaseThread();
  m_thread = std::thread([this] {
    bool adopted = false;
    try {
      m_connection.adoptThread();
      adopted = true;
      m_read();
    } catch (...) {
      m_error = std::current_exception();
    }
    if (adopted)
      m_connection.releaseThread();
    // Runs on the calling thread; dropped when this object is gone by then
    // (the destructor has taken the connection back).
    QMetaObject::invokeMethod(
        this,
        [this] {
          takeBack();
          emit finished();
        },
        Qt::QueuedConnection);
  });
}

void BankWorker::takeBack() {
  if (!m_thread.joinable())
    return;
  m_thread.join();
  m_running = false;
  try {
    m_connection.adoptThread();
  } catch (...) {
    // Another thread took it meanwhile; its holder gives it back.
  }
}
