#pragma once
// What the pages of a view may reach.
//
// Local file names are case-insensitive: a request for a file that does not
// exist as written is redirected to the file whose name differs only in
// letter case ("css/main.css" reaches css/Main.css, "CSS/im/x.png" reaches
// css/im/x.png). Pages and their style sheets were written for a file system
// that ignores case.
//
// A local page (the question pages, the report, the program's other pages)
// loads only what a page is made of (style sheets, scripts, pictures, fonts,
// media, frames) from the program directory's css/, images/ and fonts/, and
// nothing from the network. It reads no file by script: XMLHttpRequest,
// fetch, beacons, workers and the like are refused whatever they ask for.
// The program directory of a page is the nearest directory above it that
// holds the bank (QBRX.db); a page outside any (a written document) reads
// from its own directory. Which pages the view shows is the view's
// decision (WebHtmlView), not this filter's.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>

class LocalFileInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo &info) override;

  // The program directory of the local page at `pagePath`, canonical;
  // empty when no directory above it holds the bank.
  static QString programDirOf(const QString &pagePath);
  // The directories (canonical) the local page at `pagePath` loads from.
  static QStringList readableDirsOf(const QString &pagePath);

signals:
  // A page's own request (main frame) is on its way: the load has reached
  // the network stage.
  void pageRequested(const QUrl &url);

private:
  bool allowed(const QString &file, const QString &pagePath);

  QMutex m_mutex; // requests may come from the engine's threads
  QString m_lastPage;
  QStringList m_lastPageDirs;
};
