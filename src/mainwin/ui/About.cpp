#include "mainwin/ui/About.h"
#include "mainwin/ui/Pictures.h"
#include "mainwin/VendorInfo.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFrmAbout::TFrmAbout(QWidget *parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("联系我们"));
  setObjectName(QStringLiteral("FrmAbout"));
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(12);

  auto *heading = new QLabel(QStringLiteral("联系我们"), this);
  QFont hf = heading->font();
  hf.setPixelSize(18);
  hf.setBold(true);
  heading->setFont(hf);
  QPalette hp = heading->palette();
  hp.setColor(QPalette::WindowText, Pictures::accentColor());
  heading->setPalette(hp);
  layout->addWidget(heading);

  LabContacts = new QLabel(VendorInfo::ContactLines().join(QLatin1Char('\n')), this);
  LabContacts->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  LabContacts->setObjectName(QStringLiteral("LabContacts"));
  layout->addWidget(LabContacts);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}
