#include "store/EncryptionMDB.h"
#include "store/FileError.h"

#include <QFile>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

const char *const kDatabasePassword = "qmtlvb20090523";

// The genuine block is the one the shim derives from kDatabasePassword; the
// masking block is that block with every byte flipped by 0xA5.
const BankFile::Block kGenuineBlock = {
    0x12, 0x8b, 0xb2, 0x3d, 0x3d, 0xea, 0x7a, 0x09, 0xe0, 0x69, 0xd7, 0x02, 0xfe, 0x78,
    0x74, 0xed, 0xdf, 0x7e, 0x3c, 0x4d, 0x39, 0x0e, 0xe4, 0x37, 0xb9, 0xf9, 0x18, 0x90,
    0x3d, 0xf6, 0xd6, 0x9f, 0x9d, 0x89, 0xcc, 0x21, 0xc9, 0x6d, 0xdc, 0x20};
const BankFile::Block kMaskingBlock = {
    0xb7, 0x2e, 0x17, 0x98, 0x98, 0x4f, 0xdf, 0xac, 0x45, 0xcc, 0x72, 0xa7, 0x5b, 0xdd,
    0xd1, 0x48, 0x7a, 0xdb, 0x99, 0xe8, 0x9c, 0xab, 0x41, 0x92, 0x1c, 0x5c, 0xbd, 0x35,
    0x98, 0x53, 0x73, 0x3a, 0x38, 0x2c, 0x69, 0x84, 0x6c, 0xc8, 0x79, 0x85};

static QString notAFileMessage(const QString &path) {
  return QStringLiteral("%1 不是普通文件（可能是文件夹、管道或设备），不能作为题库打开").arg(path);
}

// Opens without blocking (a FIFO would wait for ever for its other end) and
// keeps the descriptor only for a regular file.
static int openRegular(const QString &path, int flags, bool *notAFile, struct stat *info = nullptr) {
  *notAFile = false;
  const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == EISDIR || errno == ENXIO) // a folder, or a FIFO with no reader
      *notAFile = true;
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *notAFile = true;
    errno = EINVAL;
    return -1;
  }
  if (info)
    *info = st;
  return fd;
}

static void writeBlock(const QString &path, const BankFile::Block &block) {
  bool notAFile = false;
  const int fd = openRegular(path, O_WRONLY, &notAFile);
  if (fd < 0) {
    if (notAFile)
      throw FileError(notAFileMessage(path));
    if (errno == ENOENT)
      return; // a missing file is silently ignored
    throw FileError(QStringLiteral("无法打开文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
  }
  // No sync: a block lost in a power cut leaves the file either masked (the
  // next start unmasks it again) or genuine (it opens as it is); the rows
  // behind the header are never touched.
  const ssize_t n = ::pwrite(fd, block.data(), block.size(), BankFile::kBlockOffset);
  const int writeErrno = errno;
  ::close(fd);
  if (n != ssize_t(block.size()))
    throw FileError(QStringLiteral("无法写入文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(n < 0 ? writeErrno : ENOSPC))));
}

void MaskDatabaseFile(const QString &path) { writeBlock(path, kMaskingBlock); }
void UnmaskDatabaseFile(const QString &path) { writeBlock(path, kGenuineBlock); }

static BankHeader readHeader(int fd, const struct stat &st, int *formatVersion) {
  if (st.st_size < BankFile::kHeaderSize)
    return BankHeader::NotOurs;
  const QByteArray expected = BankFile::magic();
  char head[20];
  if (::pread(fd, head, sizeof head, 0) != ssize_t(sizeof head) || QByteArray(head, 16) != expected)
    return BankHeader::NotOurs;
  const quint32 version = BankFile::formatVersion(reinterpret_cast<const unsigned char *>(head));
  if (formatVersion)
    *formatVersion = int(version);
  return version > quint32(BankFile::kFormatVersion) ? BankHeader::NewerFormat : BankHeader::Ours;
}

static BankHeader withFile(const QString &path, bool writeGenuine, int *formatVersion) {
  bool notAFile = false;
  struct stat st {};
  const int fd = openRegular(path, writeGenuine ? O_RDWR : O_RDONLY, &notAFile, &st);
  if (fd < 0) {
    if (notAFile)
      return BankHeader::NotAFile;
    if (errno == ENOENT)
      return BankHeader::Missing;
    throw FileError(QStringLiteral("无法打开文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
  }
  const BankHeader header = readHeader(fd, st, formatVersion);
  if (header == BankHeader::Ours && writeGenuine) {
    const ssize_t n = ::pwrite(fd, kGenuineBlock.data(), kGenuineBlock.size(), BankFile::kBlockOffset);
    const int writeErrno = errno;
    ::close(fd);
    if (n != ssize_t(kGenuineBlock.size()))
      throw FileError(QStringLiteral("无法写入文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(n < 0 ? writeErrno : ENOSPC))));
    return header;
  }
  ::close(fd);
  return header;
}

BankHeader UnmaskIfOurs(const QString &path, int *formatVersion) { return withFile(path, true, formatVersion); }
BankHeader InspectBankFile(const QString &path, int *formatVersion) { return withFile(path, false, formatVersion); }
