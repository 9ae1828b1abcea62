// Whole-process figures, measured from outside as the learner meets them:
// the program started on a copy of its directory with a 100,000-question
// bank, from the start of the process to its first paper's own
// loadEventEnd, beside a bare Qt WebEngine program (bench/bareview: one
// view of the same size, the same fonts file) opening a copy of the same
// generated page in a copy of the same directory; the two alternate, pair
// by pair. Then the memory of both with a paper of 1,000 sub-questions on
// display: the proportional set size of the process and every engine
// helper below it, after a forced script garbage collection.
//
// Both are watched through the engine's DevTools endpoint on loopback
// (QTWEBENGINE_REMOTE_DEBUGGING), so neither program carries anything for
// the benchmark. QBRX_BENCH_QUESTIONS sets the bank size, QBRX_BENCH_PAIRS
// the start pairs (12), QBRX_BENCH_MEMORY_PAIRS the memory pairs (3).

#include "BankSynth.h"
#include "TestEnv.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <optional>

namespace {

// A GET on loopback; the body, or nothing when nobody answers.
std::optional<QByteArray> httpGet(quint16 port, const QByteArray &path, int timeoutMs = 2000) {
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, port);
  if (!s.waitForConnected(timeoutMs))
    return std::nullopt;
  s.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nConnection: close\r\n\r\n");
  QByteArray reply;
  const QDeadlineTimer deadline(timeoutMs);
  while (s.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
    if (s.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
      reply += s.readAll();
  }
  reply += s.readAll();
  const qsizetype body = reply.indexOf("\r\n\r\n");
  if (!reply.startsWith("HTTP/1.1 200") || body < 0)
    return std::nullopt;
  return reply.mid(body + 4);
}

// The DevTools protocol over one WebSocket (RFC 6455, text frames only).
class DevTools {
public:
  bool open(const QUrl &url) {
    m_socket.connectToHost(url.host(), quint16(url.port()));
    if (!m_socket.waitForConnected(5000))
      return false;
    QByteArray nonce(16, '\0');
    for (char &c : nonce)
      c = char(QRandomGenerator::global()->bounded(256));
    m_socket.write("GET " + url.path().toUtf8() + " HTTP/1.1\r\nHost: " + url.authority().toUtf8() +
                   "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + nonce.toBase64() +
                   "\r\nSec-WebSocket-Version: 13\r\n\r\n");
    const QDeadlineTimer deadline(5000);
    while (!m_buffer.contains("\r\n\r\n")) {
      if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
        return false;
      m_buffer += m_socket.readAll();
    }
    const qsizetype end = m_buffer.indexOf("\r\n\r\n") + 4;
    const bool upgraded = m_buffer.startsWith("HTTP/1.1 101");
    m_buffer.remove(0, end);
    return upgraded;
  }

  // Runs one command; its "result", or an empty object on failure.
  QJsonObject call(const QString &method, const QJsonObject &params = {}) {
    const int id = m_nextId++;
    const QByteArray text = QJsonDocument(QJsonObject{{QStringLiteral("id"), id},
                                                      {QStringLiteral("method"), method},
                                                      {QStringLiteral("params"), params}})
                                .toJson(QJsonDocument::Compact);
    sendText(text);
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
      const std::optional<QByteArray> message = readMessage(deadline);
      if (!message)
        break;
      const QJsonObject reply = QJsonDocument::fromJson(*message).object();
      if (reply.value(QStringLiteral("id")).toInt() == id)
        return reply.value(QStringLiteral("result")).toObject();
    }
    return {};
  }

  // The value of a script expression in the page.
  QJsonValue evaluate(const QString &expression) {
    return call(QStringLiteral("Runtime.evaluate"),
                {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}})
        .value(QStringLiteral("result"))
        .toObject()
        .value(QStringLiteral("value"));
  }

