#pragma once
// Backup and restore of the bank, apart from their dialogs. A backup is a
// consistent copy of the open bank (the engine's backup of its pages, a
// temporary file beside the target renamed over it). A restore is checked
// before anything changes and staged beside the bank (store/PendingRestore),
// then put in the bank's place at once through the bank replacement of the
// running program: the open bank is never copied over.

#include "common/ProgramDir.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <vector>

class TDataModule1;
struct AppContext;

namespace BackupText {
inline const QString BadName = QStringLiteral("目标文件名称不是有效的数据文件名称，请重新选择！");
inline const QString BadNameCaption = QStringLiteral("错误");
inline const QString BackedUp = QStringLiteral("数据备份成功!");
inline const QString BackupFailed = QStringLiteral("数据备份失败！");
inline const QString Restored = QStringLiteral("数据恢复成功! 还原的数据已经生效。");
inline const QString KeptAt = QStringLiteral("还原前的数据文件保存在：");
inline const QString ConfirmRestore =
    QStringLiteral("还原将用所选文件替换当前的数据文件（答题记录、收藏和设置），此操作不能撤销。\n"
                   "替换前的数据文件会保存在程序的 backup 文件夹中。\n确定要还原吗？");
inline const QString ConfirmCaption = QStringLiteral("数据还原");
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

// Puts the restore staged by StageRestore in the bank's place under the
// running program: the connection closes, the staged file is checked again,
// the bank it replaces is kept in the backup folder (RestoreBackupPath), the
// staged file is renamed over the bank, the bank opens again and the
// program is told (AppEvents::bankReplaced). Returns the kept copy's path.
// Throws AppError with the reason; the old bank is then open again and
// nothing is left pending for the next start. UI thread only.
QString RestoreNow(AppContext &context);

// The backups the program keeps in its folder "backup" (QBRX-*.db, e.g.
// the copies taken before an online update), newest first.
struct BackupEntry {
  QString path;
  QDateTime modified;
};
std::vector<BackupEntry> ListBackups(const ProgramDir &dir);
