#pragma once
#include "common/Dialogs.h"

// The real dialogs: Qt message boxes, file and colour pickers, the desktop
// shell's opener (app/ShellOpen; QDesktopServices where there is none).
class WidgetDialogs : public Dialogs {
public:
  void message(const QString &text, const QString &caption, Icon icon) override;
  bool question(const QString &text, const QString &caption) override;
  // The box's text can be selected, and "复制地址" copies the address
  // without closing the box.
  void messageWithAddress(const QString &text, const QString &caption, const QString &address, Icon icon) override;
  void beep() override;
  QString openFileName(const QString &caption, const QString &dir, const QString &filter) override;
  QString saveFileName(const QString &caption, const QString &dir, const QString &filter,
                       const QString &defaultSuffix = {}) override;
  std::optional<QColor> pickColor(const QColor &initial, const QString &caption) override;
  bool openUrl(const QString &target) override;
  int execModal(QDialog &dialog) override;
};
