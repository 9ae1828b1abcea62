#pragma once
// The last part of an online update, once every archive has arrived and
// passed its checks in the staging folder: the old bank is kept as a dated
// backup, the learner's history is carried into the new bank, the pictures
// and the outline move into place and, last, the new bank takes the old
// one's place by one rename (the commit point: a stop before it leaves the
// old bank in use, the start discards the staging folder).

#include <QDateTime>
#include <QString>
#include <functional>

struct AppContext;
class TADOConnection;
class ProgramDir;

// "backup/QBRX-升级前-yyyyMMdd-HHmmss.db" below the program directory.
QString UpdateBackupPath(const ProgramDir &dir, const QDateTime &when);

// Into the new bank, in one transaction: the old bank's test records
// (测试结果 with their 编号, 测试题目), its review schedule (复习计划, of the
// questions the new bank has: a question the update removed leaves it), its favourite marks (by 小题号, where
// the question exists in the new bank; the new bank's own marks are
// cleared), the score of each question type (by type name) and the five
// stored display settings (字体, 字号, 颜色, 背景色, 行间距). Everything else
// stays as the new bank has it. Throws EDatabaseError; nothing is written
// then.
void CarryLearnerHistory(TADOConnection &oldBank, TADOConnection &newBank);

// Where an update's swap has got to (for the crash test).
enum class UpdateSwapStep {
  BackedUp,       // the dated backup of the old bank is written
  HistoryCarried, // the staged bank holds the learner's history
  FilesMoved,     // pictures and outline are in place
  BeforeRename,   // the old bank is closed and kept beside itself
  Renamed,        // the new bank has the bank's name
};

using UpdateSwapProgress = std::function<void(UpdateSwapStep)>;

// The staging folder holds QBRX.db (checked), im/ and KSDG/ (checked
// files, possibly none). The swap is in two parts:
// - PrepareStagedUpdate only reads the open bank `bank` and writes beside
//   it: the dated backup, and the history carried into the staged bank. It
//   runs on whichever thread holds the connection (the update hands it to a
//   worker: a large bank's copy never stalls the window). Returns the
//   backup's path.
// - CommitStagedUpdate, on the window's thread: pictures and outline moved
//   into place, then the bank replaced under the open window and announced
//   (AppEvents::bankReplaced).
// Both throw AppError with a Chinese reason; the old bank is open and in use
// then (pictures and outline already moved stay: they only add to or
// refresh the old ones).
QString PrepareStagedUpdate(TADOConnection &bank, const ProgramDir &dir, const QString &staging,
                            const UpdateSwapProgress &step = {});
void CommitStagedUpdate(AppContext &context, const QString &staging, const UpdateSwapProgress &step = {});
// Both parts in turn, on the calling thread. Returns the backup's path.
QString ApplyStagedUpdate(AppContext &context, const QString &staging, const UpdateSwapProgress &step = {});
