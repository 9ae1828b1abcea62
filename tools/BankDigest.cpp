#include "BankDigest.h"
#include "store/BankBuilder.h"
#include "store/FileError.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <sqlite3.h>

QByteArray LearnerDataDigest(const QString &bankPath) {
  // The bank is read through an ordinary copy made by SQLite itself.
  QTemporaryDir scratch;
  if (!scratch.isValid())
    throw FileError(QStringLiteral("无法建立临时目录：") + scratch.errorString());
  const QString plain = scratch.filePath(QStringLiteral("bank.sqlite"));
  ExportBank(bankPath, plain);

  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(plain.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    const QString why = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    throw AppError(QStringLiteral("无法读取题库副本：") + why);
  }
  // The copy's schema was checked when the bank was opened for the copy;
  // nothing of it runs here either.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  const char *statements[] = {
      "SELECT * FROM 测试结果 ORDER BY 编号",
      "SELECT * FROM 测试题目 ORDER BY 测试编号, 小题号",
      "SELECT 小题号, 是否收藏 FROM 小题 WHERE 是否收藏 <> 0 ORDER BY 小题号",
      "SELECT 参数名, 参数值 FROM 系统参数 WHERE 参数名 <> 'TreeViewIndex' ORDER BY 参数名",
  };
  for (const char *sql : statements) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
      const QString why = QString::fromUtf8(sqlite3_errmsg(db));
      sqlite3_close(db);
      throw AppError(QStringLiteral("无法读取题库：") + why);
    }
    hash.addData(QByteArray(sql));
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const int type = sqlite3_column_type(st, i);
        hash.addData(QByteArray::number(type));
        const int n = sqlite3_column_bytes(st, i);
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(st, i));
        hash.addData(QByteArray::number(n) + ':');
        if (bytes)
          hash.addData(QByteArrayView(bytes, n));
      }
      hash.addData(QByteArrayView("\n"));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return hash.result().toHex();
}
