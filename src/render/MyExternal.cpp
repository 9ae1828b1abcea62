#include "render/MyExternal.h"
#include "common/ErrorHandler.h"
#include "store/DM.h"

#include <QTimer>

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

// The feedback form is modal and shows a page of its own. The web engine
// cannot load that page while it is still delivering this call, so the form
// opens right after the call has returned to the page.
void TMyExternal::SubbitError(int XiaoTiHao) {
  QTimer::singleShot(0, this, [XiaoTiHao] {
    RunCommand([XiaoTiHao] {
      if (DataModule1)
        DataModule1->CTFK(XiaoTiHao);
    });
  });
}
