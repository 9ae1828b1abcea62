#include "render/ui/FrmBase.h"
#include "render/ui/WebHtmlView.h"

#include <QAbstractButton>

TFrmBase::TFrmBase(const QString &caption, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(caption);
}

HtmlView *TFrmBase::makeView(const HtmlViewFactory &factory, QWidget *parent) {
  std::unique_ptr<HtmlView> view = factory ? factory(parent) : WebHtmlView::create(parent);
  // The widget belongs to its parent from here on.
  HtmlView *raw = view.release();
  Q_ASSERT(raw->widget()->parent() == parent);
  return raw;
}

void TFrmBase::wireButtons(QAbstractButton *ok, QAbstractButton *cancel) {
  if (ok)
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
  if (cancel)
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
}
