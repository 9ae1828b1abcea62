#include "render/ui/ExternalContainer.h"
#include "render/ui/WebHtmlView.h"

TExternalContainer::TExternalContainer(WebHtmlView *browser, const QString &programRoot)
    : TNulWBContainer(browser), fExternalObj(std::make_unique<TMyExternal>()) {
  fHostedBrowser->setExternal(fExternalObj.get(), programRoot);
}

// The base class detaches the object from the view; the object itself goes
// after that, with this container's members.
TExternalContainer::~TExternalContainer() {
  if (fHostedBrowser)
    fHostedBrowser->setExternal(nullptr, {});
}
