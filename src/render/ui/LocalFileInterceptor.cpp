#include "render/ui/LocalFileInterceptor.h"
#include "common/ProgramDir.h"
#include "render/ui/PageParts.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

namespace {

// Whether `path` (canonical) is `dir` (canonical) or below it.
bool isBelow(const QString &path, const QString &dir) {
  return !dir.isEmpty() && (path == dir || path.startsWith(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/')));
}

} // namespace

QString LocalFileInterceptor::programDirOf(const QString &pagePath) {
  const QDir own = QFileInfo(pagePath).absoluteDir();
  // The program's pages lie in css/ or a folder of it.
  QDir dir = own;
  for (int up = 0; up < 3; ++up) {
    if (QFileInfo::exists(dir.filePath(QStringLiteral("QBRX.db"))))
      return dir.canonicalPath();
    if (!dir.cdUp())
      break;
  }
  return QString();
}

QStringList LocalFileInterceptor::readableDirsOf(const QString &pagePath) {
  const QString root = programDirOf(pagePath);
  if (root.isEmpty())
    return {QFileInfo(pagePath).absoluteDir().canonicalPath()};
  QStringList dirs;
  for (const char *name : {"css", "images", "fonts"}) {
    const QString dir = QFileInfo(resolvePathNoCase(root, QLatin1String(name))).canonicalFilePath();
    if (!dir.isEmpty())
      dirs << dir;
  }
  return dirs;
}

// What a page is made of. Everything else a local page asks for (script
// reads: XMLHttpRequest and fetch, beacons, pings, workers, prefetches,
// reports, web sockets) is refused.
static bool isPagePart(QWebEngineUrlRequestInfo::ResourceType type) {
  switch (type) {
  case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
  case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
  case QWebEngineUrlRequestInfo::ResourceTypeScript:
  case QWebEngineUrlRequestInfo::ResourceTypeImage:
  case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
  case QWebEngineUrlRequestInfo::ResourceTypeObject:
  case QWebEngineUrlRequestInfo::ResourceTypeMedia:
  case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
    return true;
  default:
    return false;
  }
}

bool LocalFileInterceptor::allowed(const QString &file, const QString &pagePath) {
  // A link that leads out of the directory is judged by where it leads.
  const QString canonical = QFileInfo(file).canonicalFilePath();
  if (canonical.isEmpty())
    return false;
  QMutexLocker lock(&m_mutex);
  if (pagePath != m_lastPage) {
    m_lastPage = pagePath;
    m_lastPageDirs = readableDirsOf(pagePath);
  }
  for (const QString &dir : qAsConst(m_lastPageDirs))
    if (isBelow(canonical, dir))
      return true;
  return false;
}

void LocalFileInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info) {
  // A long local page and its parts come through the program's own scheme
  // (PageParts.h): judged as the files they are.
  const bool inParts = PageParts::isPartsUrl(info.requestUrl());
  const QUrl url = PageParts::fileUrl(info.requestUrl());
  const QUrl page = PageParts::fileUrl(info.firstPartyUrl());
  const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
  if (mainFrame)
    emit pageRequested(url);
  const bool fromLocalPage = page.isLocalFile() && !mainFrame;
  // Only a local page has parts in the scheme; the view alone opens a page
  // in it.
  if (inParts && !mainFrame && !fromLocalPage) {
    info.block(true);
    return;
  }
  if (!url.isLocalFile() || (fromLocalPage && !isPagePart(info.resourceType()))) {
    if (fromLocalPage)
      info.block(true); // nothing from the network, no file read by script
    return;
  }
  const QString path = url.toLocalFile();
  QString found = path;
  if (path.startsWith(QLatin1Char('/')) && !QFileInfo::exists(path)) {
    const QString other = resolvePathNoCase(QStringLiteral("/"), path);
    if (other != path && QFileInfo::exists(other))
      found = other;
  }
  if (fromLocalPage && !allowed(found, page.toLocalFile())) {
    info.block(true);
    return;
  }
  if (found != path) {
    QUrl target = QUrl::fromLocalFile(found);
    target.setQuery(url.query());
    target.setFragment(url.fragment());
    info.redirect(inParts ? PageParts::partsUrl(target) : target);
  }
}
