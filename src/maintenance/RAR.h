#pragma once
// TRAR lists, tests and extracts RAR archives through libunrar, which it
// loads by its full path (the program's library folder + "libunrar.so", or the path
// set as DllName) on first need. A library given by a bare name is never
// loaded.
//
// Every pass (List, Extract, Test) opens the archive, walks its entries and
// closes it again. Errors are reported through OnError; codes 11, 12 and 14
// to 21 (and 99, the library or the archive cannot be opened) abort the pass.
// The online update relies on exactly: OpenFile, then Extract(folder, true).

#include "maintenance/RARTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

struct RAROpenArchiveDataEx;
struct RARHeaderDataEx;

class TRAR {
public:
  // Library file: "libunrar.so" in the library folder (ProgramDir::libraryPath:
  // the program directory, or the installed library folder).
  explicit TRAR(const QString &programDir);
  ~TRAR();
  TRAR(const TRAR &) = delete;
  TRAR &operator=(const TRAR &) = delete;

  static QString Version() { return QStringLiteral("1.2"); }

  QString DllName() const { return fDLLName; }
  void setDllName(const QString &absolutePath) { fDLLName = absolutePath; }
  bool ReadMultiVolumeToEnd() const { return fReadMVToEnd; }
  void setReadMultiVolumeToEnd(bool on) { fReadMVToEnd = on; }
  const TRARArchiveInformation &ArchiveInformation() const { return fArchiveInformation; }

  QString Password; // handed to the library before reading entries when not empty

  // Lists the archive and remembers it for the other passes. Throws AppError
  // when the file does not exist.
  bool OpenFile(const QString &fileName);
  bool List();
  // Extracts the entries named in `files` (all when null) into `path`,
  // recreating the stored folders when `restoreFolder` is set.
  bool Extract(const QString &path, bool restoreFolder, const QStringList *files = nullptr);
  bool Test();
  void Abort() { fAbort = true; }

  bool LoadDLL();
  void UnloadDLL();
  bool isDLLLoaded() const { return RARDLLInstance != nullptr; }
  int GetDllVersion();

  std::function<void(TRAR *sender, int errorCode, TRAROperation operation)> OnError;
  std::function<void(TRAR *sender, const TRARFileItem &fileInformation)> OnListFile;
  std::function<void(TRAR *sender, bool headerPassword, const QString &fileName, QString &newPassword, bool &cancel)>
      OnPasswordRequired;
  std::function<void(TRAR *sender, const QString &requiredFileName, QString &newFileName, bool &cancel)>
      OnNextVolumeRequired;
  std::function<void(TRAR *sender, const QString &fileName, quint32 archiveBytesTotal, quint32 archiveBytesDone,
                     quint32 fileBytesTotal, quint32 fileBytesDone)>
      OnProgress;
  std::function<void(TRAR *sender, const TRARReplaceData &existingData, const TRARReplaceData &newData,
                     TRARReplace &action)>
      OnReplace;

private:
  struct Api;

  bool openArchive(int mode);
  void closeArchive();
  void beginEntries();
  void reportError(int code, TRAROperation operation);
  void recordHeader();
  bool processPass(TRAROperation operation, const QString &path, bool restoreFolder, const QStringList *files);
  void requireArchiveFile() const;
  static int callback(unsigned msg, intptr_t userData, intptr_t p1, intptr_t p2);
  int onCallback(unsigned msg, intptr_t p1, intptr_t p2);

  void *RARDLLInstance = nullptr;
  Api *fApi = nullptr;
  QString fDLLName;
  bool fAbort = false;
  TRARProgressInfo fProgressInfo;
  bool fReadMVToEnd = false;
  quint64 fPackedSizeMVVolume = 0;
  QByteArray Comment; // 64 KB, allocated at the first open
  unsigned CommentResult = 0;
  TRARArchiveInformation fArchiveInformation;
  RAROpenArchiveDataEx *ArchiveData = nullptr;
  void *ArchiveHandle = nullptr;
  RARHeaderDataEx *hdrData = nullptr;
  QByteArray fEntryComment;
  TRAR *MySelf = this;
};
