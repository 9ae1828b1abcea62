// The C interface over the block scanner (metadata) and libarchive (data).
#include "qbrx_unrar.h"
#include "Crc32.h"
#include "RarScan.h"

#include <archive.h>
#include <archive_entry.h>

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <locale.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#define RAR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const size_t kPasswordBuf = 128;

// libarchive converts names through the current locale: run its calls under
// UTF-8 without touching the process-wide locale.
class Utf8Locale {
public:
  Utf8Locale() {
    static locale_t loc = [] {
      locale_t l = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
      return l ? l : newlocale(LC_ALL_MASK, "C.utf8", locale_t(0));
    }();
    m_old = loc ? uselocale(loc) : locale_t(0);
  }
  ~Utf8Locale() {
    if (m_old)
      uselocale(m_old);
  }

private:
  locale_t m_old = locale_t(0);
};

struct Arc {
  std::string path;
  unsigned mode = RAR_OM_LIST;
  rarscan::Archive scan;
  size_t next = 0;
  const rarscan::Entry *current = nullptr;
  bool currentDataReady = false; // libarchive stands at the current entry's data
  struct archive *la = nullptr;
  bool laBroken = false;
  UNRARCALLBACK callback = nullptr;
  intptr_t userData = 0;
  CHANGEVOLPROC changeVolProc = nullptr;
  PROCESSDATAPROC processDataProc = nullptr;
  std::string password;
  // The folder of the last extracted file, kept open for its neighbours.
  std::string dirKey;
  int dirFd = -1;
};

std::string toUtf8(const wchar_t *w) {
  std::string out;
  for (; w && *w; ++w)
    rarscan::appendUtf8(out, char32_t(*w));
  return out;
}

// UTF-8 into a zero-terminated wide buffer of n characters.
void toWide(const std::string &s, wchar_t *out, size_t n) {
  size_t o = 0;
  for (size_t i = 0; i < s.size() && o + 1 < n;) {
    const unsigned char c = s[i];
    char32_t v;
    size_t len;
    if (c < 0x80) {
      v = c;
      len = 1;
    } else if ((c & 0xe0) == 0xc0) {
      v = c & 0x1f;
      len = 2;
    } else if ((c & 0xf0) == 0xe0) {
      v = c & 0x0f;
      len = 3;
    } else {
      v = c & 0x07;
      len = 4;
    }
    if (i + len > s.size())
      break;
    for (size_t k = 1; k < len; ++k)
      v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3f);
    out[o++] = wchar_t(v);
    i += len;
  }
  out[o] = 0;
}

// UTF-8 into a zero-terminated 8-bit buffer of n bytes, never cutting a character.
void copyName(const std::string &s, char *out, size_t n) {
  size_t len = std::min(s.size(), n - 1);
  while (len > 0 && len < s.size() && (static_cast<unsigned char>(s[len]) & 0xc0) == 0x80)
    --len;
  std::memcpy(out, s.data(), len);
  out[len] = 0;
}

std::string normalisedName(const char *name) {
  std::string s = name ? name : "";
  for (char &c : s)
    if (c == '\\')
      c = '/';
  while (!s.empty() && s.back() == '/')
    s.pop_back();
  return s;
}

// Asks the caller for a password through the callback; true when one was given.
bool askPassword(Arc *a) {
  if (!a->password.empty())
    return true;
  if (!a->callback)
    return false;
  char buf[kPasswordBuf] = {};
  const int answer = a->callback(UCM_NEEDPASSWORD, a->userData, intptr_t(buf), intptr_t(sizeof buf));
  buf[sizeof buf - 1] = 0;
  return answer >= 0 && buf[0] != 0;
}

// An encrypted entry or archive: this library does not decrypt.
int encryptedResult(Arc *a) { return askPassword(a) ? ERAR_UNKNOWN_FORMAT : ERAR_MISSING_PASSWORD; }

// ---- writing below a destination folder ------------------------------------

// Opens the folder `path` (created with its parents when missing; it is the
// caller's own choice and may pass through links).
int openBaseDir(const std::string &path) {
  std::string p = path.empty() ? "." : path;
  int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0)
    return fd;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      const std::string part = p.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
        return -1;
    }
  }
  return ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Walks `parts` below `dirFd`, creating missing folders 0755 and refusing to
// pass through a link. Returns the last folder's descriptor (dirFd is closed).
int walkDirs(int dirFd, const std::vector<std::string> &parts, size_t count) {
  for (size_t i = 0; i < count && dirFd >= 0; ++i) {
    int next = ::openat(dirFd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(dirFd, parts[i].c_str(), 0755) == 0 || errno == EEXIST) {
        next = ::openat(dirFd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next >= 0)
          ::fchmod(next, 0755);
      }
    }
    ::close(dirFd);
    dirFd = next;
  }
  return dirFd;
}

