#include "render/ui/PageParts.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <algorithm>

namespace {

const QByteArray kScheme = QByteArrayLiteral("qbrx-page");

// A file read as far as it is let: FirstPart at once, the rest
// PartIntervalMs later.
class PartsDevice : public QIODevice {
public:
  PartsDevice(const QString &path, QObject *parent) : QIODevice(parent), m_file(path) {}

  bool start() {
    if (!m_file.open(QIODevice::ReadOnly) || !open(QIODevice::ReadOnly))
      return false;
    m_size = m_file.size();
    m_let = std::min(m_size, PageParts::FirstPart);
    auto *timer = new QTimer(this);
    timer->setInterval(PageParts::PartIntervalMs);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
      m_let = m_size;
      emit readyRead();
      emit readChannelFinished();
    });
    if (m_let < m_size)
      timer->start();
    return true;
  }

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return m_let - m_pos + QIODevice::bytesAvailable(); }
  bool atEnd() const override { return m_pos >= m_size && QIODevice::bytesAvailable() == 0; }

protected:
  qint64 readData(char *data, qint64 max) override {
    if (m_pos >= m_size)
      return -1;
    const qint64 got = m_file.read(data, std::min(max, m_let - m_pos));
    if (got < 0)
      return -1;
    m_pos += got;
    return got;
  }
  qint64 writeData(const char *, qint64) override { return -1; }

private:
  QFile m_file;
  qint64 m_size = 0;
  qint64 m_let = 0;
  qint64 m_pos = 0;
};

// Which files a page in the scheme may have is the request filter's
// judgement (LocalFileInterceptor), made before the request gets here.
class PartsHandler : public QWebEngineUrlSchemeHandler {
public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

  void requestStarted(QWebEngineUrlRequestJob *job) override {
    const QString path = PageParts::fileUrl(job->requestUrl()).toLocalFile();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable()) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    static const QMimeDatabase mimes;
    const QByteArray type = mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name().toLatin1();
    if (type == "text/html") {
      auto *device = new PartsDevice(path, job);
      if (!device->start()) {
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
      }
      job->reply(type, device);
      return;
    }
    auto *file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
      job->fail(QWebEngineUrlRequestJob::RequestFailed);
      return;
    }
    job->reply(type, file);
  }
};

} // namespace

namespace PageParts {

void registerScheme() {
  if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme)
    return;
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  // Local as files are: no web page reaches it; its pages reach their parts.
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

void serveOn(QWebEngineProfile *profile) {
  if (QWebEngineUrlScheme::schemeByName(kScheme).name() != kScheme || profile->urlSchemeHandler(kScheme))
    return;
  profile->installUrlSchemeHandler(kScheme, new PartsHandler(profile));
}

bool wanted(const QUrl &file) {
  if (!file.isLocalFile() || QWebEngineUrlScheme::schemeByName(kScheme).name() != kScheme)
    return false;
  const QFileInfo info(file.toLocalFile());
  const QString suffix = info.suffix().toLower();
  return (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) && info.isFile() &&
         info.size() <= MaxSize;
}

bool isPartsUrl(const QUrl &url) { return url.scheme() == QLatin1String(kScheme); }

QUrl partsUrl(const QUrl &file) {
  if (!file.isLocalFile())
    return file;
  QUrl url;
  url.setScheme(QString::fromLatin1(kScheme));
  url.setPath(file.path());
  url.setQuery(file.query());
  url.setFragment(file.fragment());
  return url;
}

QUrl fileUrl(const QUrl &url) {
  if (!isPartsUrl(url))
    return url;
  QUrl file = QUrl::fromLocalFile(url.path());
  file.setQuery(url.query());
  file.setFragment(url.fragment());
  return file;
}

} // namespace PageParts