private:
  void sendText(const QByteArray &payload) {
    QByteArray frame;
    frame.append(char(0x81)); // final frame, text
    const qsizetype n = payload.size();
    if (n < 126) {
      frame.append(char(0x80 | n));
    } else if (n < 65536) {
      frame.append(char(0x80 | 126));
      frame.append(char(n >> 8)).append(char(n & 0xFF));
    } else {
      frame.append(char(0x80 | 127));
      for (int shift = 56; shift >= 0; shift -= 8)
        frame.append(char((quint64(n) >> shift) & 0xFF));
    }
    char mask[4];
    for (char &c : mask)
      c = char(QRandomGenerator::global()->bounded(256));
    frame.append(mask, 4);
    for (qsizetype i = 0; i < n; ++i)
      frame.append(char(payload[i] ^ mask[i % 4]));
    m_socket.write(frame);
    m_socket.flush();
  }

  bool fill(qsizetype n, const QDeadlineTimer &deadline) {
    while (m_buffer.size() < n) {
      if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
        return false;
      m_buffer += m_socket.readAll();
    }
    return true;
  }

  // One whole message (fragments joined); control frames are skipped.
  std::optional<QByteArray> readMessage(const QDeadlineTimer &deadline) {
    QByteArray message;
    for (;;) {
      if (!fill(2, deadline))
        return std::nullopt;
      const auto b0 = uchar(m_buffer[0]), b1 = uchar(m_buffer[1]);
      qsizetype header = 2;
      quint64 length = b1 & 0x7F;
      if (length == 126) {
        if (!fill(4, deadline))
          return std::nullopt;
        length = quint64(uchar(m_buffer[2])) << 8 | uchar(m_buffer[3]);
        header = 4;
      } else if (length == 127) {
        if (!fill(10, deadline))
          return std::nullopt;
        length = 0;
        for (int i = 0; i < 8; ++i)
          length = length << 8 | uchar(m_buffer[2 + i]);
        header = 10;
      }
      if (!fill(header + qsizetype(length), deadline))
        return std::nullopt;
      const QByteArray payload = m_buffer.mid(header, qsizetype(length));
      m_buffer.remove(0, header + qsizetype(length));
      const int opcode = b0 & 0x0F;
      if (opcode >= 0x8)
        continue; // close, ping, pong
      message += payload;
      if (b0 & 0x80)
        return message;
    }
  }

  QTcpSocket m_socket;
  QByteArray m_buffer;
  int m_nextId = 1;
};

quint16 freePort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  return s.serverPort();
}

// Proportional set size in kB of `pid` and every process below it.
qint64 treePssKb(qint64 pid) {
  QHash<qint64, QList<qint64>> children;
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &e : entries) {
    bool ok = false;
    const qint64 p = e.toLongLong(&ok);
    if (!ok)
      continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 1)
      children[fields[1].toLongLong()] << p;
  }
  qint64 total = 0;
  QList<qint64> todo{pid};
  while (!todo.isEmpty()) {
    const qint64 p = todo.takeFirst();
    todo << children.value(p);
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(p));
    if (!rollup.open(QIODevice::ReadOnly))
      continue;
    for (const QByteArray &line : rollup.readAll().split('\n'))
      if (line.startsWith("Pss:"))
        total += line.mid(4).trimmed().split(' ').first().toLongLong();
  }
  return total;
}

struct Run {
  QString timeline;      // navigation, response end, DOM ready, load end (ms from the start)
  double startMs = -1;   // process start to the page's loadEventEnd
  qint64 pssKb = -1;     // after a forced garbage collection
  int width = 0, height = 0;
  int stems = 0;         // sub-questions on the page
  QString error;
};

