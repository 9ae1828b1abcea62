#include "MainWindowFixture.h"

#include <QApplication>
#include <QtTest>

MainWindowFixture::MainWindowFixture(const std::function<void(const QString &root)> &prepare) {
  QApplication::setQuitOnLastWindowClosed(false);
  if (prepare)
    prepare(dir.root());
  window = std::make_unique<TFrmMain>(ProgramDir(dir.root()));
}

bool MainWindowFixture::showActive() {
  if (window->startupFailed())
    return false;
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get()))
    return false;
  window->activateWindow();
  return QTest::qWaitForWindowActive(window.get());
}
