// Importing a question sheet with the vendor's tool (`qbrx-bank import`, the
// program itself, started as a process) beside `qbrx-bank synth` making a
// bank of the same size: the sheet is the synthetic bank written back with
// export-sheet, so both banks hold the same questions. The floor is the
// generator, which writes its rows without reading or checking anything.
// QBRX_BENCH_IMPORT_QUESTIONS sets the sizes (default "100000").

#include "Interleaved.h"
#include "TestEnv.h"
#include "store/BankImport.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void runTool(const QStringList &args) {
  QProcess tool;
  tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  tool.start(QStringLiteral(QBRX_BANK_TOOL), args);
  QVERIFY(tool.waitForFinished(-1));
  QCOMPARE(tool.exitCode(), 0);
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
    const QString sheet = stem + QStringLiteral(".csv");
    if (!QFile::exists(sheet)) {
      runTool({QStringLiteral("synth"), synth, QStringLiteral("--questions"), n, QStringLiteral("--tests"), QStringLiteral("0")});
      ExportBankSheet(synth, sheet);
    }
    qInfo("sheet of %d questions: %.1f MB", questions, QFileInfo(sheet).size() / 1e6);
    const QString imported = stem + QStringLiteral("-imported.db");
    const auto cost = [&] { runTool({QStringLiteral("import"), imported, sheet}); };
    const auto floor = [&] {
      runTool({QStringLiteral("synth"), synth, QStringLiteral("--questions"), n, QStringLiteral("--tests"), QStringLiteral("0")});
    };
    reportInterleaved(QStringLiteral("qbrx-bank import %1 rows / qbrx-bank synth").arg(questions), cost, floor, 5);
  }
};

QBRX_TEST_MAIN(BenchBankImport)
#include "bench_bankimport.moc"
