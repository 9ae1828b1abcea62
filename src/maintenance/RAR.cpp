#include "maintenance/RAR.h"

#include "common/ProgramDir.h"
#include "maintenance/unrar/qbrx_unrar.h"
#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <cstring>
#include <dlfcn.h>
#include <type_traits>

namespace {

QString hostName(unsigned hostOS) {
  switch (hostOS) {
  case RAR_HOST_DOS:
    return QStringLiteral("DOS");
  case RAR_HOST_OS2:
    return QStringLiteral("IBM OS/2");
  case RAR_HOST_WINDOWS:
    return QStringLiteral("Windows");
  case RAR_HOST_UNIX:
    return QStringLiteral("Unix");
  default:
    return QStringLiteral("unknown");
  }
}

QDateTime dosDateTime(unsigned dos) {
  const QDate date(int((dos >> 25) & 0x7f) + 1980, int((dos >> 21) & 0x0f), int((dos >> 16) & 0x1f));
  const QTime time(int((dos >> 11) & 0x1f), int((dos >> 5) & 0x3f), int(dos & 0x1f) * 2);
  return QDateTime(date, time);
}

// The entry's modification time: the exact one the library gives (since
// version 9), else the DOS time.
QDateTime entryTime(const RARHeaderDataEx &h) {
  const quint64 ticks = quint64(h.MtimeHigh) << 32 | h.MtimeLow; // 100 ns since 1601-01-01 UTC
  if (ticks == 0)
    return dosDateTime(h.FileTime);
  const qint64 kEpochFrom1601Ms = Q_INT64_C(11644473600000);
  return QDateTime::fromMSecsSinceEpoch(qint64(ticks / 10000) - kEpochFrom1601Ms);
}

QString wideName(const wchar_t *w) {
  return QString::fromWCharArray(w, int(wcsnlen(w, 1024)));
}

// The flag of a folder entry (all three dictionary bits set), or a folder's
// attribute word.
bool isFolder(const RARHeaderDataEx &h) { return (h.Flags & RHDF_DIRECTORY) == RHDF_DIRECTORY || h.FileAttr == 16; }

} // namespace

struct TRAR::Api {
  decltype(&RAROpenArchive) openArchive;
  decltype(&RAROpenArchiveEx) openArchiveEx;
  decltype(&RARCloseArchive) closeArchive;
  decltype(&RARReadHeader) readHeader;
  decltype(&RARReadHeaderEx) readHeaderEx;
  decltype(&RARProcessFile) processFile;
  decltype(&RARSetCallback) setCallback;
  decltype(&RARSetChangeVolProc) setChangeVolProc;
  decltype(&RARSetProcessDataProc) setProcessDataProc;
  decltype(&RARSetPassword) setPassword;
  decltype(&RARGetDllVersion) getDllVersion;
};

TRAR::TRAR(const QString &programDir)
    : fDLLName(ProgramDir(programDir).libraryPath(QStringLiteral("libunrar.so"))),
      ArchiveData(new RAROpenArchiveDataEx), hdrData(new RARHeaderDataEx) {}

TRAR::~TRAR() {
  closeArchive();
  UnloadDLL();
  delete ArchiveData;
  delete hdrData;
}

bool TRAR::LoadDLL() {
  if (RARDLLInstance)
    return true;
  // Only a full path: a bare name would let the loader search elsewhere.
  if (!QFileInfo(fDLLName).isAbsolute())
    return false;
  void *lib = dlopen(QFile::encodeName(fDLLName).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!lib)
    return false;
  auto *api = new Api;
  bool complete = true;
  auto resolve = [&](auto &fn, const char *name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
    complete = complete && fn;
  };
  resolve(api->openArchive, "RAROpenArchive");
  resolve(api->openArchiveEx, "RAROpenArchiveEx");
  resolve(api->closeArchive, "RARCloseArchive");
  resolve(api->readHeader, "RARReadHeader");
  resolve(api->readHeaderEx, "RARReadHeaderEx");
  resolve(api->processFile, "RARProcessFile");
  resolve(api->setCallback, "RARSetCallback");
  resolve(api->setChangeVolProc, "RARSetChangeVolProc");
  resolve(api->setProcessDataProc, "RARSetProcessDataProc");
  resolve(api->setPassword, "RARSetPassword");
  resolve(api->getDllVersion, "RARGetDllVersion");
  if (!complete) {
    delete api;
    dlclose(lib);
    return false;
  }
  RARDLLInstance = lib;
  fApi = api;
  if (fApi->getDllVersion() < 4)
    qWarning().noquote() << QStringLiteral("解压库 %1 的版本太旧，请换用本程序附带的新版本。").arg(fDLLName);
  return true;
}

