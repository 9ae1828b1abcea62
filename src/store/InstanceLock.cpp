#include "store/InstanceLock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

InstanceLock::Result InstanceLock::acquire(const QString &programDir) {
  QString dir = programDir;
  if (!dir.endsWith(QLatin1Char('/')))
    dir += QLatin1Char('/');
  const QString path = dir + fileName();
  if (held() && path == m_path)
    return Result::Acquired;
  release();
  const QByteArray native = QFile::encodeName(path);
  // A lock won on a file that is no longer the one at the path (someone
  // removed or replaced it meanwhile) is worth nothing: try again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0)
      return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Failed;
    }
    struct stat held {}, atPath {};
    if (::fstat(fd, &held) == 0 && ::stat(native.constData(), &atPath) == 0 && held.st_dev == atPath.st_dev &&
        held.st_ino == atPath.st_ino) {
      if (!S_ISREG(held.st_mode)) {
        ::close(fd);
        return Result::Failed;
      }
      m_fd = fd;
      m_path = path;
      return Result::Acquired;
    }
    ::close(fd);
  }
  return Result::Failed;
}

void InstanceLock::release() {
  if (m_fd < 0)
    return;
  // The file stays: making and removing it on every start costs more than
  // the whole rest of the start on some file systems, and an unlocked file
  // means nothing.
  ::close(m_fd);
  m_fd = -1;
}
