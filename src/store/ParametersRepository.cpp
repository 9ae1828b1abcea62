#include "store/ParametersRepository.h"

ParametersRepository::ParametersRepository(TADOConnection &connection)
    : m_query(connection, QStringLiteral("ParametersQuery")) {}

ParametersRepository::ParametersRepository(TDataModule1 &dm) : ParametersRepository(dm.ADOConnection1) {}

std::optional<QString> ParametersRepository::read(const QString &key) {
  TADOQuery &q = m_query;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(key));
  q.Open();
  std::optional<QString> result;
  if (!q.IsEmpty()) {
    const TField f = q.Fields(0);
    if (!f.IsNull())
      result = f.AsString();
  }
  q.Close();
  return result;
}

QString ParametersRepository::value(const QString &key) { return read(key).value_or(QString()); }

void ParametersRepository::write(const QString &key, const QString &value) {
  TADOQuery &q = m_query;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("UPDATE 系统参数 SET 参数值=") + QuotedStr(value) + QStringLiteral(" WHERE 参数名=") +
            QuotedStr(key));
  q.ExecSQL();
  if (q.RowsAffected() == 0) {
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("INSERT INTO 系统参数(参数名,参数值) VALUES(") + QuotedStr(key) + QLatin1Char(',') +
              QuotedStr(value) + QLatin1Char(')'));
    q.ExecSQL();
  }
  q.Close();
}
