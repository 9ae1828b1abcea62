#include "render/ui/LocalFileInterceptor.h"
#include "common/ProgramDir.h"

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
  return own.canonicalPath();
}

bool LocalFileInterceptor::allowed(const QString &file, const QString &pagePath) {
  // A link that leads out of the directory is judged by where it leads.
  const QString canonical = QFileInfo(file).canonicalFilePath();
  if (canonical.isEmpty())
    return false;
  QMutexLocker lock(&m_mutex);
  if (pagePath != m_lastPage) {
    m_lastPage = pagePath;
    m_lastPageRoot = programDirOf(pagePath);
  }
  return isBelow(canonical, m_lastPageRoot);
}

void LocalFileInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info) {
  const QUrl url = info.requestUrl();
  const QUrl page = info.firstPartyUrl();
  const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
  if (mainFrame)
    emit pageRequested(url);
  const bool fromLocalPage = page.isLocalFile() && !mainFrame;
  if (!url.isLocalFile()) {
    if (fromLocalPage)
      info.block(true); // nothing from the network
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
    info.redirect(target);
  }
}
