#pragma once
// TFrmBase: the base of every dialog. Names in plain words: docs/NAMES.md
// The shape of the program's dialogs: made on the heap by the command that
// needs them, with the main window (which lives for the whole run) as
// parent, shown modally through dialogs().execModal and freed by that
// command — also when something closed the parent under exec().

#include "app/AppContext.h"
#include "common/Dialogs.h"
#include "render/HtmlView.h"
#include "render/ui/ExecOwned.h"

#include <QDialog>
#include <QPointer>
#include <memory>
#include <tuple>

class QAbstractButton;
class QBoxLayout;
class QPushButton;

class TFrmBase : public QDialog {
  Q_OBJECT
public:
  TFrmBase(const QString &caption, QWidget *parent);

protected:
  // An HTML view for the dialog's page, made by `factory` (the real web view
  // when empty), its widget owned by the dialog.
  static HtmlView *makeView(const HtmlViewFactory &factory, QWidget *parent);
  // OK accepts, Cancel rejects; either may be null.
  void wireButtons(QAbstractButton *ok, QAbstractButton *cancel);
  // The dialog's closing row, right-aligned at the end of `layout`: `okText`
  // (BitBtn1, the default button; the caller connects what it does) and
  // `cancelText` (BitBtn2, which rejects). Returns the two buttons.
  std::pair<QPushButton *, QPushButton *> addButtonRow(QBoxLayout *layout, const QString &okText,
                                                       const QString &cancelText = QStringLiteral("取消"));
};
