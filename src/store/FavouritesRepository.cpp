#include "store/FavouritesRepository.h"
#include "common/Dialogs.h"
#include "store/Transaction.h"

FavouritesRepository::FavouritesRepository(TADOConnection &connection)
    : m_connection(connection), m_read(connection, QStringLiteral("FavouritesRead")),
      m_write(connection, QStringLiteral("FavouritesWrite")) {}

FavouritesRepository::FavouritesRepository(TDataModule1 &dm) : FavouritesRepository(dm.ADOConnection1) {}

std::optional<bool> FavouritesRepository::isMarked(qint64 xiaoTiHao) {
  m_read.Close();
  m_read.SQL.Clear();
  m_read.SQL.Add(QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=?"));
  m_read.openWith({xiaoTiHao});
  if (m_read.IsEmpty())
    return std::nullopt;
  const bool marked = m_read.FieldByName(QStringLiteral("是否收藏")).AsInteger() == 1;
  m_read.Close();
  return marked;
}

FavouritesRepository::Toggle FavouritesRepository::toggle(qint64 xiaoTiHao) {
  const std::optional<bool> marked = isMarked(xiaoTiHao);
  if (!marked)
    return Toggle::NotFound;
  m_write.Close();
  m_write.SQL.Clear();
  m_write.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=? WHERE 小题号=?"));
  m_write.execSQLWith({*marked ? 0 : 1, xiaoTiHao});
  return *marked ? Toggle::Unmarked : Toggle::Marked;
}

FavouritesRepository::Toggle FavouritesRepository::mark(qint64 xiaoTiHao, bool marked) {
  m_write.Close();
  m_write.SQL.Clear();
  m_write.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=? WHERE 小题号=?"));
  m_write.execSQLWith({marked ? 1 : 0, xiaoTiHao});
  if (m_write.RowsAffected() == 0)
    return Toggle::NotFound;
  return marked ? Toggle::Marked : Toggle::Unmarked;
}

void FavouritesRepository::setMarked(const std::vector<int> &xiaoTiHao, bool marked) {
  Transaction t(m_connection);
  m_write.Close();
  m_write.SQL.Clear();
  m_write.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=? WHERE 小题号=?"));
  for (int id : xiaoTiHao)
    m_write.execSQLWith({marked ? 1 : 0, id});
  t.commit();
}

int FavouritesRepository::clearAll() {
  m_write.Close();
  m_write.SQL.Clear();
  m_write.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=0 WHERE 是否收藏<>0"));
  m_write.ExecSQL();
  return m_write.RowsAffected();
}

QString FavouritesRepository::toggleFromPage(const QString &text) { return markFromPage(text, QString()); }

QString FavouritesRepository::markFromPage(const QString &text, const QString &wanted) {
  bool isNumber = false;
  const qlonglong number = text.trimmed().toLongLong(&isNumber, 10);
  if (!isNumber)
    return QString();
  const QString state = wanted.trimmed();
  try {
    const Toggle done = state == QLatin1String("1")   ? mark(number, true)
                        : state == QLatin1String("0") ? mark(number, false)
                                                      : toggle(number);
    return done == Toggle::NotFound ? QString() : QStringLiteral("ok");
  } catch (const std::exception &) {
    dialogs().information(QStringLiteral("收藏/取消收藏操作失败，请重新操作!"), QStringLiteral("操作失败"));
    return QStringLiteral("Error");
  }
}
