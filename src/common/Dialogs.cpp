#include "common/Dialogs.h"

#include <cstdio>

namespace {

class StderrDialogs : public Dialogs {
public:
  void message(const QString &text, const QString &caption, Icon) override {
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
  }
  bool question(const QString &text, const QString &caption) override {
    message(text, caption, Icon::Question);
    return false;
  }
  void beep() override {}
  QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
  QString saveFileName(const QString &, const QString &, const QString &, const QString &) override { return {}; }
  std::optional<QColor> pickColor(const QColor &, const QString &) override { return std::nullopt; }
  bool openUrl(const QString &) override { return false; }
  int execModal(QDialog &) override { return 0; }
};

StderrDialogs g_fallback;
Dialogs *g_current = nullptr;

} // namespace

Dialogs &dialogs() { return g_current ? *g_current : g_fallback; }
void setDialogs(Dialogs *d) { g_current = d; }
