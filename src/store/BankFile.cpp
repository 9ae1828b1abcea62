#include "store/BankFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace BankFile {

QByteArray magic() { return QByteArray("QBRX bank file\x1a\x00", 16); }

quint32 formatVersion(const unsigned char *head20) {
  return quint32(head20[16]) | (quint32(head20[17]) << 8) | (quint32(head20[18]) << 16) | (quint32(head20[19]) << 24);
}

namespace {
thread_local int t_refusedNewerVersion = 0;
}

int lastRefusedNewerVersion() { return t_refusedNewerVersion; }

QString newerFormatMessage(int version) {
  return QStringLiteral("题库文件的格式版本是 %1，本程序只能打开格式版本 %2 及以前的题库。请先升级本程序，再打开这个题库。")
      .arg(version)
      .arg(kFormatVersion);
}

Block blockForPassword(const QByteArray &password) {
  const QByteArray a = QCryptographicHash::hash("QBRX-block-1" + password, QCryptographicHash::Sha256);
  const QByteArray b = QCryptographicHash::hash("QBRX-block-2" + password, QCryptographicHash::Sha256);
  Block block{};
  std::memcpy(block.data(), a.constData(), 32);
  std::memcpy(block.data() + 32, b.constData(), kBlockSize - 32);
  return block;
}

QByteArray headerPage(const Block &block) {
  QByteArray page(kHeaderSize, '\0');
  const QByteArray m = magic();
  std::memcpy(page.data(), m.constData(), m.size());
  const quint32 version = kFormatVersion;
  for (int i = 0; i < 4; ++i)
    page[16 + i] = char((version >> (8 * i)) & 0xff);
  std::memcpy(page.data() + kBlockOffset, block.data(), kBlockSize);
  return page;
}

QByteArray openUri(const QString &path, const QByteArray &password, const Block *alsoAccepted) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QByteArray uri = "file:" + QUrl::toPercentEncoding(absolute, "/") + "?vfs=" + kVfsName +
                   "&key=" + QUrl::toPercentEncoding(QString::fromUtf8(password));
  if (alsoAccepted)
    uri += "&accept=" + QByteArray(reinterpret_cast<const char *>(alsoAccepted->data()), kBlockSize).toHex();
  return uri;
}

// ---------------------------------------------------------------------------
// The VFS shim. It wraps the default VFS; every file it opens is wrapped, and
// for the main database file every offset and size is shifted by the header.

