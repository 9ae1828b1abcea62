#pragma once
// How far the online update lets a server and an archive go: the size of
// each file it fetches and of what an archive unpacks to, how slow a
// transfer may be and how long it may take, and how much room it leaves on
// the disk. A server's answer and an archive are untrusted: without these a
// body with no length, or an archive of a few kilobytes that unpacks to
// gigabytes, fills the disk, and a server that trickles keeps the update
// waiting for ever.

#include <QString>
#include <QtGlobal>

#include "maintenance/UpdateArchive.h"

namespace UpdateLimit {
constexpr qint64 kMiB = 1024 * 1024;

// The version file is one short line.
constexpr qint64 kVersionFileBytes = 64 * 1024;
// A bank is texts: the largest we build (the update benchmark's) is about
// 50 MB. Ten times that still opens, and keeps a hostile file from taking
// a learner's disk.
constexpr qint64 kBankArchiveBytes = 512 * kMiB;
constexpr qint64 kBankBytes = 512 * kMiB;
// Pictures hardly compress: the archive is about as large as its files.
// A gigabyte is some hundred thousand question pictures.
constexpr qint64 kPicturesArchiveBytes = 1024 * kMiB;
constexpr qint64 kPicturesBytes = 1024 * kMiB;
// The outline is a few pages and PDF files.
constexpr qint64 kOutlineArchiveBytes = 256 * kMiB;
constexpr qint64 kOutlineBytes = 256 * kMiB;

// A transfer that moves fewer than 1 KiB in 30 s has stalled: even a poor
// mobile link moves a hundred times as much. A single byte now and then
// does not keep it alive.
constexpr int kStallWindowMs = 30 * 1000;
constexpr qint64 kStallMinBytes = 1024;
// One file may take an hour: the largest archive allowed arrives in that
// time at 300 KB/s, the usual ones of a few megabytes at a crawl.
constexpr qint64 kDeadlineMs = 60 * 60 * 1000;

// Room left on the disk after every file the update writes: the bank's
// journal, the backup of the old bank and the rest of the system need it.
constexpr qint64 kDiskReserveBytes = 64 * kMiB;
// Free space is asked again after this much was written.
constexpr qint64 kDiskCheckBytes = 4 * kMiB;
} // namespace UpdateLimit

// The limits of one run; the defaults are the constants above (tests make
// them small).
struct UpdateLimits {
  qint64 versionFileBytes = UpdateLimit::kVersionFileBytes;
  qint64 bankArchiveBytes = UpdateLimit::kBankArchiveBytes;
  qint64 bankBytes = UpdateLimit::kBankBytes;
  qint64 picturesArchiveBytes = UpdateLimit::kPicturesArchiveBytes;
  qint64 picturesBytes = UpdateLimit::kPicturesBytes;
  qint64 outlineArchiveBytes = UpdateLimit::kOutlineArchiveBytes;
  qint64 outlineBytes = UpdateLimit::kOutlineBytes;
  int stallWindowMs = UpdateLimit::kStallWindowMs;
  qint64 stallMinBytes = UpdateLimit::kStallMinBytes;
  qint64 deadlineMs = UpdateLimit::kDeadlineMs;
  qint64 diskReserveBytes = UpdateLimit::kDiskReserveBytes;

  qint64 archiveBytes(UpdateArchiveKind kind) const;
  qint64 unpackedBytes(UpdateArchiveKind kind) const;
};

// Bytes the current user may still write on the disk of `folder` (the
// nearest existing folder above it when it does not exist yet); -1 when
// that cannot be told.
qint64 FreeDiskBytes(const QString &folder);

// "磁盘空间不足：文件夹 … 所在的磁盘只剩 … 可用（需要 …）。" — `needed` left
// out when negative.
QString DiskFullReason(const QString &folder, qint64 available, qint64 needed = -1);

// A size for the learner: "512 KB", "3.5 MB", "1.2 GB".
QString ShownSize(qint64 bytes);

// True for an errno that says the disk (or the user's quota on it) is full.
bool IsDiskFullErrno(int error);
