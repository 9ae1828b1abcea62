#pragma once
// One running program per program directory. The lock is a file beside the
// bank (QBRX.lock) holding the owner's process id; a lock left by a process
// that no longer runs is taken over. It is taken before the bank is touched
// and held until the object is destroyed.

#include <QLockFile>
#include <QString>
#include <memory>

class InstanceLock {
public:
  enum class Result {
    Acquired,      // this process holds the lock
    HeldByAnother, // another running process holds it
    Failed,        // the lock file cannot be made (the folder is not writable)
  };

  InstanceLock() = default;
  InstanceLock(const InstanceLock &) = delete;
  InstanceLock &operator=(const InstanceLock &) = delete;

  // Tries once, without waiting. Taking a lock this object already holds
  // for the same directory succeeds at once.
  Result acquire(const QString &programDir);
  void release();
  bool held() const { return m_file && m_file->isLocked(); }

  static QString fileName() { return QStringLiteral("QBRX.lock"); }

private:
  std::unique_ptr<QLockFile> m_file;
  QString m_path;
};
