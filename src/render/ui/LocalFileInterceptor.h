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
// reads only files below its program directory, and nothing from the
// network: any other request it makes is refused. The
// program directory of a page is the nearest directory above it that holds
// the bank (QBRX.db), else the page's own directory. What the view itself
// navigates to is not restricted here.

#include <QMutex>
#include <QString>
#include <QWebEngineUrlRequestInterceptor>

class LocalFileInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo &info) override;

  // The program directory of the local page at `pagePath`, canonical.
  static QString programDirOf(const QString &pagePath);

signals:
  // A page's own request (main frame) is on its way: the load has reached
  // the network stage.
  void pageRequested(const QUrl &url);

private:
  bool allowed(const QString &file, const QString &pagePath);

  QMutex m_mutex; // requests may come from the engine's threads
  QString m_lastPage, m_lastPageRoot;
};
