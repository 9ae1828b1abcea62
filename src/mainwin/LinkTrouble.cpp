#include "mainwin/LinkTrouble.h"

#include <QUrl>

namespace LinkTrouble {

QString cannotOpenText(const QString &target) {
  const QUrl url(target.trimmed());
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
    return QStringLiteral("无法打开这个网址：本机没有可以打开网页的浏览器，或者浏览器没有启动。\n"
                          "可以复制下面的网址，在浏览器中打开：");
  return QStringLiteral("无法打开这个文件：文件不存在，或者本机没有可以打开它的程序。\n文件位置：");
}

QString loadFailureReason(int errorCode, int errorDomain) {
  // The engine's error domains (QWebEngineLoadingInfo::ErrorDomain).
  enum { Http = 4, Dns = 6, Certificate = 3 };
  if (errorDomain == Http)
    return QStringLiteral("服务器没有提供这个网页（HTTP %1）").arg(errorCode);
  if (errorDomain == Certificate)
    return QStringLiteral("网站的安全证书有问题，无法安全连接");
  switch (errorCode) {
  case -102: // connection refused
    return QStringLiteral("网站拒绝连接（网站没有开放，或者地址不对）");
  case -7:   // timed out
  case -118: // connection timed out
    return QStringLiteral("连接网站超时（网络不通，或者网站没有应答）");
  case -105: // name not resolved
  case -137: // name resolution failed
    return QStringLiteral("找不到这个网站（请检查网络，或者地址是否正确）");
  case -106: // internet disconnected
  case -109: // address unreachable
    return QStringLiteral("网络不通（请检查网络连接）");
  case -6: // file not found
    return QStringLiteral("找不到这个网页");
  default:
    break;
  }
  if (errorDomain == Dns)
    return QStringLiteral("找不到这个网站（请检查网络，或者地址是否正确）");
  return QStringLiteral("网络或网站出错");
}

static QString escaped(const QString &text) { return text.toHtmlEscaped(); }

QStringList unreachablePage(const QString &title, const QString &address, const QString &reason,
                            const QString &backHref) {
  return {
      QStringLiteral("<!DOCTYPE html>"),
      QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title>").arg(escaped(title)),
      QStringLiteral("<style>body{font-family:\"黑体\",sans-serif;font-size:16px;color:#000;background:#fff;"
                     "margin:40px;line-height:1.8}h1{font-size:22px;color:#1a3d8f}"
                     ".address{user-select:text;word-break:break-all;color:#333}"
                     "a{color:#0645ad;font-size:18px}</style></head><body>"),
      QStringLiteral("<h1 id=\"troubleTitle\">无法打开%1</h1>").arg(escaped(title)),
      QStringLiteral("<p id=\"troubleReason\">原因：%1。</p>").arg(escaped(reason)),
      QStringLiteral("<p>网址：<span class=\"address\" id=\"troubleAddress\">%1</span></p>").arg(escaped(address)),
      QStringLiteral("<p>请检查网络后再试，或者复制网址，在浏览器中打开。</p>"),
      QStringLiteral("<p><a id=\"backToPaper\" href=\"%1\">返回试卷</a></p>").arg(escaped(backHref)),
      QStringLiteral("</body></html>"),
  };
}

} // namespace LinkTrouble
