#include "store/BankBuilder.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "SchemaSql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sqlite3.h>

QString BankSchemaSql() { return QString::fromUtf8(kBankSchemaSql); }

static QString readText(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw FileError(QStringLiteral("无法读取 %1：%2").arg(path, f.errorString()));
  return QString::fromUtf8(f.readAll());
}

void BuildBank(const QString &out, const QStringList &sqlFiles, bool withSchema) {
  QStringList texts;
  for (const QString &file : sqlFiles)
    texts << readText(file);
  BuildBankFromTexts(out, texts, withSchema);
}

void BuildBankFromTexts(const QString &out, const QStringList &sqlTexts, bool withSchema,
                        const std::function<void(TADOConnection &)> &fill) {
  const QString partial = out + QStringLiteral(".partial");
  QFile::remove(partial);
  QFile::remove(partial + QStringLiteral("-journal"));
  {
    QFile f(partial);
    if (!f.open(QIODevice::WriteOnly))
      throw FileError(QStringLiteral("无法创建 %1：%2").arg(partial, f.errorString()));
    const QByteArray page = BankFile::headerPage(kGenuineBlock);
    if (f.write(page) != page.size())
      throw FileError(QStringLiteral("无法写入 %1：%2").arg(partial, f.errorString()));
  }
  try {
    TADOConnection c;
    c.Open(partial, QByteArray(kDatabasePassword));
    c.BeginTrans();
    if (withSchema)
      c.ExecuteScript(BankSchemaSql());
    for (const QString &text : sqlTexts)
      c.ExecuteScript(text);
    if (fill)
      fill(c);
    c.CommitTrans();
    c.Close();
    MaskDatabaseFile(partial);
  } catch (...) {
    QFile::remove(partial);
    throw;
  }
  QFile::remove(out);
  if (!QFile::rename(partial, out))
    throw FileError(QStringLiteral("无法创建 %1").arg(out));
}

void ExportBank(const QString &in, const QString &out) {
  QFile src(in);
  if (!src.open(QIODevice::ReadOnly))
    throw FileError(QStringLiteral("无法读取 %1：%2").arg(in, src.errorString()));
  if (src.read(16) != BankFile::magic())
    throw FileError(QStringLiteral("%1 不是题库文件").arg(in));
  src.close();
  // Open an unmasked scratch copy through the shim and back it up.
  QTemporaryDir scratch;
  if (!scratch.isValid())
    throw FileError(QStringLiteral("无法创建临时目录"));
  const QString copy = scratch.filePath(QStringLiteral("export.db"));
  if (!QFile::copy(in, copy))
    throw FileError(QStringLiteral("无法复制 %1").arg(in));
  QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  UnmaskDatabaseFile(copy);
  TADOConnection from;
  from.Open(copy, QByteArray(kDatabasePassword));
  QFile::remove(out);
  TADOConnection to;
  to.OpenPlain(out, true);
  sqlite3_backup *b = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
  if (!b)
    throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(to.handle())), sqlite3_errcode(to.handle()));
  const int rc = sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
  if (rc != SQLITE_DONE)
    throw EDatabaseError(QString::fromUtf8(sqlite3_errstr(rc)), rc);
}
