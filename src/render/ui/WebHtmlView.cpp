#include "render/ui/WebHtmlView.h"
#include "common/Dialogs.h"
#include "common/ProgramDir.h"
#include "render/ScreenStyle.h"
#include "render/ui/ExecOwned.h"
#include "render/ui/LocalFileInterceptor.h"
#include "render/ui/PageParts.h"
#include "store/FileError.h"

#include <QDeadlineTimer>
#include <cstdio>
#include <utility>
#include <QEventLoop>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QString BridgeScriptName = QStringLiteral("qbrx-external");
const QString BridgeObjectName = QStringLiteral("external");
const QString ScreenStyleName = QStringLiteral("qbrx-screen-style");

// A text as a JavaScript string literal.
QString jsLiteral(const QString &text) {
  const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString jsLiterals(const QStringList &texts) {
  return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}

// Appends `text` as a JavaScript string literal, without a JSON document:
// quotes, backslashes, control characters, the two line separators that
// end a line in script and surrogates (which must reach the page as they
// are) are escaped.
void appendJsString(QString &out, QStringView text) {
  out += QLatin1Char('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'"' || u == u'\\') {
      out += QLatin1Char('\\');
      out += c;
    } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || QChar::isSurrogate(u)) {
      out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
    } else {
      out += c;
    }
  }
  out += QLatin1Char('"');
}

// A wait for something that finishes in a callback. The callback may come
// after the waiter gave up, so it holds its own reference.
struct Pending {
  bool finished = false;
  QVariant value;
  QPointer<QEventLoop> loop;

  void finish(const QVariant &v = {}) {
    finished = true;
    value = v;
    if (loop)
      loop->quit();
  }
};

// Runs a local event loop until `pending` finishes or the time is up.
bool waitFor(const std::shared_ptr<Pending> &pending, int timeoutMs) {
  if (pending->finished)
    return true;
  QEventLoop loop;
  pending->loop = &loop;
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  return pending->finished;
}

// How page script hands an argument over for a parameter of this type: the
// page passes numbers as text ("SubbitError('12')").
QString jsArgument(int type, const QString &name) {
  switch (type) {
  case QMetaType::QString:
    return QStringLiteral("text(%1)").arg(name);
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::Long:
  case QMetaType::ULong:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
    return QStringLiteral("integer(%1)").arg(name);
  case QMetaType::Bool:
    return QStringLiteral("!!%1").arg(name);
  case QMetaType::Double:
  case QMetaType::Float:
    return QStringLiteral("Number(%1)").arg(name);
  default:
    return name;
  }
}

// The script that sets window.external before any page script runs: one
// function per public slot or invokable method of the host object. Calls go
// over the web channel; those made before it is connected wait in a queue.
QString bridgeScript(const QMetaObject *meta) {
  QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  if (!channelJs.open(QIODevice::ReadOnly))
    throw AppError(QStringLiteral("qwebchannel.js is missing"));
  QString functions;
  for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
    const QMetaMethod method = meta->method(i);
    if (method.access() != QMetaMethod::Public ||
        (method.methodType() != QMetaMethod::Slot && method.methodType() != QMetaMethod::Method))
      continue;
    QStringList params, args;
    for (int p = 0; p < method.parameterCount(); ++p) {
      const QString name = QStringLiteral("a%1").arg(p);
      params << name;
      args << jsArgument(method.parameterType(p), name);
    }
    const QString name = jsLiteral(QString::fromLatin1(method.name()));
    functions += QStringLiteral("  host[%1] = function (%2) { send(%1, [%3]); };\n")
                     .arg(name, params.join(QLatin1Char(',')), args.join(QLatin1Char(',')));
  }
  return QStringLiteral("(function () {\n") + QString::fromUtf8(channelJs.readAll()) +
         QStringLiteral(R"(
  function text(v) { return v == null ? '' : String(v); }
  function integer(v) {
    var n = typeof v === 'number' ? v : (String(v).trim() === '' ? NaN : Number(String(v).trim()));
    if (!Number.isInteger(n)) throw new TypeError('Type mismatch');
    return n;
  }
  var target = null, queue = [];
  function send(name, args) {
    if (target) target[name].apply(target, args); else queue.push([name, args]);
  }
  var host = {};
)") + functions +
         QStringLiteral(R"(  window.external = host;
  if (typeof qt === 'undefined' || !qt.webChannelTransport) return;
  new QWebChannel(qt.webChannelTransport, function (channel) {
    target = channel.objects[%1];
    var calls = queue;
    queue = [];
    calls.forEach(function (c) { target[c[0]].apply(target, c[1]); });
  });
})();
)")
             .arg(jsLiteral(BridgeObjectName));
}

