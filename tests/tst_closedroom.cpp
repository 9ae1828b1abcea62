// test-links: widgets
// ctest-timeout: 240
// The paper view is a closed room: a bank's texts run as script in the
// question page, and whatever they try (navigating away, reading the bank
// file, sending to the network, WebRTC) leaves the paper on display and
// sends nothing off it. The program's own navigations still go where they
// are sent: a vendor's page by address, the shipped pages.

#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "HttpTestServer.h"
#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "render/ChromiumFlags.h"
#include "render/Gbk.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "render/StyleSheet.h"
#include "render/ui/ExternalContainer.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

namespace {

QString sqlText(const QString &text) {
  return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// A bank of single-choice questions with the given texts (小题号 1, 2, ...).
QString bankSql(const QStringList &texts) {
  QString sql = QStringLiteral(
      "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES (1,'单项选择题','（单选）',1);\n");
  for (int i = 0; i < texts.size(); ++i) {
    const int n = i + 1;
    sql += QStringLiteral("INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) "
                          "VALUES (%1,%1,1,'单项选择题',1,%2,'A','',0);\n"
                          "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES (%1,%1,1,'甲'),(%1,%1,2,'乙');\n")
               .arg(n)
               .arg(sqlText(texts[i]));
  }
  return sql;
}

// Listeners on loopback that count what reaches them: TCP connections and
// UDP datagrams.
struct Listeners {
  QTcpServer tcp;
  QUdpSocket udp;
  int connections = 0;
  int datagrams = 0;
  QByteArray received;

  bool start() {
    if (!tcp.listen(QHostAddress::LocalHost) || !udp.bind(QHostAddress::LocalHost, 0))
      return false;
    QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] {
      while (QTcpSocket *s = tcp.nextPendingConnection()) {
        ++connections;
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { received += s->readAll(); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
    QObject::connect(&udp, &QUdpSocket::readyRead, &udp, [this] {
      while (udp.hasPendingDatagrams()) {
        ++datagrams;
        udp.receiveDatagram();
      }
    });
    return true;
  }
  bool anything() const { return connections > 0 || datagrams > 0; }
  QString http(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(tcp.serverPort()).arg(path);
  }
};

// Whether `happened` turns true within `ms`: the bounded look for something
// that must not happen (it returns as soon as it does).
bool happensWithin(const std::function<bool()> &happened, int ms) { return QTest::qWaitFor(happened, ms); }

} // namespace

class TstClosedRoom : public QObject {
  Q_OBJECT

  std::unique_ptr<FeatureHarness> m_harness;
  // Short names for the harness's parts.
  PaperState &paperState() { return m_harness->paper; }
  ProgramDir m_dir;
  TDataModule1 *m_dm = nullptr;
  FakeDialogs *m_dialogs = nullptr;
  WebHtmlView *m_view = nullptr;
  QStringList m_refused; // the navigations the view refused, in order

  QVariant eval(const QString &script) { return m_view->evaluate(script); }

  // The bank's paper, built by the page builder and shown in a view with
  // the main window's bridge.
  void showPaper(const QStringList &texts) {
    m_harness = std::make_unique<FeatureHarness>(QStringList{bankSql(texts)});
    m_dir = m_harness->programDir;
    m_dm = &m_harness->dm;
    m_dialogs = m_harness->fake();
    m_harness->loadParameters();
    m_view = &m_harness->openView();
    m_refused.clear();
    connect(m_view, &WebHtmlView::navigationRefused, this, [this](const QUrl &url) { m_refused << url.toString(); });
    std::vector<TXiaoTi> items;
    for (int i = 1; i <= texts.size(); ++i)
      items.push_back(TXiaoTi{i});
    QVERIFY(m_harness->showPaper(items, PaperKinds::Chapter));
  }

  // The paper is still the page on display, with its script and bridge.
  void paperStillShown() {
    QVERIFY2(QUrl::fromLocalFile(m_dir.questionPagePath()).matches(m_view->url(), QUrl::RemoveQuery),
             qPrintable(m_view->url().toString()));
    QCOMPARE(eval(QStringLiteral("[document.getElementById('T1_1') !== null, typeof SubmitQuestion, "
                                 "typeof external.SubbitError].join()"))
                 .toString(),
             QStringLiteral("true,function,function"));
  }

private slots:
  void cleanup() {
    if (m_view) {
      // The refusals are reported by the engine as page errors; a page
      // process that ended is not.
      for (const QString &e : m_view->scriptErrors())
        QVERIFY2(!e.startsWith(QLatin1String("the page's process ended")), qPrintable(e));
    }
    if (m_dialogs)
      QVERIFY2(m_dialogs->shown.isEmpty(), qPrintable(m_dialogs->texts().join(QLatin1Char('\n'))));
    m_view = nullptr;
    m_dm = nullptr;
    m_dialogs = nullptr;
    m_harness.reset();
  }

  void chromiumFlags_data() {
    QTest::addColumn<QByteArray>("given");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray policy = "--force-webrtc-ip-handling-policy=disable_non_proxied_udp";
    QTest::newRow("none") << QByteArray() << policy;
    QTest::newRow("others kept") << QByteArray(" --no-sandbox  --disable-gpu ") << "--no-sandbox --disable-gpu " + policy;
    QTest::newRow("switch without a value") << QByteArray("--force-webrtc-ip-handling-policy --no-sandbox")
                                            << "--no-sandbox " + policy;
    QTest::newRow("another policy") << QByteArray("--force-webrtc-ip-handling-policy=default") << policy;
  }

  // The engine's switch that takes UDP away from WebRTC is always there,
  // with its value, whatever else the variable holds.
  void chromiumFlags() {
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, expected);
    QCOMPARE(WithProgramChromiumFlags(given), expected);
  }

  // The texts of a bank try every way out at once: meta refresh, script,
  // link, form and window to an address, the bank file read by script,
  // fetch, web socket, beacon, preconnect and picture to a loopback
  // listener, WebRTC to a loopback STUN port. The bank file is not read,
  // nothing reaches the listeners, and the paper stays on display.
  void bankTextsCannotLeave() {
    Listeners net;
    QVERIFY(net.start());
    const QStringList texts{
        QStringLiteral("<script>var results = {}; function report(k, v) { results[k] = String(v); }</script>"
                       "<meta http-equiv=\"refresh\" content=\"0;url=%1\">刷新")
            .arg(net.http(QStringLiteral("meta"))),
        // The bank file, read synchronously: the answer is there before the
        // script goes on.
        QStringLiteral("<script>try { var x = new XMLHttpRequest(); x.open('GET', '../QBRX.db', false); x.send();"
                       "  report('xhr', 'read ' + x.responseText.length); } catch (e) { report('xhr', 'refused'); }"
                       "</script>读题库"),
        QStringLiteral("<script>fetch('%1', {mode: 'no-cors'}).catch(function () {});"
                       "  try { new WebSocket('%2'); } catch (e) {}"
                       "  navigator.sendBeacon('%3', 'x');</script>"
                       "<link rel=\"preconnect\" href=\"%4\"><link rel=\"dns-prefetch\" href=\"%4\">"
                       "<img src=\"%5\">网络")
            .arg(net.http(QStringLiteral("fetch")),
                 net.http(QStringLiteral("ws")).replace(QLatin1String("http:"), QLatin1String("ws:")),
                 net.http(QStringLiteral("beacon")), net.http(QString()), net.http(QStringLiteral("img"))),
        // Gathering ends at once when WebRTC may not use UDP; with UDP it
        // would send STUN requests to the port for many seconds.
        QStringLiteral("<script>(function () {"
                       "  if (typeof RTCPeerConnection === 'undefined') { report('rtc', 'unavailable'); return; }"
                       "  var pc = new RTCPeerConnection({iceServers: [{urls: 'stun:127.0.0.1:%1'}]});"
                       "  pc.createDataChannel('d');"
                       "  pc.onicecandidate = function (e) { if (!e.candidate) report('rtc', 'gathered'); };"
                       "  pc.createOffer().then(function (o) { return pc.setLocalDescription(o); })"
                       "    .catch(function (e) { report('rtc', 'failed ' + e); });"
                       "})();</script>WebRTC")
            .arg(net.udp.localPort()),
        // Last, as a navigation under way may stop the page's parsing; the
        // later navigations may replace the earlier before they are asked.
        QStringLiteral("<script>(function () {"
                       "  report('open', window.open('%1') === null ? 'refused' : 'opened');"
                       "  var a = document.createElement('a'); a.href = '%2'; document.body.appendChild(a); a.click();"
                       "  var f = document.createElement('form'); f.method = 'post'; f.action = '%3';"
                       "  document.body.appendChild(f); f.submit();"
                       "  location.href = '%4';"
                       "})();</script>跳转")
            .arg(net.http(QStringLiteral("open")), net.http(QStringLiteral("link")), net.http(QStringLiteral("form")),
                 net.http(QStringLiteral("location"))),
    };
    showPaper(texts);

    // Until the page's last attempts are done (WebRTC has gathered, the
    // last navigation was refused), or something arrived.
    const auto done = [&] {
      return net.anything() || (m_refused.contains(net.http(QStringLiteral("location"))) &&
                                eval(QStringLiteral("'rtc' in results")).toBool());
    };
    QTRY_VERIFY_WITH_TIMEOUT(done(), 20000);
    // Nothing arrives, not a little later either.
    QVERIFY2(!happensWithin([&] { return net.anything(); }, 1000),
             qPrintable(QStringLiteral("%1 connections, %2 datagrams: %3")
                            .arg(net.connections)
                            .arg(net.datagrams)
                            .arg(QString::fromLatin1(net.received.left(200)))));
    const QVariantMap results = eval(QStringLiteral("results")).toMap();
    QCOMPARE(results.value(QStringLiteral("xhr")).toString(), QStringLiteral("refused"));
    QCOMPARE(results.value(QStringLiteral("open")).toString(), QStringLiteral("refused"));
    QVERIFY(results.value(QStringLiteral("rtc")).toString() == QLatin1String("gathered") ||
            results.value(QStringLiteral("rtc")).toString() == QLatin1String("unavailable"));
    paperStillShown();
    QVERIFY(!m_view->loadPending());
  }

  void refusedNavigationsLeaveThePaper_data() {
    QTest::addColumn<QString>("how");    // text: the bank's text; script: runJavaScript; load: the engine (as the developer tools)
    QTest::addColumn<QString>("code");   // the text or script; %1 is the target
    QTest::addColumn<QString>("target"); // http (a loopback listener), data, outside (a file), bank (QBRX.db), or as is
    QTest::addColumn<bool>("asked");     // the view is asked (and refuses); else the engine drops it itself

    const QString meta = QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=%1\">");
    const QString script = QStringLiteral("<script>location.href = '%1';</script>");
    const QString link = QStringLiteral("<a id=\"go\" href=\"%1\">go</a><script>document.getElementById('go').click();</script>");
    const QString form = QStringLiteral("<script>var f = document.createElement('form'); f.action = '%1';"
                                        " document.body.appendChild(f); f.submit();</script>");
    const QString location = QStringLiteral("location.href = '%1'");
    QTest::newRow("meta refresh to an address") << "text" << meta << "http" << true;
    QTest::newRow("meta refresh to the bank file") << "text" << meta << "bank" << true;
    QTest::newRow("script to data:") << "text" << script << "data" << false;
    QTest::newRow("script to a file elsewhere") << "text" << script << "outside" << true;
    QTest::newRow("link to the bank file") << "text" << link << "bank" << true;
    QTest::newRow("link to an address") << "text" << link << "http" << true;
    QTest::newRow("form to an address") << "text" << form << "http" << true;
    QTest::newRow("runJavaScript to data:") << "script" << location << "data" << false;
    QTest::newRow("runJavaScript to javascript:") << "script" << location << "javascript:void(0)" << false;
    QTest::newRow("runJavaScript to /etc/hostname") << "script" << location << "file:///etc/hostname" << true;
    QTest::newRow("runJavaScript to an address") << "script" << location << "http" << true;
    QTest::newRow("engine load of data:") << "load" << QString() << "data" << true;
    QTest::newRow("engine load of a file elsewhere") << "load" << QString() << "outside" << true;
    // The scheme the view loads its pages through is the files' by another
    // name: the same answers.
    QTest::newRow("script to a file elsewhere in the view's scheme") << "text" << script << "outside-parts" << true;
    QTest::newRow("engine load of a file elsewhere in the view's scheme") << "load" << QString() << "outside-parts" << true;
  }

  // A navigation the page starts, to anywhere, is refused or dropped; one
  // that reaches the engine from elsewhere to a page of the other kind is
  // refused. The program goes on, the paper stays, nothing is sent.
  void refusedNavigationsLeaveThePaper() {
    QFETCH(QString, how);
    QFETCH(QString, code);
    QFETCH(QString, target);
    QFETCH(bool, asked);
    Listeners net;
    QVERIFY(net.start());
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("Outside.html"));
    GbkLineWriter page;
    page.writeLine(QStringLiteral("<html><body>outside</body></html>"));
    page.saveTo(outside);
    const QString url = target == QLatin1String("http")    ? net.http(QStringLiteral("x"))
                        : target == QLatin1String("data")    ? QStringLiteral("data:text/html,<p>data</p>")
                        : target == QLatin1String("outside") ? QUrl::fromLocalFile(outside).toString()
                        : target == QLatin1String("outside-parts")
                            ? QStringLiteral("qbrx-page:") + QUrl::fromLocalFile(outside).path()
                        : target == QLatin1String("bank")    ? QStringLiteral("../QBRX.db")
                                                             : target;

    // A text's attempt is the second question: a navigation under way may
    // stop the page's parsing there, the first stays whatever happens.
    showPaper({QStringLiteral("题干"),
               how == QLatin1String("text") ? code.arg(url) + QStringLiteral("第二题") : QStringLiteral("第二题")});
    if (how == QLatin1String("script"))
      m_view->page()->runJavaScript(code.arg(url));
    else if (how == QLatin1String("load"))
      m_view->engineView()->load(QUrl(url));

    if (asked)
      QTRY_COMPARE(m_refused.size(), 1);
    else
      QVERIFY(!happensWithin([&] { return !m_refused.isEmpty() || m_view->page()->isLoading(); }, 500));
    QVERIFY(!net.anything());
    paperStillShown();
    if (how != QLatin1String("text"))
      QCOMPARE(eval(QStringLiteral("document.getElementById('T2_2').innerText")).toString(), QStringLiteral("2. 第二题"));
  }

