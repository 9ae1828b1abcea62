#pragma once
#if __has_include(<QApplication>)
#include "mainwin/ui/Application.h"
#define QBRX_TEST_APPLICATION QbrxApplication
#else
// A test of the logic library alone: no widgets, no web engine.
#include <QGuiApplication>
#define QBRX_TEST_APPLICATION QGuiApplication
#endif
// Headless set-up shared by every test program, and fixtures that make a
// complete program directory (bank, css/, images/, fonts/) in a temp dir.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace TestEnv {

// Environment for a headless run; call before the application object.
void prepareHeadless();

QString sourceDir(); // the repository
QString stagedDir(); // the staged program directory of the build

// Runs as root (CI does)? Then a child that must meet file permissions runs
// as nobody: ordinaryUser() gives the command line for that (the program
// as is for an ordinary user) and handToOrdinaryUser() gives a folder
// (recursively) to that user.
bool runningAsRoot();
QStringList ordinaryUser(const QString &program, const QStringList &arguments);
void handToOrdinaryUser(const QString &path);

// The demo bank's SQL files, in order.
QStringList demoSqlFiles();

// A program directory in a fresh temporary directory: css/, images/ and
// fonts/ copied from the staged one and QBRX.db built from the given SQL
// texts (schema included). With no texts, the demo bank.
class ProgramDirFixture {
public:
  explicit ProgramDirFixture(const QStringList &sqlTexts = {});
  QString root() const; // with trailing "/"
  QString path(const QString &relative) const { return root() + relative; }
  bool isValid() const { return m_dir.isValid(); }

private:
  QTemporaryDir m_dir;
};

} // namespace TestEnv

// main() for a test class: headless environment, then the program's own
// application class, so that the general error handler is the program's.
#define QBRX_TEST_MAIN(TestClass)                                                  \
  int main(int argc, char **argv) {                                                \
    TestEnv::prepareHeadless();                                                    \
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                    \
    QBRX_TEST_APPLICATION app(argc, argv);                                         \
    TestClass tc;                                                                  \
    QTEST_SET_MAIN_SOURCE_PATH                                                     \
    return QTest::qExec(&tc, argc, argv);                                          \
  }