// An address of the web, as opposed to a file or a page the engine makes.
bool isWebAddress(const QUrl &url) {
  return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// A target text as an address: a path, an address with a scheme, or a web
// address without one.
QUrl targetUrl(const QString &target) {
  QString t = target.trimmed();
  if (t.startsWith(QLatin1Char('/')) || t.startsWith(QLatin1String("./")) || t.startsWith(QLatin1String("../")))
    return QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
  const QUrl url(t, QUrl::TolerantMode);
  if (url.scheme().size() > 1)
    return url;
  if (QFileInfo::exists(t))
    return QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
  return QUrl::fromUserInput(t);
}

} // namespace

// The view's page: records script errors, and lets through only the
// navigations the view allows (acceptNavigation).
class WebHtmlPage : public QWebEnginePage {
public:
  WebHtmlPage(WebHtmlView *owner) : QWebEnginePage(owner), m_owner(owner) {}

protected:
  // The engine asks from inside its navigation machinery: the answer is
  // given here and nothing is started from here (a load started while the
  // engine is still cancelling a refused one brings the engine down).
  bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override {
    return m_owner->acceptNavigation(url, type, isMainFrame);
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                const QString &sourceID) override {
    if (level == ErrorMessageLevel)
      m_owner->recordScriptError(QStringLiteral("%1 (%2:%3)").arg(message, sourceID).arg(lineNumber));
  }

private:
  WebHtmlView *m_owner;
};

WebHtmlView::WebHtmlView(QWidget *parent) : QWidget(parent) {
  m_view = new QWebEngineView(this);
  auto *page = new WebHtmlPage(this);
  m_view->setPage(page);
  closeRoom(page->settings());
  PageParts::serveOn(page->profile());
  m_interceptor = new LocalFileInterceptor(this);
  page->setUrlRequestInterceptor(m_interceptor);
  connect(m_interceptor, &LocalFileInterceptor::pageRequested, this, &WebHtmlView::pageRequested);

  // The view's own style (ScreenStyle.h) over every page, in a world the
  // page's script cannot reach.
  QWebEngineScript style;
  style.setName(ScreenStyleName);
  style.setInjectionPoint(QWebEngineScript::DocumentCreation);
  style.setWorldId(QWebEngineScript::ApplicationWorld);
  style.setRunsOnSubFrames(false);
  style.setSourceCode(ScreenStyle::script());
  page->scripts().insert(style);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  setFocusProxy(m_view);

  // Lines written with writeln are shown once the writer returns to the
  // event loop. An error there has no caller to reach: it is kept and
  // thrown by the next call that waits for the page.
  m_flushTimer = new QTimer(this);
  m_flushTimer->setSingleShot(true);
  m_flushTimer->setInterval(0);
  connect(m_flushTimer, &QTimer::timeout, this, [this] {
    try {
      flushWrites();
    } catch (...) {
      m_deferredError = std::current_exception();
    }
  });

  connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    if (!this->page()->isLoading())
      m_loadPending = false;
    if (!ok || !m_afterLoadScript || !m_afterLoadPage.matches(url(), QUrl::RemoveQuery))
      return;
    const QString script = m_afterLoadScript();
    if (!script.isEmpty())
      this->page()->runJavaScript(script);
  });
  connect(page, &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
            if (status != QWebEnginePage::NormalTerminationStatus)
              recordScriptError(QStringLiteral("the page's process ended (status %1, code %2)")
                                    .arg(int(status))
                                    .arg(code));
          });
}