std::vector<std::string> splitParts(const std::string &name) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos)
      end = name.size();
    std::string part = name.substr(start, end - start);
    if (!part.empty() && part != ".")
      parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

bool writeAll(int fd, const void *p, size_t n) {
  auto *c = static_cast<const char *>(p);
  while (n > 0) {
    const ssize_t w = ::write(fd, c, n);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return false;
    c += w;
    n -= size_t(w);
  }
  return true;
}

// Streams the current entry's data to `fd` (or nowhere when fd < 0),
// checking its size and CRC32.
int streamData(Arc *a, int fd) {
  const rarscan::Entry &e = *a->current;
  if (!a->currentDataReady)
    return a->laBroken ? ERAR_BAD_DATA : ERAR_BAD_ARCHIVE;
  a->currentDataReady = false;
  uint32_t crc = 0;
  uint64_t total = 0;
  while (true) {
    const void *block;
    size_t size;
    la_int64_t offset;
    const int r = archive_read_data_block(a->la, &block, &size, &offset);
    if (r == ARCHIVE_EOF)
      break;
    if (r != ARCHIVE_OK || uint64_t(offset) != total) {
      a->laBroken = r == ARCHIVE_FATAL;
      return ERAR_BAD_DATA;
    }
    if (size == 0)
      continue;
    if (e.unpSizeKnown && total + size > e.unpSize)
      return ERAR_BAD_DATA;
    crc = rarscan::crc32(crc, block, size);
    total += size;
    if (fd >= 0 && !writeAll(fd, block, size))
      return ERAR_EWRITE;
    if (a->callback &&
        a->callback(UCM_PROCESSDATA, a->userData, intptr_t(block), intptr_t(size)) < 0)
      return ERAR_UNKNOWN;
    if (a->processDataProc &&
        a->processDataProc(static_cast<unsigned char *>(const_cast<void *>(block)), int(size)) < 0)
      return ERAR_UNKNOWN;
  }
  if (e.unpSizeKnown && total != e.unpSize)
    return ERAR_BAD_DATA;
  if (e.hasCrc && crc != e.crc)
    return ERAR_BAD_DATA;
  return ERAR_SUCCESS;
}

// A RAR 4 symbolic link stores its target as its data, which libarchive
// hands out as the link rather than as data: the target is read from the
// archive and checked for its size and CRC like any file's data.
int testLinkTarget(Arc *a) {
  const rarscan::Entry &e = *a->current;
  a->currentDataReady = false;
  const uint64_t kMaxTarget = 65536;
  if (e.packSize != e.unpSize || e.packSize > kMaxTarget)
    return ERAR_BAD_DATA;
  std::string target(size_t(e.packSize), '\0');
  const int fd = ::open(a->path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return ERAR_EOPEN;
  size_t done = 0;
  while (done < target.size()) {
    const ssize_t r = ::pread(fd, &target[done], target.size() - done, off_t(e.dataOffset + done));
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      break;
    done += size_t(r);
  }
  ::close(fd);
  if (done != target.size())
    return ERAR_BAD_DATA;
  if (e.hasCrc && rarscan::crc32(0, target.data(), target.size()) != e.crc)
    return ERAR_BAD_DATA;
  if (target.empty())
    return ERAR_SUCCESS;
  auto *bytes = reinterpret_cast<unsigned char *>(&target[0]);
  if (a->callback && a->callback(UCM_PROCESSDATA, a->userData, intptr_t(bytes), intptr_t(target.size())) < 0)
    return ERAR_UNKNOWN;
  if (a->processDataProc && a->processDataProc(bytes, int(target.size())) < 0)
    return ERAR_UNKNOWN;
  return ERAR_SUCCESS;
}

std::atomic<unsigned> tempCounter{0};
const int processId = int(::getpid());

// Puts the checked temporary file in place of `name` in one step. An existing
// regular file is swapped out (and then removed) rather than renamed over:
// ext4 writes a file renamed over another out to disk at once, which would
// make every overwrite wait for the disk.
bool moveIntoPlace(int dirFd, const char *tempName, const char *name) {
  struct stat st;
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
      ::renameat2(dirFd, tempName, dirFd, name, RENAME_EXCHANGE) == 0) {
    ::unlinkat(dirFd, tempName, 0);
    return true;
  }
  return ::renameat(dirFd, tempName, dirFd, name) == 0;
}

