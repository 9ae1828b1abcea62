#include "store/Transaction.h"
#include "store/DM.h"

Transaction::Transaction(TADOConnection &connection) : m_connection(connection) { m_connection.BeginTrans(); }

Transaction::Transaction(TDataModule1 &dm) : Transaction(dm.ADOConnection1) {}

Transaction::~Transaction() {
  if (m_committed)
    return;
  try {
    m_connection.RollbackTrans();
  } catch (...) {
    // Nothing sensible is left to do: the engine rolls back an open
    // transaction itself when the connection closes.
  }
}

void Transaction::commit() {
  m_connection.CommitTrans();
  m_committed = true;
}
