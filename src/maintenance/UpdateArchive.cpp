#include "maintenance/UpdateArchive.h"
#include "common/AppError.h"
#include "maintenance/RAR.h"
#include "maintenance/UpdateLimits.h"
#include "maintenance/unrar/qbrx_unrar.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>

namespace {

const QStringList &takenExtensions() {
  static const QStringList list{
      QStringLiteral("gif"), QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
      QStringLiteral("bmp"), QStringLiteral("svg"), QStringLiteral("webp"), QStringLiteral("ico"),
      QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("htm"), QStringLiteral("html"),
      QStringLiteral("css"), QStringLiteral("pdf"), QStringLiteral("txt")};
  return list;
}

QString archiveLabel(const QString &archive) { return QFileInfo(archive).fileName(); }

} // namespace

QString UpdateEntryRefusal(UpdateArchiveKind kind, const QString &name, bool folder, quint32 attributes,
                           const QString &hostOS) {
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
      name.contains(QLatin1Char(':')))
    return QStringLiteral("名称不安全");
  for (const QChar c : name)
    if (c.unicode() < 0x20 || c == QChar(0x7f))
      return QStringLiteral("名称不安全");
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString &p : parts)
    if (p == QLatin1String(".") || p == QLatin1String(".."))
      return QStringLiteral("名称不安全");
  const bool unixHost = hostOS == QLatin1String("Unix");
  if ((unixHost && (attributes & 0xf000) == 0xa000) || (!unixHost && (attributes & 0x400)))
    return QStringLiteral("是链接");
  if (unixHost && (attributes & 0xf000) != 0 && (attributes & 0xf000) != 0x8000 && (attributes & 0xf000) != 0x4000)
    return QStringLiteral("不是普通文件");
  if (kind == UpdateArchiveKind::Bank) {
    if (folder || parts.size() != 1 || parts.first().compare(QLatin1String("QBRX.db"), Qt::CaseInsensitive) != 0)
      return QStringLiteral("题库压缩包只能含有 QBRX.db");
    return QString();
  }
  if (folder)
    return QString();
  const QString suffix = QFileInfo(parts.last()).suffix().toLower();
  if (!takenExtensions().contains(suffix))
    return QStringLiteral("不是图片、网页、PDF 或文本文件");
  return QString();
}

