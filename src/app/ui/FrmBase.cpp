#include "app/ui/FrmBase.h"
#include "render/ui/WebHtmlView.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QPushButton>

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

std::pair<QPushButton *, QPushButton *> TFrmBase::addButtonRow(QBoxLayout *layout, const QString &okText,
                                                               const QString &cancelText) {
  auto *row = new QHBoxLayout;
  row->addStretch();
  auto *ok = new QPushButton(okText, this);
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setDefault(true);
  auto *cancel = new QPushButton(cancelText, this);
  cancel->setObjectName(QStringLiteral("BitBtn2"));
  cancel->setAutoDefault(false);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  wireButtons(nullptr, cancel);
  return {ok, cancel};
}