void TRAR::UnloadDLL() {
  if (!RARDLLInstance)
    return;
  closeArchive();
  delete fApi;
  fApi = nullptr;
  dlclose(RARDLLInstance);
  RARDLLInstance = nullptr;
}

int TRAR::GetDllVersion() {
  if (!LoadDLL()) {
    reportError(99, TRAROperation::roInitArchive);
    return 0;
  }
  return fApi->getDllVersion();
}

void TRAR::reportError(int code, TRAROperation operation) {
  switch (code) {
  case 11: case 12: case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 99:
    fAbort = true;
    break;
  default:
    break;
  }
  if (OnError)
    OnError(this, code, operation);
}

void TRAR::requireArchiveFile() const {
  if (!QFileInfo(fArchiveInformation.FileName).isFile())
    throw AppError(QStringLiteral("找不到压缩文件：%1").arg(QDir::toNativeSeparators(fArchiveInformation.FileName)));
}

bool TRAR::openArchive(int mode) {
  if (!isDLLLoaded() && !LoadDLL()) {
    reportError(99, TRAROperation::roInitArchive);
    return false;
  }
  if (Comment.isEmpty())
    Comment = QByteArray(65536, '\0');
  const QByteArray name = QFile::encodeName(fArchiveInformation.FileName);
  std::memset(ArchiveData, 0, sizeof *ArchiveData);
  ArchiveData->ArcName = name.constData();
  ArchiveData->OpenMode = unsigned(mode);
  ArchiveData->CmtBuf = Comment.data();
  ArchiveData->CmtBufSize = unsigned(Comment.size());
  ArchiveData->CmtState = CommentResult;
  ArchiveData->Callback = &TRAR::callback;
  ArchiveData->UserData = reinterpret_cast<intptr_t>(MySelf);
  ArchiveHandle = fApi->openArchiveEx(ArchiveData);
  ArchiveData->ArcName = nullptr;
  if (!ArchiveHandle) {
    reportError(99, TRAROperation::roInitArchive);
    return false;
  }
  const unsigned flags = ArchiveData->Flags;
  TRARArchiveInformation &info = fArchiveInformation;
  info.Locked = flags & ROADF_LOCK;
  info.Signed = flags & ROADF_SIGNED;
  info.Recovery = flags & ROADF_RECOVERY;
  info.Solid = info.Solid || (flags & ROADF_SOLID);
  info.ArchiveComment = flags & ROADF_COMMENT;
  info.HeaderEncrypted = info.HeaderEncrypted || (flags & ROADF_ENCHEADERS);
  QFile file(info.FileName);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray magic = file.read(4);
    info.fSFX = magic.startsWith("MZ") || magic == QByteArray("\x7f" "ELF");
  }
  switch (ArchiveData->CmtState) {
  case 0:
    info.Comment.clear();
    info.ArchiveComment = false;
    return true;
  case 1:
    info.Comment = QString::fromUtf8(Comment.constData(), int(qstrnlen(Comment.constData(), uint(Comment.size()))));
    info.ArchiveComment = true;
    return true;
  default:
    reportError(int(ArchiveData->CmtState), TRAROperation::roInitArchive);
    return false;
  }
}

void TRAR::closeArchive() {
  if (!ArchiveHandle)
    return;
  const int code = fApi->closeArchive(ArchiveHandle);
  ArchiveHandle = nullptr;
  if (code != 0)
    reportError(17, TRAROperation::roInitArchive);
}

void TRAR::beginEntries() {
  fApi->setCallback(ArchiveHandle, &TRAR::callback, reinterpret_cast<intptr_t>(MySelf));
  if (!Password.isEmpty())
    fApi->setPassword(ArchiveHandle, Password.toUtf8().constData());
  std::memset(hdrData, 0, sizeof *hdrData);
  if (fEntryComment.isEmpty())
    fEntryComment = QByteArray(65536, '\0');
  hdrData->CmtBuf = fEntryComment.data();
  hdrData->CmtBufSize = unsigned(fEntryComment.size());
}

int TRAR::callback(unsigned msg, intptr_t userData, intptr_t p1, intptr_t p2) {
  return reinterpret_cast<TRAR *>(userData)->onCallback(msg, p1, p2);
}

