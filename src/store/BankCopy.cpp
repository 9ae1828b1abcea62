#include "store/BankCopy.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void removePartial(const QString &partial) {
  QFile::remove(partial);
  QFile::remove(partial + QStringLiteral("-journal"));
}

// Copies every page of `from` into `to` in one backup step.
void backup(TADOConnection &from, TADOConnection &to) {
  sqlite3_backup *b = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
  if (!b)
    throw EDatabaseError(EngineErrorMessage(sqlite3_errcode(to.handle()), QString::fromUtf8(sqlite3_errmsg(to.handle()))),
                         sqlite3_errcode(to.handle()));
  const int step = sqlite3_backup_step(b, -1);
  const int finish = sqlite3_backup_finish(b);
  const int rc = step == SQLITE_DONE ? finish : step;
  if (rc != SQLITE_OK && rc != SQLITE_DONE)
    throw EDatabaseError(EngineErrorMessage(rc, QString::fromUtf8(sqlite3_errstr(rc))), rc);
}

} // namespace

bool IsSameFile(const QString &source, const QString &destination) {
  struct stat s {};
  struct stat d {};
  if (::stat(QFile::encodeName(source).constData(), &s) != 0)
    return false;
  if (::stat(QFile::encodeName(destination).constData(), &d) == 0)
    return s.st_dev == d.st_dev && s.st_ino == d.st_ino;
  const QFileInfo info(destination);
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  return !folder.isEmpty() && folder + QLatin1Char('/') + info.fileName() == QFileInfo(source).canonicalFilePath();
}

void CheckOutputPath(const QString &path) {
  const QFileInfo info(path);
  if (info.isDir())
    throw FileError(QStringLiteral("输出 %1 是一个文件夹，请给出一个文件名").arg(path));
  const QFileInfo folder(info.absolutePath());
  if (!folder.isDir())
    throw FileError(QStringLiteral("输出文件所在的文件夹 %1 不存在").arg(folder.filePath()));
}

void OpenNewBank(TADOConnection &connection, const QString &path, QFileDevice::Permissions permissions) {
  {
    QFile f(path);
    const bool created = permissions ? f.open(QIODevice::WriteOnly, permissions) : f.open(QIODevice::WriteOnly);
    if (!created)
      throw FileError(QStringLiteral("无法创建 %1：%2").arg(path, f.errorString()));
    const QByteArray page = BankFile::headerPage(kGenuineBlock);
    if (f.write(page) != page.size() || !f.flush())
      throw FileError(QStringLiteral("无法写入 %1：%2").arg(path, f.errorString()));
  }
  connection.Open(path, QByteArray(kDatabasePassword));
}

void ReplaceWithPartial(const QString &partial, const QString &destination) {
  // The data reaches the disk before the name does: after a power cut the
  // name holds the old file or the whole new one.
  {
    QFile f(partial);
    if (!f.open(QIODevice::ReadWrite) || ::fsync(f.handle()) != 0)
      throw FileError(QStringLiteral("无法写入 %1：%2").arg(partial, f.errorString()));
  }
  // One rename replaces an existing file: it is never removed first, so
  // there is no moment without one.
  if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(destination).constData()) != 0)
    throw FileError(QStringLiteral("无法创建 %1：%2").arg(destination, QString::fromLocal8Bit(std::strerror(errno))));
}

void CopyBank(TADOConnection &source, const QString &destination, BankCopyFormat format,
              QFileDevice::Permissions permissions) {
  if (!source.Connected())
    throw EDatabaseError(QStringLiteral("数据库没有连接"), SQLITE_MISUSE);
  if (source.InTransaction())
    throw EDatabaseError(QStringLiteral("题库有未完成的事务，现在不能复制。请稍后重试。"), SQLITE_BUSY);
  CheckOutputPath(destination);
  const char *sourceName = sqlite3_db_filename(source.handle(), "main");
  if (sourceName && IsSameFile(QFile::decodeName(sourceName), destination))
    throw FileError(QStringLiteral("副本不能写在题库 %1 本身上").arg(destination));
  const QString partial = destination + QStringLiteral(".partial");
  removePartial(partial);
  try {
    TADOConnection to;
    if (format == BankCopyFormat::Bank) {
      OpenNewBank(to, partial, permissions);
    } else {
      to.OpenPlain(partial, true);
    }
    backup(source, to);
    to.Close();
    if (format == BankCopyFormat::Bank)
      MaskDatabaseFile(partial);
    ReplaceWithPartial(partial, destination);
  } catch (...) {
    removePartial(partial);
    throw;
  }
}

void CopyBank(const QString &source, const QString &destination, BankCopyFormat format) {
  int version = 0;
  switch (InspectBankFile(source, &version)) {
  case BankHeader::Missing:
    throw FileError(QStringLiteral("找不到题库文件 %1").arg(source));
  case BankHeader::NotAFile:
    throw FileError(QStringLiteral("%1 不是普通文件（可能是文件夹、管道或设备），不能复制").arg(source));
  case BankHeader::NotOurs:
    throw FileError(QStringLiteral("%1 不是题库文件").arg(source));
  case BankHeader::NewerFormat:
    throw FileError(BankFile::newerFormatMessage(version));
  case BankHeader::Ours:
    break;
  }
  TADOConnection from;
  try {
    // Opened as it rests, masked or not; the open reads the schema, which
    // rolls back a hot journal before a single page is copied.
    from.Open(source, QByteArray(kDatabasePassword), &kMaskingBlock);
  } catch (const EBankSchema &e) {
    throw EBankSchema(QStringLiteral("%1 不是本程序的题库：%2").arg(source, e.message()));
  } catch (const EDatabaseError &e) {
    throw EDatabaseError(QStringLiteral("无法打开题库 %1 来复制（一个未完成的事务必须先撤销）：%2").arg(source, e.message()),
                         e.code());
  }
  CopyBank(from, destination, format);
}
