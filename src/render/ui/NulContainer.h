#pragma once
// The host container of an HTML view: it decides what page script reaches as
// window.external. This one offers nothing (pages shown in the view have no
// host object); ExternalContainer offers the page bridge.

#include "render/ui/WebHtmlView.h"

#include <QPointer>

class TNulWBContainer {
public:
  // Attaches to `browser`, which must not be null; the view then has no
  // host object.
  explicit TNulWBContainer(WebHtmlView *browser);
  virtual ~TNulWBContainer(); // detaches: the view has no host object
  TNulWBContainer(const TNulWBContainer &) = delete;
  TNulWBContainer &operator=(const TNulWBContainer &) = delete;

  // The host object of page script; none here.
  virtual QObject *GetExternal() const { return nullptr; }
  WebHtmlView *hostedBrowser() const { return fHostedBrowser; }

protected:
  QPointer<WebHtmlView> fHostedBrowser; // cleared if the view goes first
};
