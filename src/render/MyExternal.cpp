#include "render/MyExternal.h"
#include "common/ErrorHandler.h"
#include "store/DM.h"

// The page does not look at what these return, and an error must not travel
// back into the web engine: what fails goes to the general error handler.

QString TMyExternal::DoSeaarchData(const QString &ASQL) {
  QString result;
  RunCommand([&] {
    if (DataModule1)
      result = DataModule1->SCBT(ASQL);
  });
  return result;
}

void TMyExternal::SubbitError(int XiaoTiHao) {
  RunCommand([&] {
    if (DataModule1)
      DataModule1->CTFK(XiaoTiHao);
  });
}
