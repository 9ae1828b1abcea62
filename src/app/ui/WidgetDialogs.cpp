#include "app/ui/WidgetDialogs.h"

#include <QApplication>
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

void WidgetDialogs::message(const QString &text, const QString &caption, Icon icon) {
  QMessageBox::Icon i = QMessageBox::Information;
  if (icon == Icon::Warning)
    i = QMessageBox::Warning;
  else if (icon == Icon::Error)
    i = QMessageBox::Critical;
  else if (icon == Icon::Question)
    i = QMessageBox::Question;
  auto *box = new QMessageBox(i, caption, text, QMessageBox::Ok, parentWindow());
  // Texts may carry a bank's stem: shown as written, never as markup.
  box->setTextFormat(Qt::PlainText);
  box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
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
  return url.isValid() && QDesktopServices::openUrl(url);
}

int WidgetDialogs::execModal(QDialog &dialog) { return dialog.exec(); }
