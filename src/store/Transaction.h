#pragma once
// A write transaction as a scope: the constructor begins it, commit() makes
// it last, and leaving the scope any other way (an early return, an
// exception) rolls it back. The destructor never throws.
//
//   Transaction t(dm);
//   ... statements ...
//   t.commit();

class TADOConnection;
class TDataModule1;

class Transaction {
public:
  // Begins an immediate transaction; throws EDatabaseError when it cannot
  // (for example when one is already open on the connection).
  explicit Transaction(TADOConnection &connection);
  explicit Transaction(TDataModule1 &dm);
  ~Transaction();
  Transaction(const Transaction &) = delete;
  Transaction &operator=(const Transaction &) = delete;

  // Commits; throws EDatabaseError when the engine refuses, in which case the
  // destructor still rolls back whatever is left open.
  void commit();
  bool committed() const { return m_committed; }

private:
  TADOConnection &m_connection;
  bool m_committed = false;
};
