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

static void writeBlock(const QString &path, const BankFile::Block &block) {
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
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

static BankHeader readHeader(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < BankFile::kHeaderSize)
    return BankHeader::NotOurs;
  const QByteArray expected = BankFile::magic();
  char head[16];
  if (::pread(fd, head, sizeof head, 0) != ssize_t(sizeof head) || QByteArray(head, sizeof head) != expected)
    return BankHeader::NotOurs;
  return BankHeader::Ours;
}

static BankHeader withFile(const QString &path, bool writeGenuine) {
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), (writeGenuine ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT)
      return BankHeader::Missing;
    throw FileError(QStringLiteral("无法打开文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
  }
  const BankHeader header = readHeader(fd);
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

BankHeader UnmaskIfOurs(const QString &path) { return withFile(path, true); }
BankHeader InspectBankFile(const QString &path) { return withFile(path, false); }
