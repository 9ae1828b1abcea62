#include "store/InstanceLock.h"

InstanceLock::Result InstanceLock::acquire(const QString &programDir) {
  QString dir = programDir;
  if (!dir.endsWith(QLatin1Char('/')))
    dir += QLatin1Char('/');
  const QString path = dir + fileName();
  if (held() && path == m_path)
    return Result::Acquired;
  release();
  m_path = path;
  m_file = std::make_unique<QLockFile>(path);
  // Never stale by age: a learner may keep the program open for days. A lock
  // whose process is gone is stale at once.
  m_file->setStaleLockTime(0);
  if (m_file->tryLock(0))
    return Result::Acquired;
  const QLockFile::LockError error = m_file->error();
  m_file.reset();
  return error == QLockFile::LockFailedError ? Result::HeldByAnother : Result::Failed;
}

void InstanceLock::release() {
  if (m_file)
    m_file->unlock();
  m_file.reset();
}
