#include "render/MyExternal.h"

#include <QTimer>

TMyExternal::TMyExternal(QObject *parent) : QObject(parent) {}

bool TMyExternal::readFavouriteCall(const QString &ASQL, const QString &Mark, int *XiaoTiHao, FavouriteMark *mark) {
  bool isNumber = false;
  const int number = ASQL.trimmed().toInt(&isNumber, 10);
  if (!isNumber)
    return false;
  const QString state = Mark.trimmed();
  *XiaoTiHao = number;
  *mark = state == QLatin1String("1")   ? FavouriteMark::Set
          : state == QLatin1String("0") ? FavouriteMark::Clear
                                        : FavouriteMark::Flip;
  return true;
}

void TMyExternal::DoSeaarchData(const QString &ASQL, const QString &Mark) {
  int number = 0;
  FavouriteMark mark = FavouriteMark::Flip;
  if (readFavouriteCall(ASQL, Mark, &number, &mark))
    emit favouriteRequested(number, mark);
}

void TMyExternal::SubbitError(int XiaoTiHao) {
  if (m_reportPending)
    return;
  m_reportPending = true;
  QTimer::singleShot(0, this, [this, XiaoTiHao] {
    m_reportPending = false;
    emit errorReportRequested(XiaoTiHao);
  });
}
