#include "render/ui/LocalFileInterceptor.h"
#include "common/ProgramDir.h"

#include <QFileInfo>

void LocalFileInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info) {
  const QUrl url = info.requestUrl();
  if (!url.isLocalFile())
    return;
  const QString path = url.toLocalFile();
  if (!path.startsWith(QLatin1Char('/')) || QFileInfo::exists(path))
    return;
  const QString found = resolvePathNoCase(QStringLiteral("/"), path);
  if (found != path && QFileInfo::exists(found)) {
    QUrl target = QUrl::fromLocalFile(found);
    target.setQuery(url.query());
    target.setFragment(url.fragment());
    info.redirect(target);
  }
}