// The folder a file goes to: the parent of `destName`, or the stored
// folders below `destPath`. Owned by the Arc (kept for the next file).
int destinationDir(Arc *a, const std::string &destPath, const std::string &destName, std::string &fileName) {
  std::string key;
  std::vector<std::string> parts;
  if (!destName.empty()) {
    const size_t slash = destName.rfind('/');
    fileName = slash == std::string::npos ? destName : destName.substr(slash + 1);
    key = std::string(1, '\0') + (slash == std::string::npos ? std::string(".") : destName.substr(0, slash));
  } else {
    parts = splitParts(a->current->name);
    if (parts.empty())
      return -1;
    fileName = parts.back();
    parts.pop_back();
    key = destPath;
    for (const std::string &p : parts)
      key += '\0' + p;
  }
  if (fileName.empty() || fileName == "." || fileName == "..")
    return -1;
  if (a->dirFd >= 0 && key == a->dirKey)
    return a->dirFd;
  if (a->dirFd >= 0)
    ::close(a->dirFd);
  a->dirKey.clear();
  a->dirFd = destName.empty() ? walkDirs(openBaseDir(destPath), parts, parts.size()) : openBaseDir(key.substr(1));
  if (a->dirFd >= 0)
    a->dirKey = key;
  return a->dirFd;
}

int extractFile(Arc *a, const std::string &destPath, const std::string &destName) {
  const rarscan::Entry &e = *a->current;
  std::string fileName;
  const int dirFd = destinationDir(a, destPath, destName, fileName);
  if (dirFd < 0)
    return ERAR_ECREATE;

  char tempName[64];
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::snprintf(tempName, sizeof tempName, ".rar-part-%d-%u", processId, tempCounter++);
    fd = ::openat(dirFd, tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0)
    return ERAR_ECREATE;
  int result = streamData(a, fd);
  // The caller tells a full disk by errno after ERAR_EWRITE: the clean-up
  // below must not lose it.
  int writeErrno = result == ERAR_EWRITE ? errno : 0;
  if (result == ERAR_SUCCESS) {
    const struct timespec times[2] = {{time_t(e.mtime), long(e.mtimeNs)}, {time_t(e.mtime), long(e.mtimeNs)}};
    ::futimens(fd, times);
    if (::fchmod(fd, 0644) != 0)
      result = ERAR_ECREATE;
  }
  if (::close(fd) != 0 && result == ERAR_SUCCESS) {
    result = ERAR_EWRITE;
    writeErrno = errno;
  }
  if (result == ERAR_SUCCESS && !moveIntoPlace(dirFd, tempName, fileName.c_str()))
    result = ERAR_ECREATE;
  if (result != ERAR_SUCCESS) {
    ::unlinkat(dirFd, tempName, 0);
    if (writeErrno != 0)
      errno = writeErrno;
  }
  return result;
}

int extractDir(Arc *a, const std::string &destPath) {
  const std::vector<std::string> parts = splitParts(a->current->name);
  const int fd = walkDirs(openBaseDir(destPath), parts, parts.size());
  if (fd < 0)
    return ERAR_ECREATE;
  ::close(fd);
  return ERAR_SUCCESS;
}

int openLibarchive(Arc *a) {
  Utf8Locale utf8;
  a->la = archive_read_new();
  if (!a->la)
    return ERAR_NO_MEMORY;
  archive_read_support_format_rar(a->la);
  archive_read_support_format_rar5(a->la);
  // Names without the Unicode flag are code page 936.
  archive_read_set_format_option(a->la, "rar", "hdrcharset", "CP936");
  if (archive_read_open_filename(a->la, a->path.c_str(), 1 << 20) != ARCHIVE_OK)
    return ERAR_EOPEN;
  return ERAR_SUCCESS;
}

// Moves libarchive to the entry the scanner just handed out.
void advanceLibarchive(Arc *a) {
  a->currentDataReady = false;
  if (!a->la || a->laBroken)
    return;
  Utf8Locale utf8;
  struct archive_entry *entry;
  const int r = archive_read_next_header(a->la, &entry);
  if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
    a->laBroken = true;
    return;
  }
  const char *name = archive_entry_pathname_utf8(entry);
  if (!name)
    name = archive_entry_pathname(entry);
  const rarscan::Entry &e = *a->current;
  // The same entry: the same name, or (where libarchive read the 8-bit name
  // in another code page) the same kind and size. The data is checked
  // against the scanner's CRC in any case.
  // A RAR 4 link's target is not counted as data by libarchive.
  const bool sameKind = (archive_entry_filetype(entry) == AE_IFDIR) == e.isDir &&
                        (!e.unpSizeKnown || e.isDir || e.isLink || uint64_t(archive_entry_size(entry)) == e.unpSize);
  if (normalisedName(name) != normalisedName(e.name.c_str()) && !sameKind) {
    // Out of step with the scanner: no data of this archive is trusted.
    a->laBroken = true;
    return;
  }
  a->currentDataReady = true;
}

