// test-links: widgets
// ctest-timeout: 180
// The HTML view over QWebEngineView: loading local files whatever the case
// of their names, documents written line by line, scripts, reading and
// colouring elements, printing, and the host object of page script.

#include "FakeDialogs.h"
#include "TestEnv.h"
#include "render/ui/ExternalContainer.h"
#include "render/Gbk.h"
#include "render/ui/NulContainer.h"
#include "render/ui/PageParts.h"
#include "render/ui/WebHtmlView.h"
#include "store/FileError.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrintPreviewWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeGbk(const QString &path, const QStringList &lines) {
  GbkLineWriter out;
  for (const QString &line : lines)
    out.writeLine(line);
  out.saveTo(path);
}

void writeText(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

const QString kHead = QStringLiteral(
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"
    "<link href=\"main.css\" rel=\"stylesheet\" type=\"text/css\" /></head>");

} // namespace

// Receives calls from page script (the test's window.external).
class Recorder : public QObject {
  Q_OBJECT
public:
  QStringList calls;
public slots:
  void Note(const QString &text) { calls << QStringLiteral("Note:") + text; }
  void Number(int n) { calls << QStringLiteral("Number:%1").arg(n); }
};

class TstHtmlView : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnv::ProgramDirFixture> m_dir;
  std::unique_ptr<WebHtmlView> m_view;

  QVariant eval(const QString &script) { return m_view->evaluate(script); }
  QString css(const QString &relative) { return m_dir->path(QStringLiteral("css/") + relative); }

