#include "render/NulContainer.h"
#include "render/WebHtmlView.h"

TNulWBContainer::TNulWBContainer(WebHtmlView *browser) : fHostedBrowser(browser) {
  Q_ASSERT(browser);
  fHostedBrowser->setExternal(nullptr);
}

TNulWBContainer::~TNulWBContainer() {
  if (fHostedBrowser)
    fHostedBrowser->setExternal(nullptr);
}
