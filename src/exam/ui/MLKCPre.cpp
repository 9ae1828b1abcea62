#include "exam/ui/MLKCPre.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace {
std::function<void()> firstLoad(TADOConnection &connection, std::shared_ptr<SetupRead> into) {
  return [&connection, into] { *into = MockExamSetup::read(connection, {}, SetupStep::ReadKM); };
}
} // namespace

TFrmMLKCPre::TFrmMLKCPre(TADOConnection &connection, QWidget *parent)
    : TFrmMLKCPre(connection, parent, std::make_shared<SetupRead>()) {}

TFrmMLKCPre::TFrmMLKCPre(TADOConnection &connection, QWidget *parent, std::shared_ptr<SetupRead> load)
    : BankReadDialog(QStringLiteral("读取数据"), QStringLiteral("正在读取题库数据，请稍候..."), connection,
                     firstLoad(connection, load), parent),
      m_load(std::move(load)) {
  ProgressBar1->setRange(0, 300);
  ProgressBar1->setValue(0);
  connect(Timer1, &QTimer::timeout, this, [this] { ProgressBar1->setValue(std::min(300, ProgressBar1->value() + 4)); });
}

void TFrmMLKCPre::showEvent(QShowEvent *e) {
  if (QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
    QRect r = rect();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  BankReadDialog::showEvent(e);
}