// Children go in the order they were made: the view, then its page, then
// the interceptor and the channel the page refers to.
WebHtmlView::~WebHtmlView() = default;

void WebHtmlView::setScriptAfterLoad(const QUrl &page, std::function<QString()> script) {
  m_afterLoadPage = page;
  m_afterLoadScript = std::move(script);
}

void WebHtmlView::closeRoom(QWebEngineSettings *settings) {
  // No window of its own, nothing from the network for a local page (the
  // request filter refuses it as well), no hidden look-ups or pings, and a
  // file dropped on the view does not replace the page. Local files stay
  // readable: without that the engine refuses a local page even its own
  // style sheet and pictures; the request filter refuses script reads.
  // WebRTC here keeps to the default interface and hides local addresses;
  // what takes its UDP away is the engine switch (ChromiumFlags.h): this
  // setting alone still lets it send STUN requests to a port on loopback.
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
  settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
  settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
  settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

bool WebHtmlView::acceptNavigation(const QUrl &requested, int type, bool isMainFrame) {
  // A long local page comes in parts (PageParts.h): judged as its file.
  const QUrl url = PageParts::fileUrl(requested);
  // The page on display is the last one the engine committed (for a new
  // navigation the current history entry is that one); before the first,
  // nothing is shown and nothing may be reached from it.
  const bool webShown = isWebAddress(page()->history()->currentItem().url());
  // A load the program started to a file or page of its own is on its way:
  // whatever the page before it asks for now is refused.
  const bool ownLocalLoad = m_loadPending && !m_ownLoadIsWeb;
  bool accept = false;
  if (!isMainFrame) {
    // A frame in a local page shows local files (the request filter judges
    // which) or an empty frame; a web page's frames are the web's.
    accept = webShown || url.isLocalFile() || url.scheme() == QLatin1String("about");
  } else {
    switch (QWebEnginePage::NavigationType(type)) {
    case QWebEnginePage::NavigationTypeTyped:
      // Only the view's own loads (startLoad) come typed; the bridge is set
      // up for them before they start. One that would reach a page of the
      // other kind came from elsewhere (the developer tools) and is refused:
      // the bridge is never changed while the engine is navigating.
      accept = trusted(url) == externalOffered();
      break;
    case QWebEnginePage::NavigationTypeReload:
      // reload(); a web page may reload itself.
      accept = std::exchange(m_reloadRequested, false) || (webShown && !ownLocalLoad);
      break;
    case QWebEnginePage::NavigationTypeRedirect:
      // The server's redirects of an address the program loads; a web
      // page's own redirects. Never to a file or a page the engine makes.
      accept = isWebAddress(url) && (m_loadPending ? m_ownLoadIsWeb : webShown);
      break;
    default:
      // Links, forms, script, history: a web page the program showed may
      // go on to other web pages; a local page stays where it is.
      accept = isWebAddress(url) && webShown && !ownLocalLoad;
      break;
    }
  }
  if (!accept)
    emit navigationRefused(url);
  return accept;
}

QWebEnginePage *WebHtmlView::page() const { return m_view->page(); }

QUrl WebHtmlView::url() const { return PageParts::fileUrl(m_view->url()); }

void WebHtmlView::recordScriptError(const QString &message) {
  m_scriptErrors.append(message);
  emit scriptErrorReported(message);
}

void WebHtmlView::startLoad(const QUrl &url) {
  offerExternalTo(url);
  m_ownLoadIsWeb = isWebAddress(url);
  m_reloadRequested = false;
  m_loadPending = true;
  m_view->load(PageParts::wanted(url) ? PageParts::partsUrl(url) : url);
}

void WebHtmlView::startPageProcess() {
  if (m_view->url().isEmpty() && !m_loadPending)
    m_view->load(QUrl(QStringLiteral("about:blank")));
}

void WebHtmlView::navigate(const QString &target) {
  m_flushTimer->stop();
  m_flushPending = false;
  m_lines.clear();
  m_writing = target.trimmed().compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0;
  QUrl url = targetUrl(target);
  // A file named in another letter case is loaded under its own name: the
  // engine's redirect to it would be a navigation the view refuses.
  if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
    const QString found = resolvePathNoCase(QStringLiteral("/"), url.toLocalFile());
    if (QFileInfo::exists(found)) {
      QUrl resolved = QUrl::fromLocalFile(found);
      resolved.setQuery(url.query());
      resolved.setFragment(url.fragment());
      url = resolved;
    }
  }
  // The engine brings a page loaded again under the same address back to
  // where it was scrolled. A page navigated to is new: it starts at its top
  // (reload() keeps the place).
  if (url.isLocalFile() && url.adjusted(QUrl::RemoveQuery) == this->url().adjusted(QUrl::RemoveQuery))
    url.setQuery(QStringLiteral("n=%1").arg(++m_loadSerial));
  startLoad(url);
}