UpdateArchiveResult UnpackUpdateArchive(const QString &unrarLibrary, const QString &archive,
                                        const QString &destination, UpdateArchiveKind kind,
                                        const std::function<void(qint64, qint64)> &progress,
                                        const UpdateArchiveLimits &limits) {
  UpdateArchiveResult result;
  const QString label = archiveLabel(archive);
  const auto fail = [&](const QString &why) {
    result.ok = false;
    result.error = QStringLiteral("%1：%2").arg(label, why);
    return result;
  };
  const auto cancelled = [&] { return limits.cancel && limits.cancel->load(); };
  const auto stopped = [&] {
    result.cancelled = true;
    return fail(QStringLiteral("升级已取消。"));
  };
  {
    QFile f(archive);
    if (!f.open(QIODevice::ReadOnly))
      return fail(QStringLiteral("无法读取（%1）。").arg(f.errorString()));
    const QByteArray magic = f.read(7);
    if (!magic.startsWith("Rar!\x1a\x07"))
      return fail(QStringLiteral("不是 RAR 压缩文件（服务器送来的可能是网页）。"));
  }

  TRAR rar(QFileInfo(unrarLibrary).absolutePath());
  rar.setDllName(QFileInfo(unrarLibrary).absoluteFilePath());
  QStringList taken, refused;
  QSet<QString> seen; // names folded to lower case: one file per name
  qint64 total = 0;
  int errorCode = 0;
  int errorErrno = 0; // errno at the first error: a full disk tells itself there
  rar.OnError = [&](TRAR *, int code, TRAROperation) {
    if (code != 0 && errorCode == 0) {
      errorCode = code;
      errorErrno = errno;
    }
  };
  rar.OnListFile = [&](TRAR *sender, const TRARFileItem &item) {
    if (cancelled()) {
      sender->Abort();
      return;
    }
    const QString name = item.FileName.isEmpty() ? item.FileNameW : item.FileName;
    // A Unix host lists a mode word (0x10 is a permission bit there) when
    // it has a file type, other hosts the Windows attributes.
    const quint32 type = item.Attributes & 0xf000;
    const bool folder = item.HostOS == QLatin1String("Unix") && type != 0 ? type == 0x4000
                                                                          : (item.Attributes & 0x10) != 0;
    QString why = UpdateEntryRefusal(kind, name, folder, item.Attributes, item.HostOS);
    if (why.isEmpty() && item.Encrypted)
      why = QStringLiteral("已加密");
    if (why.isEmpty() && !folder && seen.contains(name.toLower()))
      why = QStringLiteral("重复的文件名");
    if (!why.isEmpty()) {
      refused << QStringLiteral("%1（%2）").arg(name, why);
      return;
    }
    if (!folder) {
      seen.insert(name.toLower());
      taken << name;
      total += qint64(qMin<quint64>(item.UnCompressedSize64, quint64(1) << 62));
    }
  };
  bool listed = false;
  try {
    listed = rar.OpenFile(archive);
  } catch (const AppError &e) {
    return fail(e.message());
  }
  if (cancelled())
    return stopped();
  if (!listed) {
    if (errorCode == 99 && !rar.isDLLLoaded())
      return fail(QStringLiteral("无法载入解压库 %1。").arg(unrarLibrary));
    return fail(QStringLiteral("压缩文件已损坏或不完整，无法解压（错误 %1）。").arg(errorCode));
  }
  if (!refused.isEmpty())
    return fail(QStringLiteral("含有不能接受的内容：%1。").arg(refused.join(QStringLiteral("，"))));
  if (kind == UpdateArchiveKind::Bank && taken.isEmpty())
    return fail(QStringLiteral("压缩包里没有 QBRX.db。"));
  if (rar.ArchiveInformation().Encryption || rar.ArchiveInformation().HeaderEncrypted)
    return fail(QStringLiteral("压缩文件已加密。"));
  const auto tooLarge = [&](qint64 size) {
    return fail(QStringLiteral("解压后有 %1，超过上限 %2。").arg(ShownSize(size), ShownSize(limits.maxUnpackedBytes)));
  };
  if (limits.maxUnpackedBytes >= 0 && total > limits.maxUnpackedBytes)
    return tooLarge(total);
  const qint64 availableBefore = FreeDiskBytes(destination);
  if (availableBefore >= 0 && availableBefore < total + limits.diskReserve)
    return fail(DiskFullReason(destination, availableBefore, total + limits.diskReserve));

  if (!QDir().mkpath(destination))
    return fail(QStringLiteral("无法建立文件夹 %1。").arg(destination));
  // The bytes written, counted from the library's progress (its 32-bit
  // running total advances by each block).
  enum class Stop { None, Cancelled, TooLarge, DiskFull } stop = Stop::None;
  qint64 written = 0, checkedDiskAt = 0, availableAtStop = -1;
  quint32 lastDone = 0;
  rar.OnProgress = [&](TRAR *sender, const QString &, quint32, quint32 done, quint32, quint32) {
    written += qint64(quint32(done - lastDone));
    lastDone = done;
    if (cancelled())
      stop = Stop::Cancelled;
    else if (limits.maxUnpackedBytes >= 0 && written > limits.maxUnpackedBytes)
      stop = Stop::TooLarge;
    else if (written - checkedDiskAt >= UpdateLimit::kDiskCheckBytes) {
      checkedDiskAt = written;
      const qint64 available = FreeDiskBytes(destination);
      if (available >= 0 && available < limits.diskReserve) {
        stop = Stop::DiskFull;
        availableAtStop = available;
      }
    }
    if (stop != Stop::None)
      sender->Abort();
    else if (progress)
      progress(written, total);
  };
  errorCode = 0;
  const QStringList selection = taken; // names as the component matches them
  bool extracted = false;
  try {
    extracted = rar.Extract(destination, true, &selection);
  } catch (const AppError &e) {
    return fail(e.message());
  }
  if (stop == Stop::Cancelled || cancelled())
    return stopped();
  if (stop == Stop::TooLarge)
    return tooLarge(written);
  if (stop == Stop::DiskFull)
    return fail(DiskFullReason(destination, availableAtStop));
  if ((errorCode == ERAR_EWRITE || errorCode == ERAR_ECREATE) && IsDiskFullErrno(errorErrno))
    return fail(DiskFullReason(destination, FreeDiskBytes(destination)));

  // Exactly the taken files, as regular files, and nothing else.
  QSet<QString> expected(taken.begin(), taken.end());
  QStringList missing;
  const QString root = QDir(destination).absolutePath() + QLatin1Char('/');
  QDirIterator it(destination, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  QStringList strays;
  while (it.hasNext()) {
    const QFileInfo f(it.next());
    const QString rel = f.absoluteFilePath().mid(root.size());
    if (f.isSymLink() || (!f.isFile() && !f.isDir()))
      strays << rel;
    else if (f.isFile() && !expected.remove(rel))
      strays << rel;
  }
  for (const QString &n : std::as_const(expected))
    missing << n;
  if (!strays.isEmpty())
    return fail(QStringLiteral("含有不能接受的内容：%1。").arg(strays.join(QStringLiteral("，"))));
  if (!extracted || !missing.isEmpty()) {
    missing.sort();
    return fail(QStringLiteral("压缩文件已损坏或不完整，无法解压%1（错误 %2）。")
                    .arg(missing.isEmpty() ? QString() : QStringLiteral(" %1").arg(missing.join(QStringLiteral("，"))))
                    .arg(errorCode));
  }
  if (kind == UpdateArchiveKind::Bank && taken.first() != QLatin1String("QBRX.db")) {
    if (!QFile::rename(root + taken.first(), root + QStringLiteral("QBRX.db")))
      return fail(QStringLiteral("无法改名为 QBRX.db。"));
    taken = {QStringLiteral("QBRX.db")};
  }
  result.ok = true;
  result.files = taken;
  return result;
}