private slots:
  void initTestCase() {
    m_dir = std::make_unique<TestEnv::ProgramDirFixture>(QStringList{QStringLiteral("SELECT 1;")});
    QVERIFY(m_dir->isValid());
  }

  void init() {
    m_view = std::make_unique<WebHtmlView>();
    m_view->resize(800, 600);
    m_view->show();
    writeText(css(QStringLiteral("Main.css")), "body{background-color:#123456;}\r\n");
  }

  void cleanup() {
    if (m_view)
      QVERIFY2(m_view->scriptErrors().isEmpty(), qPrintable(m_view->scriptErrors().join(QLatin1Char('\n'))));
    m_view.reset();
  }

  // A GBK page reached under another letter case links "main.css" and an
  // image under "CSS/IM": both reach the files css/Main.css and css/im/.
  void localNamesIgnoreCase() {
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::red);
    QVERIFY(pic.save(css(QStringLiteral("im/dot.png"))));
    writeGbk(css(QStringLiteral("Test.html")),
             {kHead, QStringLiteral("<body><span id=\"t\">中文页面</span>"),
              QStringLiteral("<img id=\"pic\" src=\"../CSS/IM/Dot.PNG\" /></body></html>")});

    m_view->navigate(m_dir->path(QStringLiteral("CSS/test.HTML")));
    QVERIFY(m_view->waitForLoad());
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(18, 52, 86)"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('t').innerText")).toString(), QStringLiteral("中文页面"));
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('pic').naturalWidth")).toInt(), 4);
  }

  // A page longer than the engine's first part, up to the limit, comes
  // through the view's own scheme and one over it as the file; either way
  // the whole page arrives, its sheet and picture are found under another
  // letter case, and the view reports the file's address.
  void longPagesArriveWhole_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("in parts") << qint64(3 * PageParts::FirstPart) << "qbrx-page";
    QTest::newRow("over the limit") << qint64(PageParts::MaxSize + 1024) << "file";
  }
  void longPagesArriveWhole() {
    QFETCH(qint64, size);
    QFETCH(QString, scheme);
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::red);
    QVERIFY(pic.save(css(QStringLiteral("im/dot.png"))));
    QStringList lines{kHead, QStringLiteral("<body><img id=\"pic\" src=\"IM/Dot.PNG\" />")};
    qint64 written = 0;
    for (int i = 0; written < size; ++i) {
      lines << QStringLiteral("<p>第%1段 长页面的内容，长页面的内容，长页面的内容。</p>").arg(i);
      written += lines.back().size(); // at least a byte a character
    }
    lines << QStringLiteral("<p id=\"last\">最后一段</p></body></html>");
    writeGbk(css(QStringLiteral("Long.html")), lines);
    QVERIFY(QFileInfo(css(QStringLiteral("Long.html"))).size() >= size);

    const QString path = m_dir->path(QStringLiteral("css/Long.html"));
    m_view->navigate(path);
    QVERIFY(m_view->waitForLoad(60000));
    QCOMPARE(eval(QStringLiteral("location.protocol")).toString(), scheme + QLatin1Char(':'));
    QCOMPARE(m_view->url(), QUrl::fromLocalFile(path));
    QCOMPARE(eval(QStringLiteral("document.getElementById('last').innerText")).toString(), QStringLiteral("最后一段"));
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(18, 52, 86)"));
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('pic').naturalWidth")).toInt(), 4);
  }

  // The lines written since navigate("about:blank") form the page shown,
  // whatever charset they declare; a new about:blank starts a new document.
  void writtenDocument() {
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(kHead);
    m_view->writeln(QStringLiteral("<body><p id=\"a\">第一行 \U00020000</p>"));
    m_view->writeln(QStringLiteral("<p id=\"b\">second</p></body></html>"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('a').innerText + '|' + "
                                 "document.getElementById('b').innerText"))
                 .toString(),
             QStringLiteral("第一行 \U00020000|second"));

    // Lines written after the page was shown still append to it.
    m_view->writeln(QStringLiteral("<p id=\"c\">later</p>"));
    QCOMPARE(eval(QStringLiteral("document.querySelectorAll('p').length")).toInt(), 3);

    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body><p id=\"n\">new</p></body>"));
    QCOMPARE(eval(QStringLiteral("document.body.innerText.trim()")).toString(), QStringLiteral("new"));
  }

  void evaluate_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("number") << "1 + 1" << QVariant(2);
    QTest::newRow("text") << "'中' + '文'" << QVariant(QStringLiteral("中文"));
    QTest::newRow("array") << "[true, 'a']" << QVariant(QVariantList{true, QStringLiteral("a")});
    QTest::newRow("global function") << "function twice(x) { return 2 * x; } twice(21)" << QVariant(42);
    QTest::newRow("statement") << "var x = 1;" << QVariant();
  }

  // Script runs in the page's global scope and gives its last value back.
  void evaluate() {
    QFETCH(QString, script);
    QFETCH(QVariant, expected);
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body>x</body>"));
    const QVariant value = eval(script);
    if (expected.isValid())
      QCOMPARE(value, expected);
    else
      QVERIFY(!value.isValid() || value.isNull());
  }

  // Declarations stay in the page; a failing script throws with the
  // engine's message and nothing is left in the console.
  void runScriptFailures() {
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body>x</body>"));
    m_view->runScript(QStringLiteral("function changeColour() { document.body.style.color = 'red'; }"));
    m_view->runScript(QStringLiteral("changeColour()"));
    QCOMPARE(eval(QStringLiteral("document.body.style.color")).toString(), QStringLiteral("red"));
    try {
      m_view->runScript(QStringLiteral("changeFont(1)"));
      QFAIL("no error for a missing function");
    } catch (const AppError &e) {
      QVERIFY2(e.message().contains(QStringLiteral("changeFont")), qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(AppError, m_view->runScript(QStringLiteral("syntax error here")));
  }

  // `checked` of many ids in one call, missing ones as nullopt; one colour
  // for several elements.
  void readCheckedAndSetColor() {
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body><input type=\"Radio\" id=\"12/0\" name=\"12_12\" checked />"
                                   "<input type=\"CheckBox\" id=\"12/1\" name=\"12_12\" />"
                                   "<span id=\"T12_12\">stem</span><span id=\"T13_13\">stem</span></body>"));
    const auto checked = m_view->readChecked({QStringLiteral("12/0"), QStringLiteral("12/1"),
                                              QStringLiteral("99/0"), QStringLiteral("T12_12")});
    QCOMPARE(int(checked.size()), 4);
    QCOMPARE(checked[0], std::optional<bool>(true));
    QCOMPARE(checked[1], std::optional<bool>(false));
    QCOMPARE(checked[2], std::optional<bool>());
    QCOMPARE(checked[3], std::optional<bool>(false));
    QVERIFY(m_view->readChecked({}).empty());

    m_view->setColor({QStringLiteral("T12_12"), QStringLiteral("missing"), QStringLiteral("T13_13")},
                     QStringLiteral("red"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('T12_12').style.color + ',' + "
                                 "document.getElementById('T13_13').style.color"))
                 .toString(),
             QStringLiteral("red,red"));
    // On the screen the view's own style draws the page's red darker, so
    // that it reads on the light page (ScreenStyle).
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.getElementById('T12_12')).color + ',' + "
                                 "getComputedStyle(document.getElementById('T13_13')).color"))
                 .toString(),
             QStringLiteral("rgb(192, 0, 0),rgb(192, 0, 0)"));
  }

  // Marking a paper: states read and wrong stems coloured in one call, the
  // same as reading and colouring apart; a missing element colours nothing.
  void markChoices_data() {
    QTest::addColumn<bool>("oneCall");
    QTest::newRow("one call") << true;
    QTest::newRow("read, then colour") << false;
  }
  void markChoices() {
    QFETCH(bool, oneCall);
    auto mark = [&](const std::vector<ChoiceMark> &items) {
      return oneCall ? m_view->markChoices(items, QStringLiteral("red"))
                     : m_view->HtmlView::markChoices(items, QStringLiteral("red"));
    };
    auto colors = [&] {
      return eval(QStringLiteral("['T12_12','T13_13','T14_14','T15_15'].map(function (id) {"
                                 " return document.getElementById(id).style.color; }).join(',')"))
          .toString();
    };
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body>"
                                   "<span id=\"T12_12\">a</span><input type=\"Radio\" id=\"12/0\" checked />"
                                   "<input type=\"Radio\" id=\"12/1\" />"
                                   "<span id=\"T13_13\">b</span><input type=\"CheckBox\" id=\"13/0\" />"
                                   "<input type=\"CheckBox\" id=\"13/1\" checked /><input type=\"CheckBox\" id=\"13/2\" checked />"
                                   "<span id=\"T14_14\">c</span><input type=\"Radio\" id=\"14/0\" />"
                                   "<span id=\"T15_15\">d</span><input type=\"Radio\" id=\"15/0\" checked /></body>"));
    // An option or a stem missing: nothing read, nothing coloured.
    QCOMPARE(mark({{12, 2, QStringLiteral("B")}, {13, 4, QStringLiteral("BC")}}), std::nullopt);
    QCOMPARE(mark({{12, 2, QStringLiteral("B")}, {16, 0, QString()}}), std::nullopt);
    QCOMPARE(colors(), QStringLiteral(",,,"));

    // Right, right, unanswered, and letters no choice can spell (quote,
    // backslash, line separator, lone surrogate: the script still runs).
    const auto states = mark({{12, 2, QStringLiteral("A")},
                              {13, 3, QStringLiteral("BC")},
                              {14, 1, QStringLiteral("A")},
                              {15, 1, QStringLiteral("\"\\\u2028") + QChar(0xD800)}});
    QVERIFY(states);
    QCOMPARE(*states, (std::vector<bool>{true, false, false, true, true, false, true}));
    QCOMPARE(colors(), QStringLiteral(",,red,red"));
    QCOMPARE(mark({}), std::optional<std::vector<bool>>(std::vector<bool>{}));
  }

  // A local page loads what it is made of from its program directory's
  // css/, images/ and fonts/ only, and nothing from the network: its style
  // sheet and pictures load; a picture beside the bank, /etc/hostname and
  // an address on loopback give it nothing; script reads no file at all,
  // not even its own style sheet; no request leaves.
  void pageReachesOnlyItsProgramDirectory() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, [&] {
      while (QTcpSocket *s = server.nextPendingConnection()) {
        ++connections;
        s->deleteLater();
      }
    });
    QVERIFY(QFileInfo::exists(QStringLiteral("/etc/hostname")));
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    QVERIFY(pic.save(m_dir->path(QStringLiteral("images/probe.png"))));
    QVERIFY(pic.save(m_dir->path(QStringLiteral("probe.png"))));
    const QString http = QStringLiteral("http://127.0.0.1:%1/x").arg(server.serverPort());
    writeGbk(css(QStringLiteral("Probe.html")),
             {kHead, QStringLiteral("<body><img id=\"own\" src=\"../Images/Probe.png\" /><img id=\"root\" src=\"../probe.png\" />"),
              QStringLiteral("<img id=\"net\" src=\"%1.png\" /><iframe id=\"f\" src=\"file:///etc/hostname\"></iframe>").arg(http),
              QStringLiteral("</body></html>")});

    m_view->navigate(css(QStringLiteral("Probe.html")));
    QVERIFY(m_view->waitForLoad());
    m_view->runScript(QStringLiteral(
        "var probe = {};"
        "function get(u, k) { var x = new XMLHttpRequest();"
        "  x.onload = function () { probe[k] = x.responseText.length; };"
        "  x.onerror = function () { probe[k] = -1; };"
        "  x.open('GET', u); x.send(); }"
        "get('file:///etc/hostname', 'file'); get('%1', 'http'); get('main.css', 'own');").arg(http));
    QTRY_VERIFY(eval(QStringLiteral("'file' in probe && 'http' in probe && 'own' in probe")).toBool());
    QCOMPARE(eval(QStringLiteral("probe.file")).toInt(), -1);
    QCOMPARE(eval(QStringLiteral("probe.http")).toInt(), -1);
    QCOMPARE(eval(QStringLiteral("probe.own")).toInt(), -1);
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(18, 52, 86)"));
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('own').naturalWidth")).toInt(), 4);
    QCOMPARE(eval(QStringLiteral("document.getElementById('net').naturalWidth")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("document.getElementById('root').naturalWidth")).toInt(), 0);
    QCOMPARE(connections, 0);
    // The refusals are reported by the engine as page errors.
    m_view->clearScriptErrors();
  }

  // Reload shows the page with the style sheet as it is on disk now.
  void reloadTakesNewSheet() {
    writeGbk(css(QStringLiteral("Question.html")), {kHead, QStringLiteral("<body>x</body></html>")});
    m_view->navigate(css(QStringLiteral("Question.html")));
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(18, 52, 86)"));
    writeText(css(QStringLiteral("Main.css")), "body{background-color:#F9F9F9;}\r\n");
    m_view->reload();
    QVERIFY(m_view->waitForLoad());
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(249, 249, 249)"));
  }

  // A navigation that replaces one still loading: the last one is shown.
  void lastNavigationWins() {
    writeGbk(css(QStringLiteral("One.html")), {QStringLiteral("<body>one</body>")});
    writeGbk(css(QStringLiteral("Two.html")), {QStringLiteral("<body>two</body>")});
    m_view->navigate(css(QStringLiteral("One.html")));
    m_view->navigate(css(QStringLiteral("Two.html")));
    QVERIFY(m_view->waitForLoad());
    QCOMPARE(eval(QStringLiteral("document.body.innerText.trim()")).toString(), QStringLiteral("two"));
  }

  void printing() {
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body><h1>打印</h1></body>"));
    const QString pdf = m_dir->path(QStringLiteral("page.pdf"));
    QVERIFY(m_view->printToPdf(pdf));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5).startsWith("%PDF-"));

    FakeDialogs fake;
    int pages = -1;
    fake.modalHandler = [&](QDialog &dialog) {
      auto *preview = dialog.findChild<QPrintPreviewWidget *>();
      if (preview) {
        preview->updatePreview();
        pages = preview->pageCount();
      }
      return int(QDialog::Accepted);
    };
    m_view->printPreview();
    QCOMPARE(fake.modalForms, QStringList{QStringLiteral("QPrintPreviewDialog")});
    QCOMPARE(pages, 1);
  }

  // What the page reports as an error is kept for the caller.
  void scriptErrorsAreKept() {
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->writeln(QStringLiteral("<body><script>noSuchFunction();</script></body>"));
    QVERIFY(m_view->waitForLoad());
    QTRY_VERIFY(!m_view->scriptErrors().isEmpty());
    QVERIFY(m_view->scriptErrors().first().contains(QStringLiteral("noSuchFunction")));
    m_view->clearScriptErrors();
  }

  // Lines written with writeln are shown from the event loop; when that
  // fails (no temporary folder) the error does not escape into the event
  // loop (the general error handler shows nothing) but reaches the next
  // caller that waits for the page.
  void writeFailureReachesTheCaller() {
    FakeDialogs fake;
    const QByteArray tmp = qgetenv("TMPDIR");
    QTemporaryDir gone;
    const QString missing = gone.path() + QStringLiteral("/missing");
    qputenv("TMPDIR", QFile::encodeName(missing));
    WebHtmlView view;
    view.navigate(QStringLiteral("about:blank"));
    view.writeln(QStringLiteral("<body>x</body>"));
    // The write runs from the event loop: let it fail there.
    QCoreApplication::processEvents();
    bool thrown = false;
    try {
      view.waitForLoad();
    } catch (const FileError &) {
      thrown = true;
    }
    if (tmp.isNull())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", tmp);
    QVERIFY(thrown);
    QVERIFY(fake.shown.isEmpty());
  }

  // window.external reaches the host object: calls made while the page is
  // still loading wait for the connection, arguments are converted to the
  // parameter types, the order is kept.
  void hostObjectCalls() {
    Recorder recorder;
    m_view->setExternal(&recorder, m_dir->root());
    writeGbk(css(QStringLiteral("Host.html")),
             {QStringLiteral("<html><head><script language=\"JavaScript\">"),
              QStringLiteral("external.Note('早');"), QStringLiteral("</script></head>"),
              QStringLiteral("<body><span id=\"s\" onclick=\"external.Number('12');external.Note(event.srcElement.id);\">"
                             "x</span></body></html>")});
    m_view->navigate(css(QStringLiteral("Host.html")));
    m_view->runScript(QStringLiteral("document.getElementById('s').click()"));
    const QStringList expected{QStringLiteral("Note:早"), QStringLiteral("Number:12"), QStringLiteral("Note:s")};
    QTRY_COMPARE(recorder.calls, expected);

    // A number the page passes that is no number fails in the page.
    QVERIFY_THROWS_EXCEPTION(AppError, m_view->runScript(QStringLiteral("external.Number('12a')")));
    m_view->setExternal(nullptr, {});
  }

  // The main view's container hands out one bridge object to the program's
  // own pages; a plain container leaves the page without one.
  void containers() {
    const QString page = css(QStringLiteral("Own.html"));
    writeGbk(page, {QStringLiteral("<html><body>x</body></html>")});
    {
      TExternalContainer container(m_view.get(), m_dir->root());
      TMyExternal *first = container.GetExternal();
      QVERIFY(first);
      QCOMPARE(container.GetExternal(), first);
      QCOMPARE(m_view->external(), static_cast<QObject *>(first));
      m_view->navigate(page);
      QCOMPARE(eval(QStringLiteral("typeof external.DoSeaarchData + ',' + typeof external.SubbitError")).toString(),
               QStringLiteral("function,function"));
    }
    QCOMPARE(m_view->external(), nullptr);

    TNulWBContainer plain(m_view.get());
    QCOMPARE(plain.GetExternal(), nullptr);
    m_view->navigate(page);
    QCOMPARE(eval(QStringLiteral("typeof external.DoSeaarchData")).toString(), QStringLiteral("undefined"));
  }

  // Pages that are not files of the program directory — an address served
  // over HTTP, a written document, a file elsewhere — get neither
  // window.external nor the channel, even in the main view; the program's
  // own page after them gets both again.
  // A web page cannot reach the program's files through the view's own
  // scheme: a picture, a frame and a script read of it all fail.
  void webPagesCannotReachTheViewsScheme() {
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::red);
    QVERIFY(pic.save(css(QStringLiteral("im/dot.png"))));
    const QString target = QStringLiteral("qbrx-page:") + QUrl::fromLocalFile(css(QStringLiteral("im/dot.png"))).path();
    const QByteArray body =
        ("<html><body><img id=\"p\" src=\"" + target + "\"><iframe id=\"f\" src=\"" + target +
         "\"></iframe><script>window.read = 'pending'; fetch('" + target +
         "').then(function () { window.read = 'read'; }, function () { window.read = 'refused'; });</script>"
         "</body></html>")
            .toUtf8();
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, &server, [&server, body] {
      QTcpSocket *socket = server.nextPendingConnection();
      connect(socket, &QTcpSocket::readyRead, socket, [socket, body] {
        socket->readAll();
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
      });
    });
    m_view->navigate(QStringLiteral("http://127.0.0.1:%1/page.html").arg(server.serverPort()));
    QVERIFY(m_view->waitForLoad());
    QTRY_COMPARE(eval(QStringLiteral("window.read")).toString(), QStringLiteral("refused"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('p').naturalWidth")).toInt(), 0);
    m_view->clearScriptErrors(); // the engine reports the refused loads
  }

  void bridgeOnlyForOwnPages() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, &server, [&server] {
      QTcpSocket *socket = server.nextPendingConnection();
      connect(socket, &QTcpSocket::readyRead, socket, [socket] {
        socket->readAll();
        const QByteArray body = "<html><body>vendor</body></html>";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
      });
    });
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("Outside.html"));
    writeGbk(outside, {QStringLiteral("<html><body>outside</body></html>")});
    const QString own = css(QStringLiteral("Own.html"));
    writeGbk(own, {QStringLiteral("<html><body>own</body></html>")});

    TExternalContainer container(m_view.get(), m_dir->root());
    const QString probe = QStringLiteral("typeof external.SubbitError + ',' + "
                                         "(typeof qt !== 'undefined' && !!qt.webChannelTransport)");
    const QString address = QStringLiteral("http://127.0.0.1:%1/zkxx.html").arg(server.serverPort());
    for (const QString &target : {address, outside, QStringLiteral("about:blank")}) {
      m_view->navigate(target);
      if (target == QLatin1String("about:blank"))
        m_view->writeln(QStringLiteral("<body>written</body>"));
      QVERIFY2(m_view->waitForLoad(), qPrintable(target));
      QCOMPARE(eval(probe).toString(), QStringLiteral("undefined,false"));
    }
    m_view->navigate(own);
    QCOMPARE(eval(probe).toString(), QStringLiteral("function,true"));
  }
};

QBRX_TEST_MAIN(TstHtmlView)
#include "tst_htmlview.moc"