  // The help menu's 招考信息 shows the vendor's page at the address of the
  // bank's parameter, through the server's redirect; that page's links
  // work; 试题库 brings the paper back with its bridge.
  void vendorPageCommand() {
    HttpTestServer server;
    HttpTestServer::Route page;
    page.contentType = "text/html; charset=utf-8";
    page.body = "<html><body><p id=\"v\">vendor</p><a id=\"next\" href=\"/next.html\">next</a></body></html>";
    server.route("/zkxx2.html", page);
    page.body = "<html><body><p id=\"v\">next</p></body></html>";
    server.route("/next.html", page);
    HttpTestServer::Route moved;
    moved.mode = HttpTestServer::Mode::Redirect;
    moved.location = server.url(QStringLiteral("/zkxx2.html")).toLatin1();
    server.route("/zkxx.html", moved);

    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    WebHtmlView &view = *w.WebBrowser1;
    QVERIFY(view.waitForLoad());
    QStringList refused;
    connect(&view, &WebHtmlView::navigationRefused, this, [&](const QUrl &url) { refused << url.toString(); });
    ParametersRepository(*w.dataModule()).write(QStringLiteral("招考信息"), server.url(QStringLiteral("/zkxx.html")));

    w.command(QStringLiteral("ActZKXX"))->trigger();
    QVERIFY(view.waitForLoad());
    QTRY_COMPARE(view.evaluate(QStringLiteral("document.getElementById('v').innerText")).toString(),
                 QStringLiteral("vendor"));
    QCOMPARE(view.url(), QUrl(server.url(QStringLiteral("/zkxx2.html"))));

    view.runScript(QStringLiteral("document.getElementById('next').click()"));
    QTRY_COMPARE(view.url(), QUrl(server.url(QStringLiteral("/next.html"))));
    QVERIFY(view.waitForLoad());
    QCOMPARE(view.evaluate(QStringLiteral("document.getElementById('v').innerText")).toString(), QStringLiteral("next"));
    QStringList paths = server.paths();
    paths.removeAll(QStringLiteral("/favicon.ico")); // the engine asks for the page's icon
    QCOMPARE(paths, QStringList({QStringLiteral("/zkxx.html"), QStringLiteral("/zkxx2.html"),
                                          QStringLiteral("/next.html")}));

    w.command(QStringLiteral("ActShiTiKu"))->trigger();
    QVERIFY(view.waitForLoad());
    QVERIFY(QUrl::fromLocalFile(w.programDir().questionPagePath()).matches(view.url(), QUrl::RemoveQuery));
    QCOMPARE(view.evaluate(QStringLiteral("typeof external.SubbitError")).toString(), QStringLiteral("function"));
    QCOMPARE(refused, QStringList());
    QVERIFY2(fixture.dialogs.shown.isEmpty(), qPrintable(fixture.dialogs.texts().join(QLatin1Char('\n'))));
  }
  // The bank's link addresses are web pages or nothing: a script, data or
  // file address is said to be unopenable and the paper stays.
  void bankLinkAddressesAreWebPagesOnly_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("address");
    QTest::newRow("招考信息 script") << "ActZKXX" << "招考信息" << "javascript:external.SubbitError(1)";
    QTest::newRow("招考信息 data") << "ActZKXX" << "招考信息" << "data:text/html,<p>x</p>";
    QTest::newRow("招考信息 file") << "ActZKXX" << "招考信息" << "file:///etc/hostname";
    QTest::newRow("职位查询 file") << "ActZWCX" << "职位查询" << "file:///bin/sh";
  }
  void bankLinkAddressesAreWebPagesOnly() {
    QFETCH(QString, command);
    QFETCH(QString, key);
    QFETCH(QString, address);
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    WebHtmlView &view = *w.WebBrowser1;
    QVERIFY(view.waitForLoad());
    ParametersRepository(*w.dataModule()).write(key, address);
    w.command(command)->trigger();
    QCOMPARE(fixture.dialogs.texts(), QStringList{QStringLiteral("无法打开：") + address});
    QVERIFY(fixture.dialogs.openedUrls.isEmpty());
    QVERIFY(w.Panel6->isVisible());
    QVERIFY(QUrl::fromLocalFile(w.programDir().questionPagePath()).matches(view.url(), QUrl::RemoveQuery));
  }
};

QBRX_TEST_MAIN(TstClosedRoom)
#include "tst_closedroom.moc"
