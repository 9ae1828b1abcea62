#pragma once
// The host container of the main window's view: page script reaches one
// TMyExternal as window.external, the same object for as long as the
// container lives.

#include "render/MyExternal.h"
#include "render/ui/NulContainer.h"

#include <memory>

class TExternalContainer : public TNulWBContainer {
public:
  // Pages below `programRoot` get the bridge.
  TExternalContainer(WebHtmlView *browser, const QString &programRoot);
  ~TExternalContainer() override;

  TMyExternal *GetExternal() const override { return fExternalObj.get(); }

private:
  std::unique_ptr<TMyExternal> fExternalObj;
};