void WebHtmlView::writeln(const QString &line) {
  if (!m_writing) {
    m_writing = true;
    m_lines.clear();
  }
  m_lines.append(line);
  m_flushPending = true;
  m_flushTimer->start();
}

void WebHtmlView::flushWrites() {
  if (!m_flushPending)
    return;
  m_flushPending = false;
  m_flushTimer->stop();
  if (!m_writeDir) {
    // Without a usable temporary folder Qt would make one in the current
    // folder: refuse instead.
    const QString temp = QDir::tempPath();
    if (temp.isEmpty())
      throw FileError(QStringLiteral("无法建立临时目录：系统的临时目录不存在。"));
    auto dir = std::make_unique<QTemporaryDir>(temp + QStringLiteral("/qbrx-XXXXXX"));
    if (!dir->isValid())
      throw FileError(QStringLiteral("无法建立临时目录：") + dir->errorString());
    m_writeDir = std::move(dir);
  }
  const QString path = m_writeDir->filePath(QStringLiteral("written.html"));
  QSaveFile file(path);
  QByteArray bytes("\xEF\xBB\xBF");
  for (const QString &line : qAsConst(m_lines))
    bytes += line.toUtf8() + "\r\n";
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw FileError(QStringLiteral("无法写入文件：") + path);
  startLoad(QUrl::fromLocalFile(path));
}

void WebHtmlView::reload() {
  if (m_flushPending) {
    flushWrites();
    return;
  }
  if (m_view->url().isEmpty())
    return;
  m_loadPending = true;
  m_reloadRequested = true;
  page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

void WebHtmlView::throwDeferredError() {
  if (m_deferredError)
    std::rethrow_exception(std::exchange(m_deferredError, nullptr));
}

bool WebHtmlView::waitForLoad(int timeoutMs) {
  throwDeferredError();
  flushWrites();
  const QDeadlineTimer deadline(timeoutMs);
  while (m_loadPending) {
    if (deadline.hasExpired())
      return false;
    QEventLoop loop;
    connect(page(), &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return true;
}

QVariant WebHtmlView::callScript(const QString &script) {
  waitForLoad();
  auto pending = std::make_shared<Pending>();
  page()->runJavaScript(script, [pending](const QVariant &v) { pending->finish(v); });
  if (!waitFor(pending, ScriptTimeoutMs))
    throw AppError(QStringLiteral("页面脚本没有响应"));
  return pending->value;
}

QVariant WebHtmlView::evaluate(const QString &script) {
  // Indirect eval runs the text in the global scope, so the functions and
  // variables it declares stay in the page, as with a script of the page.
  const QString wrapped = QStringLiteral(R"((function () {
  try {
    var v = (0, eval)(%1), t = typeof v;
    if (v === undefined || t === 'function' || t === 'symbol' ||
        (t === 'object' && v !== null && !Array.isArray(v) && Object.getPrototypeOf(v) !== Object.prototype))
      v = null;
    return [true, v];
  } catch (e) {
    return [false, (e && e.message) ? String(e.message) : String(e)];
  }
})())")
                              .arg(jsLiteral(script));
  const QVariantList result = callScript(wrapped).toList();
  if (result.size() != 2)
    throw AppError(QStringLiteral("页面脚本没有运行"));
  if (!result[0].toBool())
    throw AppError(QStringLiteral("脚本错误：") + result[1].toString());
  return result[1];
}

void WebHtmlView::runScript(const QString &script) { evaluate(script); }

std::vector<std::optional<bool>> WebHtmlView::readChecked(const QStringList &ids) {
  const QString script = QStringLiteral(R"((function (ids) {
  return ids.map(function (id) { var e = document.getElementById(id); return e ? !!e.checked : null; });
})(%1))")
                             .arg(jsLiterals(ids));
  const QVariantList values = callScript(script).toList();
  if (values.size() != ids.size())
    throw AppError(QStringLiteral("无法读取页面的答题状态"));
  std::vector<std::optional<bool>> out;
  out.reserve(values.size());
  for (const QVariant &v : values) {
    if (v.typeId() == QMetaType::Bool)
      out.emplace_back(v.toBool());
    else
      out.emplace_back(std::nullopt);
  }
  return out;
}

