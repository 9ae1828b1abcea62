// The floor of the whole-process benchmarks: a bare Qt WebEngine program,
// one QWebEngineView of a given size showing one local page, with the
// fonts file of the program directory the page lies in. It runs until it
// is ended.
//
// usage: qbrx-bareview PAGE WIDTH HEIGHT

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWebEngineView>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc < 4)
    return 2;
  const QFileInfo page(QString::fromLocal8Bit(argv[1]));
  // The page lies in css/ of its program directory, as the program's does.
  const QString fonts = page.absoluteDir().absoluteFilePath(QStringLiteral("../fonts/fonts.conf"));
  if (QFileInfo::exists(fonts))
    qputenv("FONTCONFIG_FILE", QFile::encodeName(QDir::cleanPath(fonts)));
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QWebEngineView view;
  view.resize(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]).toInt());
  view.show();
  view.load(QUrl::fromLocalFile(page.absoluteFilePath()));
  return app.exec();
}