namespace {

struct ShimFile {
  sqlite3_file base;
  sqlite3_file *real;
  sqlite3_int64 shift; // kHeaderSize for the main database, 0 otherwise
};

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

inline sqlite3_file *realOf(sqlite3_file *f) { return reinterpret_cast<ShimFile *>(f)->real; }
inline sqlite3_int64 shiftOf(sqlite3_file *f) { return reinterpret_cast<ShimFile *>(f)->shift; }

int shimClose(sqlite3_file *f) {
  sqlite3_file *r = realOf(f);
  return r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
}
int shimRead(sqlite3_file *f, void *buf, int amt, sqlite3_int64 off) {
  return realOf(f)->pMethods->xRead(realOf(f), buf, amt, off + shiftOf(f));
}
int shimWrite(sqlite3_file *f, const void *buf, int amt, sqlite3_int64 off) {
  return realOf(f)->pMethods->xWrite(realOf(f), buf, amt, off + shiftOf(f));
}
int shimTruncate(sqlite3_file *f, sqlite3_int64 size) {
  return realOf(f)->pMethods->xTruncate(realOf(f), size + shiftOf(f));
}
int shimSync(sqlite3_file *f, int flags) { return realOf(f)->pMethods->xSync(realOf(f), flags); }
int shimFileSize(sqlite3_file *f, sqlite3_int64 *size) {
  const int rc = realOf(f)->pMethods->xFileSize(realOf(f), size);
  if (rc == SQLITE_OK) {
    *size -= shiftOf(f);
    if (*size < 0)
      *size = 0;
  }
  return rc;
}
int shimLock(sqlite3_file *f, int lock) { return realOf(f)->pMethods->xLock(realOf(f), lock); }
int shimUnlock(sqlite3_file *f, int lock) { return realOf(f)->pMethods->xUnlock(realOf(f), lock); }
int shimCheckReservedLock(sqlite3_file *f, int *out) {
  return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
}
int shimFileControl(sqlite3_file *f, int op, void *arg) {
  sqlite3_file *r = realOf(f);
  if (op == kFcntlWriteBlock) {
    if (shiftOf(f) == 0)
      return SQLITE_NOTFOUND;
    return r->pMethods->xWrite(r, arg, kBlockSize, kBlockOffset);
  }
  if (op == SQLITE_FCNTL_SIZE_HINT && shiftOf(f) != 0) {
    sqlite3_int64 hint = *static_cast<sqlite3_int64 *>(arg) + shiftOf(f);
    return r->pMethods->xFileControl(r, op, &hint);
  }
  return r->pMethods->xFileControl(r, op, arg);
}
int shimSectorSize(sqlite3_file *f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int shimDeviceCharacteristics(sqlite3_file *f) {
  return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
}
int shimShmMap(sqlite3_file *f, int pg, int sz, int extend, void volatile **pp) {
  return realOf(f)->pMethods->xShmMap(realOf(f), pg, sz, extend, pp);
}
int shimShmLock(sqlite3_file *f, int offset, int n, int flags) {
  return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file *f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int shimShmUnmap(sqlite3_file *f, int deleteFlag) {
  return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag);
}
int shimFetch(sqlite3_file *f, sqlite3_int64 off, int amt, void **pp) {
  return realOf(f)->pMethods->xFetch(realOf(f), off + shiftOf(f), amt, pp);
}
int shimUnfetch(sqlite3_file *f, sqlite3_int64 off, void *p) {
  return realOf(f)->pMethods->xUnfetch(realOf(f), off + shiftOf(f), p);
}

// Checks the header page of a freshly opened main database file.
int checkHeader(sqlite3_file *r, const char *zName) {
  sqlite3_int64 size = 0;
  int rc = r->pMethods->xFileSize(r, &size);
  if (rc != SQLITE_OK)
    return rc;
  if (size < kHeaderSize)
    return SQLITE_NOTADB;
  unsigned char head[kBlockOffset + kBlockSize];
  rc = r->pMethods->xRead(r, head, sizeof head, 0);
  if (rc != SQLITE_OK)
    return rc == SQLITE_IOERR_SHORT_READ ? SQLITE_NOTADB : rc;
  const QByteArray m = magic();
  if (std::memcmp(head, m.constData(), m.size()) != 0)
    return SQLITE_NOTADB;
  // A newer format may lay out its pages differently: never open it blindly.
  const quint32 version = formatVersion(head);
  if (version > quint32(kFormatVersion)) {
    t_refusedNewerVersion = int(version);
    return SQLITE_NOTADB;
  }
  const char *key = sqlite3_uri_parameter(zName, "key");
  // Every open of a run uses the same password: hash it once per thread.
  thread_local QByteArray cachedKey;
  thread_local Block genuine{};
  thread_local bool cached = false;
  const QByteArray password(key ? key : "");
  if (!cached || password != cachedKey) {
    genuine = blockForPassword(password);
    cachedKey = password;
    cached = true;
  }
  if (std::memcmp(head + kBlockOffset, genuine.data(), kBlockSize) == 0)
    return SQLITE_OK;
  const char *accept = sqlite3_uri_parameter(zName, "accept");
  if (accept) {
    const QByteArray other = QByteArray::fromHex(QByteArray(accept));
    if (other.size() == kBlockSize && std::memcmp(head + kBlockOffset, other.constData(), kBlockSize) == 0)
      return SQLITE_OK;
  }
  return SQLITE_AUTH;
}

int shimOpen(sqlite3_vfs *, sqlite3_filename zName, sqlite3_file *f, int flags, int *outFlags) {
  auto *p = reinterpret_cast<ShimFile *>(f);
  p->real = reinterpret_cast<sqlite3_file *>(p + 1);
  p->shift = (flags & SQLITE_OPEN_MAIN_DB) ? kHeaderSize : 0;
  f->pMethods = nullptr;
  int rc = g_real->xOpen(g_real, zName, p->real, flags, outFlags);
  if (rc != SQLITE_OK)
    return rc;
  if (p->shift != 0) {
    t_refusedNewerVersion = 0;
    rc = checkHeader(p->real, zName);
    if (rc != SQLITE_OK) {
      p->real->pMethods->xClose(p->real);
      return rc;
    }
  }
  f->pMethods = &g_methods;
  return SQLITE_OK;
}

int shimDelete(sqlite3_vfs *, const char *z, int syncDir) { return g_real->xDelete(g_real, z, syncDir); }
int shimAccess(sqlite3_vfs *, const char *z, int flags, int *out) {
  return g_real->xAccess(g_real, z, flags, out);
}
int shimFullPathname(sqlite3_vfs *, const char *z, int n, char *out) {
  return g_real->xFullPathname(g_real, z, n, out);
}
void *shimDlOpen(sqlite3_vfs *, const char *z) { return g_real->xDlOpen(g_real, z); }
void shimDlError(sqlite3_vfs *, int n, char *z) { g_real->xDlError(g_real, n, z); }
void (*shimDlSym(sqlite3_vfs *, void *h, const char *z))(void) { return g_real->xDlSym(g_real, h, z); }
void shimDlClose(sqlite3_vfs *, void *h) { g_real->xDlClose(g_real, h); }
int shimRandomness(sqlite3_vfs *, int n, char *z) { return g_real->xRandomness(g_real, n, z); }
int shimSleep(sqlite3_vfs *, int us) { return g_real->xSleep(g_real, us); }
int shimCurrentTime(sqlite3_vfs *, double *t) { return g_real->xCurrentTime(g_real, t); }
int shimGetLastError(sqlite3_vfs *, int n, char *z) {
  return g_real->xGetLastError ? g_real->xGetLastError(g_real, n, z) : 0;
}
int shimCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *t) { return g_real->xCurrentTimeInt64(g_real, t); }

} // namespace

