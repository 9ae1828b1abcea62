#include "common/Dialogs.h"
#include "store/DM.h"

// The favourite toggle of the question page. The page passes the
// sub-question number as text; it is read as a decimal integer before it goes
// into a statement, and any other text finds nothing.
QString TDataModule1::SCBT(const QString &ASQL) {
  bool isNumber = false;
  const qlonglong number = ASQL.trimmed().toLongLong(&isNumber, 10);
  if (!isNumber)
    return QString();
  const QString id = QString::number(number);
  try {
    ADOQuery2.Close();
    ADOQuery2.SQL.Clear();
    ADOQuery2.SQL.Add(QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号="));
    ADOQuery2.SQL.Add(id);
    ADOQuery2.Open();
    if (ADOQuery2.RecordCount() == 0)
      return QString();
    const QString statement =
        ADOQuery2.FieldByName(QStringLiteral("是否收藏")).AsInteger() == 1
            ? QStringLiteral("UPDATE 小题 SET 是否收藏=0 WHERE 小题号=") + id
            : QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号=") + id;
    ADOQuery3.Close();
    ADOQuery3.SQL.Clear();
    ADOQuery3.SQL.Add(statement);
    ADOQuery3.ExecSQL();
    ADOQuery3.Close();
    ADOQuery2.Close();
    return QStringLiteral("ok");
  } catch (const std::exception &) {
    dialogs().information(QStringLiteral("收藏/取消收藏操作失败，请重新操作!"), QStringLiteral("操作失败"));
    return QStringLiteral("Error");
  }
}