int TRAR::onCallback(unsigned msg, intptr_t p1, intptr_t p2) {
  switch (msg) {
  case UCM_CHANGEVOLUME: {
    if (p2 == RAR_VOL_NOTIFY)
      return 0;
    if ((fArchiveInformation.fOpened || fReadMVToEnd) && OnNextVolumeRequired) {
      auto *name = reinterpret_cast<char *>(p1);
      QString newName;
      bool cancel = false;
      OnNextVolumeRequired(this, QString::fromUtf8(name), newName, cancel);
      const QByteArray bytes = QFile::encodeName(newName).left(1023);
      std::memcpy(name, bytes.constData(), size_t(bytes.size()) + 1);
      return fAbort || cancel ? -1 : 0;
    }
    return -1;
  }
  case UCM_PROCESSDATA: {
    fProgressInfo.FileBytesDone += quint32(p2);
    fProgressInfo.TotalSize += quint32(p2);
    if (OnProgress)
      OnProgress(this, fProgressInfo.FileName, quint32(fArchiveInformation.UnCompressedSize),
                 fProgressInfo.TotalSize, fProgressInfo.FileBytesTotal, fProgressInfo.FileBytesDone);
    return fAbort ? -1 : 0;
  }
  case UCM_NEEDPASSWORD: {
    const bool headerPassword = !fArchiveInformation.fOpened;
    QString fileName = fProgressInfo.FileName;
    if (headerPassword) {
      fArchiveInformation.HeaderEncrypted = true;
      fileName = fArchiveInformation.FileName;
    }
    QString newPassword;
    bool cancel = false;
    if (OnPasswordRequired)
      OnPasswordRequired(this, headerPassword, fileName, newPassword, cancel);
    auto *buffer = reinterpret_cast<char *>(p1);
    if (p2 > 0) {
      // At most P2 bytes with the closing zero.
      const QByteArray bytes = newPassword.toUtf8().left(int(p2) - 1);
      std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
      buffer[bytes.size()] = 0;
    }
    return fAbort || cancel ? -1 : 0;
  }
  default:
    return 0;
  }
}

void TRAR::recordHeader() {
  const RARHeaderDataEx &h = *hdrData;
  quint64 packSize = h.PackSize;
  if (fReadMVToEnd) {
    const bool before = h.Flags & RHDF_SPLITBEFORE, after = h.Flags & RHDF_SPLITAFTER;
    if (after && !before) {
      fPackedSizeMVVolume = packSize;
      return;
    }
    if (after && before) {
      fPackedSizeMVVolume += packSize;
      return;
    }
    if (before)
      packSize += fPackedSizeMVVolume;
  }
  TRARArchiveInformation &info = fArchiveInformation;
  if (info.ArchiverMajorVersion * 10 + info.ArchiverMinorVersion < h.UnpVer) {
    info.ArchiverMinorVersion = h.UnpVer % 10;
    info.ArchiverMajorVersion = h.UnpVer / 10;
  }
  const bool folder = isFolder(h);
  if (!folder) {
    const unsigned code = (h.Flags >> 5) & 7;
    if (code < 7)
      info.DictionarySize = quint64(65536) << code;
    ++info.TotalFiles;
  }
  if (h.Flags & RHDF_ENCRYPTED)
    info.Encryption = true;
  if (h.Flags & RHDF_SOLID)
    info.Solid = true;
  info.HostOS = hostName(h.HostOS);
  info.CompressedSize += quint32(packSize);
  info.UnCompressedSize += h.UnpSize;
  if (h.Flags & (RHDF_SPLITBEFORE | RHDF_SPLITAFTER))
    info.MultiVolume = true;
  if (h.CmtSize > 0)
    info.FileComment = true;

  if (!OnListFile)
    return;
  TRARFileItem item;
  item.FileName = QString::fromUtf8(h.FileName);
  item.FileNameW = wideName(h.FileNameW);
  item.CompressedSize = quint32(packSize);
  item.UnCompressedSize = h.UnpSize;
  item.UnCompressedSize64 = quint64(h.UnpSizeHigh) << 32 | h.UnpSize;
  item.HostOS = hostName(h.HostOS);
  item.CRC32 = QString::number(h.FileCRC, 16).toUpper();
  item.Attributes = h.FileAttr;
  if (h.CmtState == 1 && h.CmtSize > 0)
    item.Comment = QString::fromUtf8(h.CmtBuf, int(qstrnlen(h.CmtBuf, h.CmtSize)));
  item.Time = entryTime(h);
  item.CompressionStrength = int(h.Method);
  item.ArchiverVersion = int(h.UnpVer);
  item.Encrypted = h.Flags & RHDF_ENCRYPTED;
  OnListFile(this, item);
}

