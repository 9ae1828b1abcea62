#pragma once
// One row of 系统参数 at a time, read and written on a query object of its
// own, so it never disturbs ADOQuery1..4 of a caller that is walking them.
// Keys and values always go into the statements through QuotedStr.

#include "store/DM.h"

#include <QString>
#include <optional>

class ParametersRepository {
public:
  explicit ParametersRepository(TADOConnection &connection);
  explicit ParametersRepository(TDataModule1 &dm);

  // The value of `key`; nullopt when the row is missing or its value is null.
  std::optional<QString> read(const QString &key);
  // The value of `key`; empty text when the row is missing or null.
  QString value(const QString &key);
  // Sets the value of `key`, inserting the row when it is missing.
  void write(const QString &key, const QString &value);

private:
  TADOQuery m_query;
};