// Starts `program`, waits for a page named like `pageName` to finish
// loading, measures, and ends the process.
Run runOnce(const QString &program, const QStringList &args, const QString &pageName, bool memory) {
  Run run;
  const quint16 port = freePort();
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"), QStringLiteral("127.0.0.1:%1").arg(port));
  process.setProcessEnvironment(env);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
  process.start(program, args);
  if (!process.waitForStarted(10000)) {
    run.error = QStringLiteral("%1 did not start").arg(program);
    return run;
  }

  std::unique_ptr<DevTools> tools;
  bool connected = false;
  const QDeadlineTimer deadline(120000);
  while (!deadline.hasExpired() && process.state() == QProcess::Running) {
    QThread::msleep(10);
    if (!connected) {
      const std::optional<QByteArray> list = httpGet(port, "/json/list");
      if (!list)
        continue;
      for (const QJsonValue &t : QJsonDocument::fromJson(*list).array()) {
        const QJsonObject target = t.toObject();
        if (target.value(QStringLiteral("type")).toString() == QLatin1String("page") &&
            target.value(QStringLiteral("url")).toString().contains(pageName, Qt::CaseInsensitive)) {
          tools = std::make_unique<DevTools>();
          connected = tools->open(QUrl(target.value(QStringLiteral("webSocketDebuggerUrl")).toString()));
          break;
        }
      }
      if (!connected)
        continue;
    }
    const double end = tools->evaluate(QStringLiteral("location.href.toLowerCase().indexOf(%1) >= 0 ? "
                                                     "performance.timing.loadEventEnd : 0")
                                          .arg(QString::fromUtf8(QJsonDocument(QJsonArray{pageName.toLower()})
                                                                     .toJson(QJsonDocument::Compact))
                                                   .mid(1)
                                                   .chopped(1)))
                           .toDouble();
    if (end > 0) {
      run.startMs = end - double(t0);
      break;
    }
  }
  if (run.startMs >= 0) {
    const QJsonArray size = tools->evaluate(QStringLiteral("[innerWidth, innerHeight, "
                                                          "document.getElementsByClassName('TestMainTitle').length]"))
                                .toArray();
    const QJsonArray marks =
        tools->evaluate(QStringLiteral("var t = performance.timing; [t.navigationStart, t.responseEnd, "
                                       "t.domContentLoadedEventEnd, t.loadEventEnd]"))
            .toArray();
    QStringList parts;
    for (const QJsonValue &m : marks)
      parts << QString::number(m.toDouble() - double(t0), 'f', 0);
    run.timeline = parts.join(QLatin1Char(' '));
    run.width = size.at(0).toInt();
    run.height = size.at(1).toInt();
    run.stems = size.at(2).toInt();
    if (memory) {
      tools->call(QStringLiteral("HeapProfiler.collectGarbage"));
      run.pssKb = treePssKb(process.processId());
    }
  } else {
    run.error = QStringLiteral("%1: the page did not finish loading").arg(program);
  }
  process.terminate();
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished(10000);
  }
  return run;
}

double median(QList<double> v) {
  std::sort(v.begin(), v.end());
  const qsizetype n = v.size();
  return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

bool copyDir(const QString &from, const QString &to) {
  QDir(to).removeRecursively();
  return QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, to}) == 0;
}

} // namespace