bool TRAR::List() {
  requireArchiveFile();
  fAbort = false;
  if (!openArchive(fReadMVToEnd ? RAR_OM_LIST_INCSPLIT : RAR_OM_LIST) || fAbort) {
    closeArchive();
    return false;
  }
  beginEntries();
  bool result = true;
  int code = 0;
  fPackedSizeMVVolume = 0;
  do {
    code = fApi->readHeaderEx(ArchiveHandle, hdrData);
    if (code == ERAR_END_ARCHIVE)
      break;
    if (code != 0)
      result = false;
    reportError(code, TRAROperation::roListFiles);
    if (code != 0)
      break;
    recordHeader();
    code = fApi->processFile(ArchiveHandle, RAR_SKIP, nullptr, nullptr);
    if (code != 0)
      result = false;
    reportError(code, TRAROperation::roListFiles);
  } while (code == 0 && result && !fAbort);
  closeArchive();
  return result && !fAbort;
}

bool TRAR::OpenFile(const QString &fileName) {
  fArchiveInformation.clear();
  if (!LoadDLL()) {
    reportError(99, TRAROperation::roInitArchive);
    return false;
  }
  fArchiveInformation.FileName = fileName;
  const bool result = List();
  fArchiveInformation.fOpened = true;
  return result;
}

bool TRAR::processPass(TRAROperation operation, const QString &path, bool restoreFolder, const QStringList *files) {
  requireArchiveFile();
  fAbort = false;
  if (!openArchive(RAR_OM_EXTRACT) || fAbort) {
    closeArchive();
    return false;
  }
  QString folder = path;
  if (operation == TRAROperation::roExtract && !folder.endsWith(QLatin1Char('/')))
    folder += QLatin1Char('/');
  const QByteArray folderBytes = QFile::encodeName(folder);
  beginEntries();
  fProgressInfo.TotalSize = 0;
  bool result = true;
  int code = 0;
  do {
    code = fApi->readHeaderEx(ArchiveHandle, hdrData);
    if (code == ERAR_END_ARCHIVE)
      break;
    if (code != 0) {
      result = false;
      reportError(code, TRAROperation::roListFiles);
      break;
    }
    const RARHeaderDataEx &h = *hdrData;
    fProgressInfo.FileBytesDone = 0;
    fProgressInfo.FileBytesTotal = h.UnpSize;
    fProgressInfo.FileName = wideName(h.FileNameW);
    if (operation == TRAROperation::roTest) {
      code = fApi->processFile(ArchiveHandle, RAR_TEST, nullptr, nullptr);
    } else {
      const QString stored = QString::fromUtf8(h.FileName);
      const bool selected = !files || files->contains(stored, Qt::CaseSensitive);
      if (!selected) {
        code = fApi->processFile(ArchiveHandle, RAR_SKIP, nullptr, nullptr);
      } else {
        const QString shown = restoreFolder ? stored : stored.section(QLatin1Char('/'), -1);
        const QString destination = folder + shown;
        TRARReplace action = TRARReplace::rrOverwrite;
        const QFileInfo existing(destination);
        if (OnReplace && existing.exists()) {
          TRARReplaceData existingData{destination, existing.size(), existing.lastModified()};
          TRARReplaceData newData{shown, qint64(quint64(h.UnpSizeHigh) << 32 | h.UnpSize),
                                  entryTime(h)};
          OnReplace(this, existingData, newData, action);
        }
        switch (action) {
        case TRARReplace::rrCancel:
          fAbort = true;
          code = 0;
          break;
        case TRARReplace::rrOverwrite:
          if (restoreFolder)
            code = fApi->processFile(ArchiveHandle, RAR_EXTRACT, folderBytes.constData(), nullptr);
          else if (isFolder(h))
            code = fApi->processFile(ArchiveHandle, RAR_SKIP, nullptr, nullptr);
          else
            code = fApi->processFile(ArchiveHandle, RAR_EXTRACT, nullptr,
                                     QFile::encodeName(destination).constData());
          break;
        case TRARReplace::rrSkip:
          code = fApi->processFile(ArchiveHandle, RAR_SKIP, nullptr, nullptr);
          fProgressInfo.FileBytesDone += h.UnpSize;
          break;
        }
      }
    }
    if (code != 0) {
      result = false;
      reportError(code, operation);
    }
    if (fAbort)
      result = false;
  } while (code == 0 && result);
  closeArchive();
  return result && !fAbort;
}

bool TRAR::Extract(const QString &path, bool restoreFolder, const QStringList *files) {
  return processPass(TRAROperation::roExtract, path, restoreFolder, files);
}

bool TRAR::Test() { return processPass(TRAROperation::roTest, QString(), false, nullptr); }
