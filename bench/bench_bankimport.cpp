// Question sheets into banks, each beside its floor in one run:
// - `qbrx-bank import` of a CSV (the program itself, started as a process)
//   beside `sqlite3 .import` of the same file into a plain table, when the
//   sqlite3 shell is there;
// - the workbook reader on the same questions as .xlsx beside a bare pass
//   that unzips every part and walks its XML (what any reader must do);
// - the import's peak memory (with /usr/bin/time, when there) beside the
//   size of the bank it writes;
// - `check` of the bank beside one full scan of 小题.
// The sheet is a synthetic bank written back with export-sheet.
// QBRX_BENCH_IMPORT_QUESTIONS sets the sizes (default "100000").

#include "Interleaved.h"
#include "TestEnv.h"
#include "store/BankImport.h"
#include "store/BankLint.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/SheetFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <archive.h>
#include <archive_entry.h>

namespace {

void runTool(const QStringList &args) {
  QProcess tool;
  tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  tool.start(QStringLiteral(QBRX_BANK_TOOL), args);
  QVERIFY(tool.waitForFinished(-1));
  QCOMPARE(tool.exitCode(), 0);
}

void run(const QString &program, const QStringList &args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(program, args);
  QVERIFY(p.waitForFinished(-1));
  QCOMPARE(p.exitCode(), 0);
}

// Every part of a zip unpacked and its XML walked token by token.
qint64 bareXlsxScan(const QString &path) {
  qint64 tokens = 0;
  archive *a = archive_read_new();
  archive_read_support_format_zip(a);
  archive_read_open_filename(a, QFile::encodeName(path).constData(), 1 << 16);
  archive_entry *e = nullptr;
  while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
    QXmlStreamReader x;
    char buf[1 << 16];
    la_ssize_t got;
    while ((got = archive_read_data(a, buf, sizeof buf)) > 0) {
      x.addData(QByteArray::fromRawData(buf, int(got)));
      while (!x.atEnd() && x.readNext() != QXmlStreamReader::Invalid)
        ++tokens;
    }
  }
  archive_read_free(a);
  return tokens;
}

// One full scan of 小题: every row, every text read.
qint64 scanQuestions(const QString &bank) {
  TADOConnection c;
  c.Open(bank, QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
  qint64 bytes = 0;
  TADOQuery q(c, QStringLiteral("scan"));
  q.SQL.Add(QStringLiteral("SELECT 小题号,大题号,所属编号,题目类型,题目内容,答案,解释 FROM 小题 ORDER BY 小题号"));
  q.OpenForward([&](const TForwardRow &r) {
    for (int i = 3; i < 7; ++i)
      bytes += r.Utf8(i).size();
  });
  c.Close();
  return bytes;
}

} // namespace

class BenchBankImport : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

  // The sheets of a synthetic bank of `questions`, made once: .csv, .xlsx.
  QString sheet(int questions, const char *suffix) {
    const QString stem = m_dir.filePath(QString::number(questions));
    const QString synth = stem + QStringLiteral("-synth.db");
    if (!QFile::exists(stem + QStringLiteral(".csv"))) {
      runTool({QStringLiteral("synth"), synth, QStringLiteral("--questions"), QString::number(questions),
               QStringLiteral("--tests"), QStringLiteral("0")});
      ExportBankSheet(synth, stem + QStringLiteral(".csv"));
      ExportBankSheet(synth, stem + QStringLiteral(".xlsx"));
      qInfo("sheet of %d questions: %.1f MB CSV, %.1f MB xlsx", questions, QFileInfo(stem + ".csv").size() / 1e6,
            QFileInfo(stem + ".xlsx").size() / 1e6);
    }
    return stem + QLatin1Char('.') + QLatin1String(suffix);
  }
  QString imported(int questions) { return m_dir.filePath(QString::number(questions) + QStringLiteral("-imported.db")); }

  static void sizes() {
    QTest::addColumn<int>("questions");
    QString list = qEnvironmentVariable("QBRX_BENCH_IMPORT_QUESTIONS");
    if (list.isEmpty())
      list = QStringLiteral("100000");
    for (const QString &s : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
      QTest::newRow(qPrintable(s.trimmed())) << s.trimmed().toInt();
  }

private slots:
  // CSV import beside sqlite3 .import of the same file.
  void csvImport_data() { sizes(); }
  void csvImport() {
    QFETCH(int, questions);
    const QString csv = sheet(questions, "csv");
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
      QSKIP("no sqlite3 shell: no floor for the CSV import");
    const QString plain = m_dir.filePath(QStringLiteral("plain.sqlite"));
    reportInterleaved(
        QStringLiteral("qbrx-bank import %1 rows CSV / sqlite3 .import").arg(questions),
        [&] { runTool({QStringLiteral("import"), imported(questions), csv}); },
        [&] {
          QFile::remove(plain);
          run(shell, {plain, QStringLiteral(".import --csv %1 t").arg(csv)});
        },
        3);
  }

  // The workbook reader beside the bare unzip and XML walk.
  void xlsxReader_data() { sizes(); }
  void xlsxReader() {
    QFETCH(int, questions);
    const QString xlsx = sheet(questions, "xlsx");
    qint64 tokens = 0;
    reportInterleaved(
        QStringLiteral("xlsx reader %1 rows / bare unzip + XML walk").arg(questions),
        [&] {
          SheetReadOptions o;
          o.headerColumns = true;
          const SheetFileContents c = ReadSheetFile(xlsx, o);
          QVERIFY(c.problems.isEmpty());
        },
        [&] { tokens = bareXlsxScan(xlsx); }, 3);
    QVERIFY(tokens > questions);
  }

  // Peak memory of an import beside the bank it writes.
  void memory_data() { sizes(); }
  void memory() {
    QFETCH(int, questions);
    const QString time = QStringLiteral("/usr/bin/time");
    if (!QFile::exists(time))
      QSKIP("no /usr/bin/time to read the peak memory with");
    for (const char *suffix : {"csv", "xlsx"}) {
      QProcess p;
      p.start(time, {QStringLiteral("-f"), QStringLiteral("maxrss=%M"), QStringLiteral(QBRX_BANK_TOOL), QStringLiteral("import"),
                     imported(questions), sheet(questions, suffix)});
      QVERIFY(p.waitForFinished(-1));
      QCOMPARE(p.exitCode(), 0);
      const QString err = QString::fromUtf8(p.readAllStandardError());
      const qsizetype at = err.lastIndexOf(QLatin1String("maxrss="));
      QVERIFY(at >= 0);
      const double rss = err.mid(at + 7).trimmed().toDouble() * 1024;
      const double bank = double(QFileInfo(imported(questions)).size());
      qInfo("ratio memory of import %d rows %s / bank written: %.1f/%.1f MB = %.2f", questions, suffix, rss / 1e6, bank / 1e6,
            rss / bank);
    }
  }

  // check beside one full scan of 小题.
  void check_data() { sizes(); }
  void check() {
    QFETCH(int, questions);
    const QString bank = imported(questions);
    if (!QFile::exists(bank))
      runTool({QStringLiteral("import"), bank, sheet(questions, "csv")});
    reportInterleaved(
        QStringLiteral("check %1 questions / one scan of 小题").arg(questions),
        [&] { QVERIFY(LintBankFile(bank, QString()).questions == questions); },
        [&] { QVERIFY(scanQuestions(bank) > 0); }, 5);
  }
};

QBRX_TEST_MAIN(BenchBankImport)
#include "bench_bankimport.moc"
