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

private slots:
  void import_data() {
    QTest::addColumn<int>("questions");
    QString list = qEnvironmentVariable("QBRX_BENCH_IMPORT_QUESTIONS");
    if (list.isEmpty())
      list = QStringLiteral("100000");
    for (const QString &s : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
      QTest::newRow(qPrintable(s.trimmed())) << s.trimmed().toInt();
  }

  void import() {
    QFETCH(int, questions);
    const QString n = QString::number(questions);
    const QString stem = m_dir.filePath(n);
    const QString synth = stem + QStringLiteral("-synth.db");
    const QString csv = stem + QStringLiteral(".csv");
    const QString xlsx = stem + QStringLiteral(".xlsx");
    if (!QFile::exists(csv)) {
      runTool({QStringLiteral("synth"), synth, QStringLiteral("--questions"), n, QStringLiteral("--tests"), QStringLiteral("0")});
      ExportBankSheet(synth, csv);
      ExportBankSheet(synth, xlsx);
    }
    qInfo("sheet of %d questions: %.1f MB CSV, %.1f MB xlsx", questions, QFileInfo(csv).size() / 1e6, QFileInfo(xlsx).size() / 1e6);
    const QString imported = stem + QStringLiteral("-imported.db");

    // CSV import beside sqlite3 .import.
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
      qInfo("no sqlite3 shell: the CSV floor is skipped");
    } else {
      const QString plain = stem + QStringLiteral("-plain.sqlite");
      reportInterleaved(
          QStringLiteral("qbrx-bank import %1 rows CSV / sqlite3 .import").arg(questions),
          [&] { runTool({QStringLiteral("import"), imported, csv}); },
          [&] {
            QFile::remove(plain);
            run(shell, {plain, QStringLiteral(".import --csv %1 t").arg(csv)});
          },
          3);
    }

    // The workbook reader beside the bare unzip and XML walk.
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

    // Peak memory of an xlsx import beside the bank it writes.
    const QString time = QStringLiteral("/usr/bin/time");
    if (QFile::exists(time)) {
      for (const QString &sheet : {csv, xlsx}) {
        QProcess p;
        p.start(time, {QStringLiteral("-f"), QStringLiteral("maxrss=%M"), QStringLiteral(QBRX_BANK_TOOL), QStringLiteral("import"), imported, sheet});
        QVERIFY(p.waitForFinished(-1));
        QCOMPARE(p.exitCode(), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const qsizetype at = err.lastIndexOf(QLatin1String("maxrss="));
        QVERIFY(at >= 0);
        const double rss = err.mid(at + 7).trimmed().toDouble() * 1024;
        const double bank = double(QFileInfo(imported).size());
        qInfo("ratio memory of import %d rows %s / bank written: %.1f/%.1f MB = %.2f", questions,
              qPrintable(QFileInfo(sheet).suffix()), rss / 1e6, bank / 1e6, rss / bank);
      }
    }

    // check beside one full scan of 小题.
    runTool({QStringLiteral("import"), imported, csv});
    reportInterleaved(
        QStringLiteral("check %1 questions / one scan of 小题").arg(questions),
        [&] { QVERIFY(LintBankFile(imported, QString()).questions == questions); },
        [&] { QVERIFY(scanQuestions(imported) > 0); }, 5);
  }
};

QBRX_TEST_MAIN(BenchBankImport)
#include "bench_bankimport.moc"
