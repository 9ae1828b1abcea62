#pragma once
// The HTML view over QWebEngineView. Every wait (a load, a script result, a
// print job) runs a local event loop with a timeout on the UI thread.
//
// Local files are found whatever the letter case of their names: a page that
// links "main.css" gets css/Main.css, "CSS/im/x.png" gets css/im/x.png.
//
// The view is a closed room for what its pages do. A local page (the
// program's own pages, a written document) cannot navigate anywhere: links,
// forms, script, meta refresh, history and new windows are refused and the
// page stays as it is. A web page the program showed by its address may go
// on to other web pages, never to a file. What the program navigates to
// itself (navigate, reload) goes where it is sent. The request filter
// (LocalFileInterceptor) decides what a local page may load.
//
// A host object set with setExternal() is what page script reaches as
// window.external: each public slot or Q_INVOKABLE method of the object
// becomes a function of that name. Calls are asynchronous (the page gets no
// result back) and keep their order; calls made before the connection to
// the program is ready are held until it is.

#include "render/HtmlView.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

class QTemporaryDir;
class QTimer;
class QWebChannel;
class QWebEnginePage;
class QWebEngineSettings;
class QWebEngineView;
class LocalFileInterceptor;

class WebHtmlView : public QWidget, public HtmlView {
  Q_OBJECT
public:
  explicit WebHtmlView(QWidget *parent = nullptr);
  ~WebHtmlView() override;
  // The program's view factory (HtmlViewFactory): a view without a host
  // object, for a dialog's page.
  static std::unique_ptr<HtmlView> create(QWidget *parent) { return std::make_unique<WebHtmlView>(parent); }

  QWidget *widget() override { return this; }
  // A load was started and has not finished.
  bool loadPending() const { return m_loadPending; }
  // Starts the page's process on an empty page now, when the view has shown
  // nothing yet. A view made well before its first page (the main window's,
  // made before its other widgets) then finds the process running when that
  // page loads, instead of starting it on the page's way.
  void startPageProcess();
  QWebEngineView *engineView() const { return m_view; }
  QWebEnginePage *page() const;
  QUrl url() const;

  void navigate(const QString &target) override;
  void writeln(const QString &line) override;
  void reload() override;
  void runScript(const QString &script) override;
  // Runs script like runScript and returns the value of its last expression
  // (texts, numbers, truth values, arrays and plain objects; anything else is
  // an invalid QVariant).
  QVariant evaluate(const QString &script);
  std::vector<std::optional<bool>> readChecked(const QStringList &ids) override;
  void setColor(const QStringList &ids, const QString &color) override;
  // Reads and colours in one script call; the page derives the ids from the
  // numbers and option counts.
  std::optional<std::vector<bool>> markChoices(const std::vector<ChoiceMark> &items, const QString &color) override;
  void printPreview() override;
  // Prints the page on display to a PDF file; false when that failed.
  bool printToPdf(const QString &path);
  bool waitForLoad(int timeoutMs = 15000) override;

  // Each time a page at `page` (its query aside) has loaded, the script
  // `script` returns then runs in it; an empty script runs nothing. The
  // page's file is not changed. A later call replaces the earlier one.
  void setScriptAfterLoad(const QUrl &page, std::function<QString()> script);

  // The host object of page script (window.external); nullptr for none.
  // Not owned. Only pages that are local files below `trustedRoot` (the
  // program directory) get it: a page from an address, or any other file,
  // has neither window.external nor the channel to the program.
  void setExternal(QObject *external, const QString &trustedRoot);
  QObject *external() const { return m_external; }

  // Script errors the pages reported (uncaught exceptions and console
  // errors), oldest first, since the last clear.
  QStringList scriptErrors() const { return m_scriptErrors; }
  void clearScriptErrors() { m_scriptErrors.clear(); }

  // How long evaluate(), readChecked() and the print calls wait.
  static constexpr int ScriptTimeoutMs = 30000;
  // How long printing waits for a page still loading before it says so.
  static constexpr int PrintLoadWaitMs = 5000;

signals:
  // A page reported a script error.
  void scriptErrorReported(const QString &message);
  // The request for a page the view loads has been sent (a load's first
  // step that needs the network stage; the engine takes it from the event
  // loop).
  void pageRequested();
  // The view refused a navigation (the page on display stays).
  void navigationRefused(const QUrl &url);

private:
  friend class WebHtmlPage;
  void recordScriptError(const QString &message);
  bool trusted(const QUrl &url) const;
  bool acceptNavigation(const QUrl &url, int type, bool isMainFrame);
  static void closeRoom(QWebEngineSettings *settings);
  bool externalOffered() const { return m_channel != nullptr; }
  void offerExternalTo(const QUrl &url);
  void detachExternal();
  void startLoad(const QUrl &url);
  void flushWrites();
  void throwDeferredError();
  QVariant callScript(const QString &script); // waits; no wrapping

  QWebEngineView *m_view = nullptr;
  LocalFileInterceptor *m_interceptor = nullptr;
  QWebChannel *m_channel = nullptr;
  QPointer<QObject> m_external;
  QString m_trustedRoot; // with a trailing "/"; empty: no page is trusted
  bool m_loadPending = false;
  QUrl m_afterLoadPage;
  std::function<QString()> m_afterLoadScript;
  bool m_ownLoadIsWeb = false;     // the program's last load is an address of the web
  bool m_reloadRequested = false;  // reload() asked, the engine's navigation not yet seen
  quint64 m_loadSerial = 0;
  std::exception_ptr m_deferredError; // from the write timer, for the next waiter

  // The document written line by line since navigate("about:blank"); it is
  // shown from a file of its own (UTF-8 with a byte-order mark, which wins
  // over any charset the lines declare).
  bool m_writing = false;
  QStringList m_lines;
  bool m_flushPending = false;
  QTimer *m_flushTimer = nullptr;
  std::unique_ptr<QTemporaryDir> m_writeDir;

  QStringList m_scriptErrors;
};
