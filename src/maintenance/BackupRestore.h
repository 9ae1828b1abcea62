#pragma once
// Backup and restore of the bank, apart from their dialogs. A backup is a
// consistent copy of the open bank (the engine's backup of its pages, a
// temporary file beside the target renamed over it). A restore is checked
// before anything changes and waits beside the bank until the next start
// takes it (store/PendingRestore): the open bank is never copied over.

#include "common/ProgramDir.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <vector>

class TDataModule1;

namespace BackupText {
inline const QString BadName = QStringLiteral("目标文件名称不是有效的数据文件名称，请重新选择！");
inline const QString BadNameCaption = QStringLiteral("错误");
inline const QString BackedUp = QStringLiteral("数据备份成功!");
inline const QString BackupFailed = QStringLiteral("数据备份失败！");
inline const QString Restored = QStringLiteral("数据恢复成功! 恢复后的数据库将在下次启动程序生效！");
inline const QString TooLarge = QStringLiteral("所选文件太大，不是本软件的数据文件，请重新选择！");
inline const QString RestoreFailed = QStringLiteral("数据还原失败！");
inline const QString NotABank = QStringLiteral("所选文件不是本软件的数据文件，请重新选择！");
inline const QString TheBankItself = QStringLiteral("所选文件就是正在使用的数据文件，请选择一个备份文件！");
inline const QString DoneCaption = QStringLiteral("操作成功");
inline const QString ErrorCaption = QStringLiteral("错误");
inline const QString Filter = QStringLiteral("数据文件 (*.db)");
} // namespace BackupText

// The name's extension is the part of the file name from its last "." on;
// a data file's is exactly ".db" (letters compared with case).
bool HasBankExtension(const QString &path);

// "QBRX-备份-yyyyMMdd.db" in the learner's documents folder.
QString ProposedBackupPath(const QDate &day);

// Writes a backup of the open bank to `target`; an older file of that name
// stays as it was when anything fails. Throws AppError with the reason.
void BackupBank(TDataModule1 &dm, const QString &target);

// Why `source` cannot be restored into the program directory `dir`, or
// empty when it can: it must be a regular file, not the bank itself nor a
// file the start handles (temp.db, the pending restore), a bank of ours
// (masked or not) of a bank's size (kMaxBankFileBytes) that opens under the
// defensive open and its schema check, passes the engine's quick check and
// holds the bank's tables. The file is only read (opened read-only and
// immutable). A refusal past the header names what failed on a second line.
QString RestoreRefusal(const QString &source, const ProgramDir &dir);

// Checks `source` and copies it, masked and readable by the owner only, as
// the pending restore the next start takes; a second restore replaces the
// pending one. The learner's file is never written: it is copied with its
// journal or WAL into RestoreWorkPath, where the engine takes them in, and
// checked and copied from there. The bank itself is not touched. Runs on any
// thread (the dialog runs it on a worker). Throws AppError with the reason.
void StageRestore(const QString &source, const ProgramDir &dir);

// The backups the program keeps in its folder "backup" (QBRX-*.db, e.g.
// the copies taken before an online update), newest first.
struct BackupEntry {
  QString path;
  QDateTime modified;
};
std::vector<BackupEntry> ListBackups(const ProgramDir &dir);