void registerVfs() {
  static std::once_flag once;
  std::call_once(once, [] {
    sqlite3_initialize();
    g_real = sqlite3_vfs_find(nullptr);
    std::memset(&g_methods, 0, sizeof g_methods);
    g_methods.iVersion = 3;
    g_methods.xClose = shimClose;
    g_methods.xRead = shimRead;
    g_methods.xWrite = shimWrite;
    g_methods.xTruncate = shimTruncate;
    g_methods.xSync = shimSync;
    g_methods.xFileSize = shimFileSize;
    g_methods.xLock = shimLock;
    g_methods.xUnlock = shimUnlock;
    g_methods.xCheckReservedLock = shimCheckReservedLock;
    g_methods.xFileControl = shimFileControl;
    g_methods.xSectorSize = shimSectorSize;
    g_methods.xDeviceCharacteristics = shimDeviceCharacteristics;
    g_methods.xShmMap = shimShmMap;
    g_methods.xShmLock = shimShmLock;
    g_methods.xShmBarrier = shimShmBarrier;
    g_methods.xShmUnmap = shimShmUnmap;
    g_methods.xFetch = shimFetch;
    g_methods.xUnfetch = shimUnfetch;

    std::memset(&g_vfs, 0, sizeof g_vfs);
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = kVfsName;
    g_vfs.xOpen = shimOpen;
    g_vfs.xDelete = shimDelete;
    g_vfs.xAccess = shimAccess;
    g_vfs.xFullPathname = shimFullPathname;
    g_vfs.xDlOpen = shimDlOpen;
    g_vfs.xDlError = shimDlError;
    g_vfs.xDlSym = shimDlSym;
    g_vfs.xDlClose = shimDlClose;
    g_vfs.xRandomness = shimRandomness;
    g_vfs.xSleep = shimSleep;
    g_vfs.xCurrentTime = shimCurrentTime;
    g_vfs.xGetLastError = shimGetLastError;
    g_vfs.xCurrentTimeInt64 = shimCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 0);
  });
}

} // namespace BankFile
