#include "store/BankBuilder.h"
#include "store/BankCopy.h"
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

void ExportBank(const QString &in, const QString &out) { CopyBank(in, out, BankCopyFormat::Plain); }
