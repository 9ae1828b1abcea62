#pragma once
// The host container of the main window's view: page script reaches one
// TMyExternal as window.external, the same object for as long as the
// container lives.

#include "render/MyExternal.h"
#include "render/NulContainer.h"

#include <memory>

class TExternalContainer : public TNulWBContainer {
public:
  explicit TExternalContainer(WebHtmlView *browser);
  ~TExternalContainer() override;

  TMyExternal *GetExternal() const override { return fExternalObj.get(); }

private:
  std::unique_ptr<TMyExternal> fExternalObj;
};