int openArchive(Arc *a, unsigned mode, char *cmtBuf, unsigned cmtBufSize, unsigned &cmtSize, unsigned &cmtState,
                unsigned &flags) {
  a->mode = mode;
  const int r = rarscan::scan(a->path, a->scan);
  if (r != ERAR_SUCCESS)
    return r;
  flags = a->scan.flags;
  cmtSize = 0;
  cmtState = 0;
  if (a->scan.hasComment && cmtBuf && cmtBufSize > 0) {
    const std::string &c = a->scan.comment;
    const size_t n = std::min<size_t>(c.size(), cmtBufSize - 1);
    std::memcpy(cmtBuf, c.data(), n);
    cmtBuf[n] = 0;
    cmtSize = unsigned(n + 1);
    cmtState = n < c.size() ? ERAR_SMALL_BUF : 1;
  }
  if (mode == RAR_OM_EXTRACT) {
    // Volumes of a set and solid RAR 4 archives cannot be unpacked here.
    if ((a->scan.flags & ROADF_VOLUME) || (a->scan.format == 4 && (a->scan.flags & ROADF_SOLID)))
      return ERAR_UNKNOWN_FORMAT;
    if (!a->scan.headersEncrypted)
      return openLibarchive(a);
  }
  return ERAR_SUCCESS;
}

void closeArc(Arc *a) {
  if (a->dirFd >= 0)
    ::close(a->dirFd);
  if (a->la)
    archive_read_free(a->la);
  delete a;
}

Arc *newArc(const char *name, const wchar_t *nameW) {
  Arc *a = new (std::nothrow) Arc;
  if (!a)
    return nullptr;
  a->path = name ? std::string(name) : toUtf8(nameW);
  return a;
}

int readHeader(Arc *a) {
  a->current = nullptr;
  if (a->scan.headersEncrypted)
    return encryptedResult(a);
  if (a->next >= a->scan.entries.size())
    return a->scan.endCode;
  a->current = &a->scan.entries[a->next++];
  if (a->mode == RAR_OM_EXTRACT)
    advanceLibarchive(a);
  return ERAR_SUCCESS;
}

} // namespace

RAR_EXPORT HANDLE_RAR RAROpenArchiveEx(struct RAROpenArchiveDataEx *data) {
  if (!data)
    return nullptr;
  Arc *a = newArc(data->ArcName, data->ArcNameW);
  if (!a) {
    data->OpenResult = ERAR_NO_MEMORY;
    return nullptr;
  }
  a->callback = data->Callback;
  a->userData = data->UserData;
  const int r = openArchive(a, data->OpenMode, data->CmtBuf, data->CmtBufSize, data->CmtSize, data->CmtState,
                            data->Flags);
  data->OpenResult = unsigned(r);
  if (r != ERAR_SUCCESS) {
    closeArc(a);
    return nullptr;
  }
  return a;
}

RAR_EXPORT HANDLE_RAR RAROpenArchive(struct RAROpenArchiveData *data) {
  if (!data)
    return nullptr;
  Arc *a = newArc(data->ArcName, nullptr);
  if (!a) {
    data->OpenResult = ERAR_NO_MEMORY;
    return nullptr;
  }
  unsigned flags = 0;
  const int r = openArchive(a, data->OpenMode, data->CmtBuf, data->CmtBufSize, data->CmtSize, data->CmtState, flags);
  data->OpenResult = unsigned(r);
  if (r != ERAR_SUCCESS) {
    closeArc(a);
    return nullptr;
  }
  return a;
}

RAR_EXPORT int RARCloseArchive(HANDLE_RAR arc) {
  if (!arc)
    return ERAR_ECLOSE;
  closeArc(static_cast<Arc *>(arc));
  return ERAR_SUCCESS;
}

// The fields both header records share.
template <typename Header> static void fillHeader(const Arc *a, Header *h) {
  const rarscan::Entry &e = *a->current;
  copyName(a->path, h->ArcName, sizeof h->ArcName);
  copyName(e.name, h->FileName, sizeof h->FileName);
  h->Flags = e.flags;
  h->PackSize = uint32_t(e.packSize);
  h->UnpSize = uint32_t(e.unpSize);
  h->HostOS = e.hostOS;
  h->FileCRC = e.crc;
  h->FileTime = e.dosTime;
  h->UnpVer = e.unpVer;
  h->Method = e.method;
  h->FileAttr = e.attr;
  h->CmtSize = 0; // entry comments (RAR 2 only) are not read
  h->CmtState = 0;
}

