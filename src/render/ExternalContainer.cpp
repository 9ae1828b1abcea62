#include "render/ExternalContainer.h"
#include "render/WebHtmlView.h"

TExternalContainer::TExternalContainer(WebHtmlView *browser)
    : TNulWBContainer(browser), fExternalObj(std::make_unique<TMyExternal>()) {
  fHostedBrowser->setExternal(fExternalObj.get());
}

// The base class detaches the object from the view; the object itself goes
// after that, with this container's members.
TExternalContainer::~TExternalContainer() {
  if (fHostedBrowser)
    fHostedBrowser->setExternal(nullptr);
}
