#pragma once
// What the update takes from its archives: data, never code. The bank
// archive gives QBRX.db and nothing else; the picture and outline archives
// give pictures, pages, style sheets, PDF and text files below their own
// folder. Any other entry (a program, a library, a link, a name with "..",
// an absolute name, another folder) refuses the whole archive before a byte
// is written, and is named in the reason.
//
// An archive is unpacked into a fresh folder of the staging area; the
// caller moves the files into place only when every archive passed.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

enum class UpdateArchiveKind {
  Bank,     // QBRX.rar: QBRX.db (any letter case) only
  Pictures, // images.rar, for css/im
  Outline,  // KSDG.rar, for css/KSDG
};

// Why an entry of the listing is refused, or empty when it is taken.
// `attributes` and `hostOS` as listed ("Unix" hosts give a mode word).
QString UpdateEntryRefusal(UpdateArchiveKind kind, const QString &name, bool folder, quint32 attributes,
                           const QString &hostOS);

struct UpdateArchiveResult {
  bool ok = false;
  bool cancelled = false; // stopped because `cancel` was set
  QString error;     // a Chinese sentence naming the archive, and the entry when one is at fault
  QStringList files; // the files taken, relative to the destination ("/" separated)
};

struct UpdateArchiveLimits {
  qint64 maxUnpackedBytes = -1; // the taken files together, as listed and as written (-1: none)
  qint64 diskReserve = 0;       // free bytes left on the destination's disk
  // Asked at every entry listed and every block written: once set, the
  // unpacking stops within a block and the result says `cancelled`.
  const std::atomic<bool> *cancel = nullptr;
};

// Lists `archive` with the RAR component (libunrar at `unrarLibrary`),
// refuses it when any entry is not one the kind takes, then unpacks the
// taken entries into `destination` (created; expected empty) and checks
// that exactly they arrived, as regular files. For the bank archive the
// file is named QBRX.db afterwards. `progress` receives unpacked bytes out
// of the listed total. Runs on any thread; touches nothing outside
// `destination`.
//
// Limits: a listed total over `maxUnpackedBytes`, or more than the disk
// holds with `diskReserve` kept free, refuses the archive before a byte is
// written; the bytes actually written are counted against both as well (a
// listing may lie), and a write that finds the disk full says so
// ("磁盘空间不足", naming the folder).
UpdateArchiveResult UnpackUpdateArchive(const QString &unrarLibrary, const QString &archive,
                                        const QString &destination, UpdateArchiveKind kind,
                                        const std::function<void(qint64 done, qint64 total)> &progress = {},
                                        const UpdateArchiveLimits &limits = {});