void WebHtmlView::setColor(const QStringList &ids, const QString &color) {
  const QString script = QStringLiteral(R"((function (ids, color) {
  ids.forEach(function (id) { var e = document.getElementById(id); if (e) e.style.color = color; });
  return true;
})(%1, %2))")
                             .arg(jsLiterals(ids), jsLiteral(color));
  if (!callScript(script).toBool())
    throw AppError(QStringLiteral("无法设置页面的颜色"));
}

std::optional<std::vector<bool>> WebHtmlView::markChoices(const std::vector<ChoiceMark> &items,
                                                           const QString &color) {
  // The items as one flat array: stem id, option count, right letters, the
  // ids of the options. Ids go as literals: the page finds elements by
  // literal texts faster than by texts it puts together. Everything is
  // appended in place to one text.
  QString data;
  data.reserve(qsizetype(items.size()) * 64 + 1024);
  data += QStringLiteral("(function (d, color) {\n"
                         "  var states = '', wrong = [], i, j, k, e, stem, chosen;\n"
                         "  for (i = 0; i < d.length; i += 3 + k) {\n"
                         "    k = d[i + 1];\n"
                         "    stem = document.getElementById(d[i]);\n"
                         "    if (!stem) return null;\n"
                         "    chosen = '';\n"
                         "    for (j = 0; j < k; ++j) {\n"
                         "      e = document.getElementById(d[i + 3 + j]);\n"
                         "      if (!e) return null;\n"
                         "      if (e.checked) { chosen += String.fromCharCode(65 + j); states += '1'; } else states += '0';\n"
                         "    }\n"
                         "    if (chosen !== d[i + 2]) wrong.push(stem);\n"
                         "  }\n"
                         "  for (i = 0; i < wrong.length; ++i) wrong[i].style.color = color;\n"
                         "  return states;\n"
                         "})([");
  char digits[16];
  for (size_t i = 0; i < items.size(); ++i) {
    const ChoiceMark &m = items[i];
    const int len = std::snprintf(digits, sizeof digits, "%d", m.number);
    const QLatin1String n(digits, len);
    if (i)
      data += QLatin1Char(',');
    data += QLatin1String("\"T");
    data += n;
    data += QLatin1Char('_');
    data += n;
    data += QLatin1String("\",");
    data += QString::number(m.options);
    data += QLatin1Char(',');
    appendJsString(data, m.rightLetters);
    for (int k = 0; k < m.options; ++k) {
      data += QLatin1String(",\"");
      data += n;
      data += QLatin1Char('/');
      if (k < 10)
        data += QLatin1Char(char('0' + k));
      else
        data += QString::number(k);
      data += QLatin1Char('"');
    }
  }
  data += QLatin1String("],");
  appendJsString(data, color);
  data += QLatin1Char(')');
  // One pass above reads every state and collects the wrong stems; they are
  // coloured only when no element was missing. The states come back as one
  // text of "0" and "1".
  const QVariant result = callScript(data);
  if (result.isNull() || !result.isValid())
    return std::nullopt;
  if (result.typeId() != QMetaType::QString)
    throw AppError(QStringLiteral("无法读取页面的答题状态"));
  const QString text = result.toString();
  std::vector<bool> states;
  states.reserve(size_t(text.size()));
  for (const QChar c : text)
    states.push_back(c == QLatin1Char('1'));
  return states;
}