// The next entry's header into either form of the header structure.
template <typename Header> static int readInto(HANDLE_RAR arc, Header *h) {
  Arc *a = static_cast<Arc *>(arc);
  if (!a || !h)
    return ERAR_UNKNOWN;
  const int r = readHeader(a);
  if (r == ERAR_SUCCESS)
    fillHeader(a, h);
  return r;
}

RAR_EXPORT int RARReadHeaderEx(HANDLE_RAR arc, struct RARHeaderDataEx *h) {
  const int r = readInto(arc, h);
  if (r != ERAR_SUCCESS)
    return r;
  const Arc *a = static_cast<Arc *>(arc);
  const rarscan::Entry &e = *a->current;
  toWide(a->path, h->ArcNameW, sizeof h->ArcNameW / sizeof(wchar_t));
  toWide(e.name, h->FileNameW, sizeof h->FileNameW / sizeof(wchar_t));
  h->PackSizeHigh = uint32_t(e.packSize >> 32);
  h->UnpSizeHigh = uint32_t(e.unpSize >> 32);
  const int64_t kEpochFrom1601 = 11644473600LL; // seconds from 1601-01-01 to 1970-01-01
  const uint64_t ticks = e.mtime < -kEpochFrom1601 ? 0
                         : uint64_t(e.mtime + kEpochFrom1601) * 10000000ULL + e.mtimeNs / 100;
  h->MtimeLow = uint32_t(ticks);
  h->MtimeHigh = uint32_t(ticks >> 32);
  return ERAR_SUCCESS;
}

RAR_EXPORT int RARReadHeader(HANDLE_RAR arc, struct RARHeaderData *h) { return readInto(arc, h); }

RAR_EXPORT int RARProcessFile(HANDLE_RAR arc, int operation, const char *destPath, const char *destName) {
  Arc *a = static_cast<Arc *>(arc);
  if (!a || !a->current)
    return ERAR_UNKNOWN;
  const rarscan::Entry &e = *a->current;
  if (e.packSize > a->scan.fileSize || e.dataOffset > a->scan.fileSize - e.packSize)
    return ERAR_BAD_DATA; // the data was cut off
  if (operation == RAR_SKIP)
    return ERAR_SUCCESS;
  if ((operation != RAR_TEST && operation != RAR_EXTRACT) || a->mode != RAR_OM_EXTRACT)
    return ERAR_UNKNOWN;
  if (e.flags & (RHDF_SPLITBEFORE | RHDF_SPLITAFTER))
    return ERAR_UNKNOWN_FORMAT;
  if (operation == RAR_EXTRACT && (!e.nameSafe || e.isLink))
    return ERAR_ECREATE; // outside the destination, or a link: never written
  if (e.encrypted)
    return encryptedResult(a);
  if (e.isDir)
    return operation == RAR_EXTRACT && !destName ? extractDir(a, destPath ? destPath : "") : ERAR_SUCCESS;
  if (e.isLink && e.packSize == 0)
    return ERAR_SUCCESS; // a RAR 5 link or file copy: no data of its own to test
  if (operation == RAR_TEST)
    return e.linkTargetIsData ? testLinkTarget(a) : streamData(a, -1);
  return extractFile(a, destPath ? destPath : "", destName ? destName : "");
}

RAR_EXPORT void RARSetCallback(HANDLE_RAR arc, UNRARCALLBACK callback, intptr_t userData) {
  if (Arc *a = static_cast<Arc *>(arc)) {
    a->callback = callback;
    a->userData = userData;
  }
}

RAR_EXPORT void RARSetChangeVolProc(HANDLE_RAR arc, CHANGEVOLPROC proc) {
  if (Arc *a = static_cast<Arc *>(arc))
    a->changeVolProc = proc;
}

RAR_EXPORT void RARSetProcessDataProc(HANDLE_RAR arc, PROCESSDATAPROC proc) {
  if (Arc *a = static_cast<Arc *>(arc))
    a->processDataProc = proc;
}

RAR_EXPORT void RARSetPassword(HANDLE_RAR arc, const char *password) {
  if (Arc *a = static_cast<Arc *>(arc))
    a->password = password ? password : "";
}

RAR_EXPORT int RARGetDllVersion(void) { return RAR_DLL_VERSION; }
