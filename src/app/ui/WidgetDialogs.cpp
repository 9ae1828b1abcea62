#include "app/ui/WidgetDialogs.h"
#include "app/ShellOpen.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

static QWidget *parentWindow() { return QApplication::activeWindow(); }

// A box on the heap: when its parent goes away under exec() the box goes
// with it, and nothing is freed twice. Such a box counts as closed by No.
static int execBox(QMessageBox *box) {
  QPointer<QMessageBox> guard(box);
  const int result = box->exec();
  if (!guard)
    return QMessageBox::No;
  delete box;
  return result;
}

static QMessageBox::Icon boxIcon(Dialogs::Icon icon) {
  if (icon == Dialogs::Icon::Warning)
    return QMessageBox::Warning;
  if (icon == Dialogs::Icon::Error)
    return QMessageBox::Critical;
  if (icon == Dialogs::Icon::Question)
    return QMessageBox::Question;
  return QMessageBox::Information;
}

void WidgetDialogs::message(const QString &text, const QString &caption, Icon icon) {
  auto *box = new QMessageBox(boxIcon(icon), caption, text, QMessageBox::Ok, parentWindow());
  // Texts may carry a bank's stem: shown as written, never as markup.
  box->setTextFormat(Qt::PlainText);
  box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  execBox(box);
}

void WidgetDialogs::messageWithAddress(const QString &text, const QString &caption, const QString &address,
                                       Icon icon) {
  auto *box = new QMessageBox(boxIcon(icon), caption, text + QLatin1Char('\n') + address, QMessageBox::Ok,
                              parentWindow());
  box->setTextFormat(Qt::PlainText);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  QPushButton *copy = box->addButton(QStringLiteral("复制地址"), QMessageBox::ActionRole);
  copy->setObjectName(QStringLiteral("CopyAddress"));
  // The box closes on any of its buttons: this one only copies.
  copy->disconnect();
  QObject::connect(copy, &QPushButton::clicked, box, [copy, address] {
    QGuiApplication::clipboard()->setText(address);
    copy->setText(QStringLiteral("已复制"));
  });
  box->setDefaultButton(QMessageBox::Ok);
  execBox(box);
}

bool WidgetDialogs::question(const QString &text, const QString &caption) {
  auto *box = new QMessageBox(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                              parentWindow());
  box->setTextFormat(Qt::PlainText);
  box->button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
  box->button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
  box->setDefaultButton(QMessageBox::Yes);
  return execBox(box) == QMessageBox::Yes;
}

void WidgetDialogs::beep() { QApplication::beep(); }

QString WidgetDialogs::openFileName(const QString &caption, const QString &dir, const QString &filter) {
  return QFileDialog::getOpenFileName(parentWindow(), caption, dir, filter);
}

QString WidgetDialogs::saveFileName(const QString &caption, const QString &dir, const QString &filter,
                                    const QString &defaultSuffix) {
  // The static picker never adds a suffix: a dialog object does.
  QFileDialog picker(parentWindow(), caption, dir, filter);
  picker.setAcceptMode(QFileDialog::AcceptSave);
  picker.setFileMode(QFileDialog::AnyFile);
  if (!defaultSuffix.isEmpty())
    picker.setDefaultSuffix(defaultSuffix);
  if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty())
    return QString();
  return picker.selectedFiles().first();
}

std::optional<QColor> WidgetDialogs::pickColor(const QColor &initial, const QString &caption) {
  const QColor c = QColorDialog::getColor(initial, parentWindow(), caption);
  if (!c.isValid())
    return std::nullopt;
  return c;
}

bool WidgetDialogs::openUrl(const QString &target) {
  const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
  if (!url.isValid() || (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())))
    return false;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  const ShellOpenResult result = ShellOpen(url);
  QApplication::restoreOverrideCursor();
  if (result == ShellOpenResult::NoOpener)
    return QDesktopServices::openUrl(url);
  return result != ShellOpenResult::Failed;
}

int WidgetDialogs::execModal(QDialog &dialog) { return dialog.exec(); }
