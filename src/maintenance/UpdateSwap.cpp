#include "maintenance/UpdateSwap.h"
#include "common/AppError.h"
#include "common/ProgramDir.h"
#include "app/AppContext.h"
#include "app/BankService.h"
#include "store/BankCopy.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/ReviewSchedule.h"
#include "store/Transaction.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char *const kDisplayKeys[] = {"字体", "字号", "颜色", "背景色", "行间距"};

void each(TADOConnection &c, const QString &sql, const std::function<void(const TForwardRow &)> &f) {
  TADOQuery q(c, QStringLiteral("update-read"));
  q.SQL.Add(sql);
  q.OpenForward(f);
}

void exec(TADOConnection &c, const QString &sql, const QVariantList &values = {}) {
  TADOQuery q(c, QStringLiteral("update-write"));
  q.SQL.Add(sql);
  if (values.isEmpty())
    q.ExecSQL();
  else
    q.execSQLWith(values);
}

// Moves every file below `from` to the same relative place below `to`,
// matching existing names without regard to letter case. Names beginning
// with "." (".thumbs/a.gif") are files like any other: the unpacking
// checked them all, and a file left behind would be lost with the staging
// folder while the update says it is complete.
void moveFiles(const QString &from, const QString &to) {
  if (!QFileInfo(from).isDir())
    return;
  const QString base = QDir(from).absolutePath() + QLatin1Char('/');
  const QDir::Filters all = QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
  QDirIterator it(from, all, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString source = it.next();
    const QString relative = source.mid(base.size());
    const QString target = resolvePathNoCase(to, relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
      throw FileError(QStringLiteral("无法把 %1 放到 %2：%3")
                          .arg(relative, target, QString::fromLocal8Bit(std::strerror(errno))));
  }
  QDirIterator left(from, all, QDirIterator::Subdirectories);
  if (left.hasNext())
    throw FileError(QStringLiteral("无法把 %1 放到 %2。").arg(left.next().mid(base.size()), to));
}

} // namespace

QString UpdateBackupPath(const ProgramDir &dir, const QDateTime &when) {
  return dir.root() + QStringLiteral("backup/QBRX-升级前-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
         QStringLiteral(".db");
}

void CarryLearnerHistory(TADOConnection &oldBank, TADOConnection &newBank) {
  Transaction t(newBank);
  exec(newBank, QStringLiteral("DELETE FROM 测试题目"));
  exec(newBank, QStringLiteral("DELETE FROM 测试结果"));
  each(oldBank,
       QStringLiteral("SELECT 编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节 FROM 测试结果"),
       [&](const TForwardRow &r) {
         QVariantList v;
         for (int i = 0; i < 10; ++i)
           v << r.Fields(i).Value();
         exec(newBank,
              QStringLiteral("INSERT INTO 测试结果(编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节)"
                             " VALUES(?,?,?,?,?,?,?,?,?,?)"),
              v);
       });
  each(oldBank, QStringLiteral("SELECT 测试编号,小题号,回答正确 FROM 测试题目"), [&](const TForwardRow &r) {
    exec(newBank, QStringLiteral("INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(?,?,?)"),
         {r.Fields(0).Value(), r.Fields(1).Value(), r.Fields(2).Value()});
  });
  ReviewSchedule::carry(oldBank, newBank);
  exec(newBank, QStringLiteral("UPDATE 小题 SET 是否收藏=0 WHERE 是否收藏<>0"));
  each(oldBank, QStringLiteral("SELECT 小题号,是否收藏 FROM 小题 WHERE 是否收藏<>0"), [&](const TForwardRow &r) {
    exec(newBank, QStringLiteral("UPDATE 小题 SET 是否收藏=? WHERE 小题号=?"), {r.Fields(1).Value(), r.Fields(0).Value()});
  });
  each(oldBank, QStringLiteral("SELECT 题目类型,分数 FROM 类型说明 WHERE 题目类型 IS NOT NULL"),
       [&](const TForwardRow &r) {
         exec(newBank, QStringLiteral("UPDATE 类型说明 SET 分数=? WHERE 题目类型=?"),
              {r.Fields(1).Value(), r.Fields(0).Value()});
       });
  for (const char *key : kDisplayKeys) {
    TADOQuery q(oldBank, QStringLiteral("update-read"));
    q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(QString::fromUtf8(key)));
    q.Open();
    if (q.IsEmpty())
      continue;
    const QVariant value = q.Fields(0).Value();
    exec(newBank, QStringLiteral("DELETE FROM 系统参数 WHERE 参数名=?"), {QString::fromUtf8(key)});
    exec(newBank, QStringLiteral("INSERT INTO 系统参数(参数名,参数值) VALUES(?,?)"), {QString::fromUtf8(key), value});
  }
  t.commit();
}

static void reach(const UpdateSwapProgress &step, UpdateSwapStep s) {
  if (step)
    step(s);
}

QString PrepareStagedUpdate(TADOConnection &bank, const ProgramDir &dir, const QString &staging,
                            const UpdateSwapProgress &step) {

  // The new bank opens defensively and its schema is checked again before
  // anything is written: the history goes only into a bank that passed.
  TADOConnection staged;
  try {
    staged.Open(staging + QStringLiteral("QBRX.db"), QByteArray(kDatabasePassword), &kMaskingBlock);
  } catch (const EDatabaseError &e) {
    throw AppError(QStringLiteral("新题库不是本程序的有效题库（%1）").arg(e.message()));
  }

  // The old bank as it is now, where the restore dialog lists it.
  QDir().mkpath(dir.root() + QStringLiteral("backup"));
  const QString dated = UpdateBackupPath(dir, QDateTime::currentDateTime());
  QString backup = dated;
  for (int n = 2; QFileInfo::exists(backup); ++n)
    backup = dated.chopped(3) + QStringLiteral("-%1.db").arg(n);
  CopyBank(bank, backup, BankCopyFormat::Bank);
  reach(step, UpdateSwapStep::BackedUp);

  CarryLearnerHistory(bank, staged);
  staged.Close();
  reach(step, UpdateSwapStep::HistoryCarried);
  return backup;
}

void CommitStagedUpdate(AppContext &context, const QString &staging, const UpdateSwapProgress &step) {
  const ProgramDir &dir = context.programDir;
  const QString stagedBank = staging + QStringLiteral("QBRX.db");
  const auto reached = [&](UpdateSwapStep s) { reach(step, s); };

  moveFiles(staging + QStringLiteral("im"), dir.resolve(QStringLiteral("CSS/im")));
  QDir().mkpath(dir.resolve(QStringLiteral("CSS/KSDG")));
  moveFiles(staging + QStringLiteral("KSDG"), dir.resolve(QStringLiteral("CSS/KSDG")));
  reached(UpdateSwapStep::FilesMoved);

  ReplaceBank(context, [&](const QString &bank) {
    reached(UpdateSwapStep::BeforeRename);
    ReplaceWithPartial(stagedBank, bank);
    reached(UpdateSwapStep::Renamed);
  });
}

QString ApplyStagedUpdate(AppContext &context, const QString &staging, const UpdateSwapProgress &step) {
  const QString backup = PrepareStagedUpdate(context.dm.ADOConnection1, context.programDir, staging, step);
  CommitStagedUpdate(context, staging, step);
  return backup;
}
