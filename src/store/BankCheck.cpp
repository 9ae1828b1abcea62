#include "store/BankCheck.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QFileInfo>
#include <QStringList>

QString BankSizeRefusal(qint64 bytes) {
  if (bytes <= kMaxBankFileBytes)
    return QString();
  return QStringLiteral("文件有 %1 MB，超过了题库文件的上限 %2 MB")
      .arg((bytes + (1 << 20) - 1) >> 20)
      .arg(kMaxBankFileBytes >> 20);
}

QString OpenBankRefusal(TADOConnection &connection) {
  TADOQuery q(connection, QStringLiteral("check"));
  q.SQL.Add(QStringLiteral("PRAGMA quick_check(5)"));
  q.Open();
  if (q.IsEmpty() || q.Fields(0).AsString() != QLatin1String("ok")) {
    QStringList problems;
    for (q.First(); !q.Eof(); q.Next())
      problems << q.Fields(0).AsString();
    return QStringLiteral("题库文件已损坏（完整性检查：%1）").arg(problems.join(QStringLiteral("；")));
  }
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
  q.Open();
  QStringList missing{QStringLiteral("题目类别"), QStringLiteral("小题"),     QStringLiteral("大题"),
                      QStringLiteral("答案选项"), QStringLiteral("类型说明"), QStringLiteral("系统参数"),
                      QStringLiteral("测试结果"), QStringLiteral("测试题目")};
  for (q.First(); !q.Eof(); q.Next())
    missing.removeAll(q.Fields(0).AsString());
  if (!missing.isEmpty())
    return QStringLiteral("题库中缺少表：%1").arg(missing.join(QStringLiteral("、")));
  return QString();
}

QString BankFileRefusal(const QString &path) {
  const QFileInfo info(path);
  if (!info.isFile())
    return QStringLiteral("%1 不是普通文件").arg(path);
  const QString tooLarge = BankSizeRefusal(info.size());
  if (!tooLarge.isEmpty())
    return tooLarge;
  int version = 0;
  switch (InspectBankFile(path, &version)) {
  case BankHeader::Ours:
    break;
  case BankHeader::NewerFormat:
    return BankFile::newerFormatMessage(version);
  default:
    return QStringLiteral("不是本程序的题库文件");
  }
  try {
    TADOConnection c;
    c.Open(path, QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
    return OpenBankRefusal(c);
  } catch (const AppError &e) {
    return e.message();
  }
}
