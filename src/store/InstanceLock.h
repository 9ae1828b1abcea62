#pragma once
// One running program per program directory. The lock is an exclusive
// flock() on a file beside the bank (QBRX.lock): the kernel drops it when its
// process ends in any way, so a crashed program never leaves a lock behind
// and nothing has to guess whether a lock is stale. It is taken before the
// bank is touched and held until release() or destruction; the file itself
// stays in the directory.

#include <QString>

class InstanceLock {
public:
  enum class Result {
    Acquired,      // this object holds the lock
    HeldByAnother, // another running program (or object) holds it
    Failed,        // the lock file cannot be made (the folder is not writable)
  };

  InstanceLock() = default;
  ~InstanceLock() { release(); }
  InstanceLock(const InstanceLock &) = delete;
  InstanceLock &operator=(const InstanceLock &) = delete;

  // Tries once, without waiting. Taking again a lock this object already
  // holds for the same directory succeeds at once.
  Result acquire(const QString &programDir);
  void release();
  bool held() const { return m_fd >= 0; }

  static QString fileName() { return QStringLiteral("QBRX.lock"); }

private:
  int m_fd = -1;
  QString m_path;
};