bool WebHtmlView::printToPdf(const QString &path) {
  waitForLoad();
  auto pending = std::make_shared<Pending>();
  auto connection = connect(page(), &QWebEnginePage::pdfPrintingFinished, this,
                            [pending, path](const QString &file, bool ok) {
                              if (file == path)
                                pending->finish(ok);
                            });
  page()->printToPdf(path);
  const bool finished = waitFor(pending, ScriptTimeoutMs);
  disconnect(connection);
  return finished && pending->value.toBool();
}

void WebHtmlView::printPreview() {
  // Laying a long paper out for the preview takes seconds: the busy cursor
  // shows it until the preview is on screen, and while it draws again.
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  auto busy = std::make_shared<bool>(true);
  const auto notBusy = [busy] {
    if (std::exchange(*busy, false))
      QGuiApplication::restoreOverrideCursor();
  };
  const auto cursorBack = qScopeGuard(notBusy);
  // A long paper still loading would print only its first part.
  if (!waitForLoad(PrintLoadWaitMs)) {
    notBusy();
    dialogs().information(QStringLiteral("页面还在载入，后面的内容还没有显示出来。请等载入完成后再打印。"),
                          QStringLiteral("打印预览"));
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  // The engine prints into the printer on a thread of its own. A job that
  // outlasts the preview's wait (a loaded machine, a long paper) must end
  // before the next one starts and before the printer goes away.
  auto printing = std::make_shared<bool>(false);
  const auto untilPrinted = [this, printing] {
    if (!*printing)
      return;
    auto pending = std::make_shared<Pending>();
    auto connection = connect(m_view, &QWebEngineView::printFinished, this, [pending] { pending->finish(); });
    waitFor(pending, 4 * ScriptTimeoutMs);
    disconnect(connection);
  };
  auto ended = connect(m_view, &QWebEngineView::printFinished, this, [printing] { *printing = false; });
  auto *preview = new QPrintPreviewDialog(&printer, this);
  connect(preview, &QPrintPreviewDialog::paintRequested, this,
          [this, printing, untilPrinted, busy, notBusy](QPrinter *target) {
    if (!std::exchange(*busy, true))
      QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    untilPrinted();
    auto pending = std::make_shared<Pending>();
    auto connection = connect(m_view, &QWebEngineView::printFinished, this,
                              [pending](bool ok) { pending->finish(ok); });
    *printing = true;
    m_view->print(target);
    waitFor(pending, ScriptTimeoutMs);
    disconnect(connection);
    QTimer::singleShot(0, this, notBusy); // the drawn pages are shown next
  });
  execOwned(preview);
  untilPrinted();
  disconnect(ended);
}

void WebHtmlView::setExternal(QObject *external, const QString &trustedRoot) {
  detachExternal();
  m_external = external;
  m_trustedRoot = trustedRoot.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(trustedRoot).absoluteFilePath()) +
                                                          QLatin1Char('/');
  offerExternalTo(url());
}

bool WebHtmlView::trusted(const QUrl &url) const {
  if (!m_external || m_trustedRoot.isEmpty() || !url.isLocalFile())
    return false;
  return QDir::cleanPath(url.toLocalFile()).startsWith(m_trustedRoot);
}

void WebHtmlView::offerExternalTo(const QUrl &url) {
  if (!trusted(url)) {
    detachExternal();
    return;
  }
  if (m_channel)
    return;
  m_channel = new QWebChannel(this);
  m_channel->registerObject(BridgeObjectName, m_external);
  page()->setWebChannel(m_channel, QWebEngineScript::MainWorld);
  QWebEngineScript script;
  script.setName(BridgeScriptName);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  script.setSourceCode(bridgeScript(m_external->metaObject()));
  page()->scripts().insert(script);
}

void WebHtmlView::detachExternal() {
  QWebEngineScriptCollection &scripts = page()->scripts();
  for (const QWebEngineScript &s : scripts.find(BridgeScriptName))
    scripts.remove(s);
  if (m_channel) {
    page()->setWebChannel(nullptr);
    delete m_channel;
    m_channel = nullptr;
  }
}
