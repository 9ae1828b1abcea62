#include "maintenance/UpdateLimits.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

qint64 UpdateLimits::archiveBytes(UpdateArchiveKind kind) const {
  switch (kind) {
  case UpdateArchiveKind::Bank:
    return bankArchiveBytes;
  case UpdateArchiveKind::Pictures:
    return picturesArchiveBytes;
  case UpdateArchiveKind::Outline:
    return outlineArchiveBytes;
  }
  return -1;
}

qint64 UpdateLimits::unpackedBytes(UpdateArchiveKind kind) const {
  switch (kind) {
  case UpdateArchiveKind::Bank:
    return bankBytes;
  case UpdateArchiveKind::Pictures:
    return picturesBytes;
  case UpdateArchiveKind::Outline:
    return outlineBytes;
  }
  return -1;
}

qint64 FreeDiskBytes(const QString &folder) {
  QString path = QFileInfo(folder).absoluteFilePath();
  while (!path.isEmpty() && !QFileInfo(path).isDir()) {
    const QString up = QFileInfo(path).absolutePath();
    if (up == path)
      break;
    path = up;
  }
  const QStorageInfo storage(path);
  if (!storage.isValid() || !storage.isReady())
    return -1;
  return storage.bytesAvailable();
}

QString ShownSize(qint64 bytes) {
  if (bytes < UpdateLimit::kMiB)
    return QStringLiteral("%1 KB").arg((qMax<qint64>(bytes, 0) + 1023) / 1024);
  if (bytes < 1024 * UpdateLimit::kMiB)
    return QStringLiteral("%1 MB").arg(double(bytes) / double(UpdateLimit::kMiB), 0, 'f', 1);
  return QStringLiteral("%1 GB").arg(double(bytes) / double(1024 * UpdateLimit::kMiB), 0, 'f', 1);
}

QString DiskFullReason(const QString &folder, qint64 available, qint64 needed) {
  QString text = QStringLiteral("磁盘空间不足：文件夹 %1 所在的磁盘").arg(QDir::toNativeSeparators(folder));
  text += available >= 0 ? QStringLiteral("只剩 %1 可用").arg(ShownSize(available)) : QStringLiteral("已写满");
  if (needed >= 0)
    text += QStringLiteral("（需要 %1）").arg(ShownSize(needed));
  return text + QStringLiteral("。");
}

bool IsDiskFullErrno(int error) { return error == ENOSPC || error == EDQUOT; }
