#pragma once
// The host container of the main window's view: page script reaches one
// TMyExternal as window.external, the same object for as long as the
// container lives.

#include "render/MyExternal.h"
#include "render/ui/NulContainer.h"

#include <memory>

class TDataModule1;

class TExternalContainer : public TNulWBContainer {
public:
  // Pages below `programRoot` get the bridge; `dm` is the bank it works on
  // (may be null, or set later on the bridge object).
  TExternalContainer(WebHtmlView *browser, const QString &programRoot, TDataModule1 *dm = nullptr);
  ~TExternalContainer() override;

  TMyExternal *GetExternal() const override { return fExternalObj.get(); }

private:
  std::unique_ptr<TMyExternal> fExternalObj;
};
