#pragma once
// Makes local file names case-insensitive for a web page: a request for a
// file that does not exist as written is redirected to the file whose name
// differs only in letter case ("css/main.css" reaches css/Main.css,
// "CSS/im/x.png" reaches css/im/x.png). Pages and their style sheets were
// written for a file system that ignores case.

#include <QWebEngineUrlRequestInterceptor>

class LocalFileInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};
