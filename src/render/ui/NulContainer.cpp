#include "render/ui/NulContainer.h"
#include "render/ui/WebHtmlView.h"

TNulWBContainer::TNulWBContainer(WebHtmlView *browser) : fHostedBrowser(browser) {
  Q_ASSERT(browser);
  fHostedBrowser->setExternal(nullptr, {});
}

TNulWBContainer::~TNulWBContainer() {
  if (fHostedBrowser)
    fHostedBrowser->setExternal(nullptr, {});
}
