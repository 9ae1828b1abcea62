#include "render/MyExternal.h"
#include "common/ErrorHandler.h"
#include "store/DM.h"
#include "store/FavouritesRepository.h"

#include <QTimer>

// The page does not look at what these return, and an error must not travel
// back into the web engine: what fails goes to the general error handler.

TMyExternal::TMyExternal(TDataModule1 *dm, QObject *parent) : QObject(parent), m_dm(dm) {}

QString TMyExternal::DoSeaarchData(const QString &ASQL, const QString &Mark) {
  QString result;
  RunCommand([&] {
    // Statements of its own: the call may come while a dialog walks the
    // data module's queries.
    if (m_dm)
      result = FavouritesRepository(*m_dm).markFromPage(ASQL, Mark);
  });
  if (result == QLatin1String("ok"))
    emit favouriteToggled(ASQL.trimmed().toInt());
  return result;
}

void TMyExternal::SubbitError(int XiaoTiHao) {
  QTimer::singleShot(0, this, [this, XiaoTiHao] { emit errorReportRequested(XiaoTiHao); });
}