class BenchWholeProcess : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  QString m_program;      // copy of the staged directory, 100,000 questions
  QString m_program1000;  // the same with 1,000 sub-questions in the start section
  QMap<QString, double> m_start, m_memory; // by row: "program", "bare view"

  QString bareCopy(const QString &programDir, const QString &name) {
    const QString bare = m_tmp.filePath(name);
    if (!copyDir(programDir, bare))
      return {};
    // The bare view finds files only under their exact names.
    QFile::copy(bare + QStringLiteral("/css/Main.css"), bare + QStringLiteral("/css/main.css"));
    return bare;
  }

  // Alternating pairs, program first; medians by row.
  bool measure(const QString &programDir, const QString &bareName, int pairs, bool memory,
               QMap<QString, double> &out) {
    const QString qbrx = programDir + QStringLiteral("/qbrx");
    // The first start writes the page the bare view opens and gives its size.
    const Run first = runOnce(qbrx, {}, QStringLiteral("Question.html"), false);
    if (!first.error.isEmpty()) {
      qWarning("%s", qPrintable(first.error));
      return false;
    }
    const QString bare = bareCopy(programDir, bareName);
    const QStringList bareArgs{bare + QStringLiteral("/css/Question.html"), QString::number(first.width),
                               QString::number(first.height)};
    qInfo("view %dx%d, first paper of %d sub-questions", first.width, first.height, first.stems);
    runOnce(QStringLiteral(QBRX_BAREVIEW), bareArgs, QStringLiteral("Question.html"), false); // warm
    QList<double> program, floor, ratios;
    QStringList timelines;
    for (int i = 0; i < pairs; ++i) {
      const Run a = runOnce(qbrx, {}, QStringLiteral("Question.html"), memory);
      const Run b = runOnce(QStringLiteral(QBRX_BAREVIEW), bareArgs, QStringLiteral("Question.html"), memory);
      if (!a.error.isEmpty() || !b.error.isEmpty()) {
        qWarning("%s%s", qPrintable(a.error), qPrintable(b.error));
        return false;
      }
      program << (memory ? double(a.pssKb) : a.startMs);
      floor << (memory ? double(b.pssKb) : b.startMs);
      ratios << program.last() / floor.last();
      timelines << QStringLiteral("[%1 | %2]").arg(a.timeline, b.timeline);
    }
    out[QStringLiteral("program")] = median(program);
    out[QStringLiteral("bare view")] = median(floor);
    auto list = [](const QList<double> &v) {
      QStringList s;
      for (double d : v)
        s << QString::number(d, 'f', 0);
      return s.join(QLatin1Char(' '));
    };
    qInfo("%s program: %s", memory ? "memory (kB)" : "start (ms)", qPrintable(list(program)));
    qInfo("%s bare view: %s", memory ? "memory (kB)" : "start (ms)", qPrintable(list(floor)));
    if (!memory)
      qInfo("timelines (navigation, response end, DOM ready, load end; program | bare view): %s",
            qPrintable(timelines.join(QLatin1Char(' '))));
    qInfo("ratio %s program / bare view: medians %.3f, median of pair ratios %.3f",
          memory ? "memory" : "start", out.value(QStringLiteral("program")) / out.value(QStringLiteral("bare view")),
          median(ratios));
    return true;
  }

  static void rows() {
    QTest::addColumn<QString>("row");
    QTest::newRow("program") << QStringLiteral("program");
    QTest::newRow("bare view") << QStringLiteral("bare view");
  }

private slots:
  void initTestCase() {
    QVERIFY(m_tmp.isValid());
    m_program = m_tmp.filePath(QStringLiteral("program"));
    QVERIFY(copyDir(TestEnv::stagedDir(), m_program));
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_program + QStringLiteral("/QBRX.db"), questions > 0 ? questions : 100000, 7);

    // The start section (that of sub-question 1) with 1,000 sub-questions.
    m_program1000 = m_tmp.filePath(QStringLiteral("program1000"));
    QVERIFY(copyDir(m_program, m_program1000));
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, m_program1000 + QLatin1Char('/')), StartupResult::Opened);
    TADOQuery &q = dm.ADOQuery1;
    q.SQL.Add(QStringLiteral("UPDATE 小题 SET 所属编号=(SELECT 所属编号 FROM 小题 WHERE 小题号=1) "
                             "WHERE 小题号<=1000 AND 大题号=小题号"));
    q.ExecSQL();
  }

  void startToFirstPaper_data() { rows(); }
  void startToFirstPaper() {
    QFETCH(QString, row);
    if (m_start.isEmpty()) {
      const int pairs = qEnvironmentVariableIntValue("QBRX_BENCH_PAIRS");
      QVERIFY(measure(m_program, QStringLiteral("bare"), pairs > 0 ? pairs : 12, false, m_start));
    }
    QTest::setBenchmarkResult(m_start.value(row), QTest::WalltimeMilliseconds);
  }

  void memoryWithPaper_data() { rows(); }
  void memoryWithPaper() {
    QFETCH(QString, row);
    if (m_memory.isEmpty()) {
      const int pairs = qEnvironmentVariableIntValue("QBRX_BENCH_MEMORY_PAIRS");
      QVERIFY(measure(m_program1000, QStringLiteral("bare1000"), pairs > 0 ? pairs : 3, true, m_memory));
    }
    QTest::setBenchmarkResult(m_memory.value(row) * 1024, QTest::BytesAllocated);
  }
};

QBRX_TEST_MAIN(BenchWholeProcess)
#include "bench_wholeprocess.moc"
