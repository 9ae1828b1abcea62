// Building a bank from a large SQL script with the vendor's tool
// (`qbrx-bank build`, the program itself, started as a process), beside the
// floor of the same script run in one transaction by plain SQLite
// (sqlite3_exec on an ordinary file: the file read, the schema, the script,
// the commit). The script is the dump of a synthetic bank as one INSERT per
// row. QBRX_BENCH_BUILD_QUESTIONS sets the bank sizes (default
// "40000,100000": scripts of about 30 and 75 MB).

#include "BankSynth.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "store/BankBuilder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace {

// Every row of every table of the ordinary SQLite file `plain` as INSERT
// statements, one a line.
void dumpInserts(const QString &plain, const QString &out) {
  sqlite3 *db = nullptr;
  QVERIFY(sqlite3_open_v2(QFile::encodeName(plain).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK);
  QStringList tables;
  {
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
  }
  QFile f(out);
  QVERIFY(f.open(QIODevice::WriteOnly));
  for (const QString &table : tables) {
    const QString name = QLatin1Char('"') + table + QLatin1Char('"');
    QStringList columns;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, ("PRAGMA table_info(" + name + ")").toUtf8().constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      columns << QStringLiteral("quote(\"%1\")").arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))));
    sqlite3_finalize(st);
    const QString select = QStringLiteral("SELECT 'INSERT INTO ") + name + QStringLiteral(" VALUES(' || ") +
                           columns.join(QStringLiteral(" || ',' || ")) + QStringLiteral(" || ');' FROM ") + name;
    QVERIFY(sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) {
      f.write(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
      f.write("\n", 1);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
}

void execOrFail(sqlite3 *db, const char *sql) {
  char *err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK)
    qFatal("floor: %s", err ? err : "?");
}

} // namespace

class BenchBankBuild : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

private slots:
  void build_data() {
    QTest::addColumn<int>("questions");
    QString list = qEnvironmentVariable("QBRX_BENCH_BUILD_QUESTIONS");
    if (list.isEmpty())
      list = QStringLiteral("40000,100000");
    for (const QString &s : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
      QTest::newRow(qPrintable(s.trimmed())) << s.trimmed().toInt();
  }

  void build() {
    QFETCH(int, questions);
    const QString stem = m_dir.filePath(QString::number(questions));
    const QString script = stem + QStringLiteral(".sql");
    if (!QFile::exists(script)) { // made once, for QtTest's warm-up run and the measured one
      SynthesizeBank(stem + QStringLiteral("-source.db"), questions, 7);
      ExportBank(stem + QStringLiteral("-source.db"), stem + QStringLiteral("-source.sqlite"));
      dumpInserts(stem + QStringLiteral("-source.sqlite"), script);
    }
    const qint64 bytes = QFileInfo(script).size();
    qInfo("script of %d questions: %.1f MB", questions, bytes / 1e6);

    const QString out = stem + QStringLiteral("-built.db");
    const auto cost = [&] {
      QProcess tool;
      tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
      tool.start(QStringLiteral(QBRX_BANK_TOOL), {QStringLiteral("build"), out, script});
      QVERIFY(tool.waitForFinished(-1));
      QCOMPARE(tool.exitCode(), 0);
    };
    const QByteArray schema = BankSchemaSql().toUtf8();
    const QString floorFile = stem + QStringLiteral("-floor.sqlite");
    const auto floor = [&] {
      QFile::remove(floorFile);
      QFile f(script);
      QVERIFY(f.open(QIODevice::ReadOnly));
      const QByteArray text = f.readAll();
      sqlite3 *db = nullptr;
      QVERIFY(sqlite3_open(QFile::encodeName(floorFile).constData(), &db) == SQLITE_OK);
      execOrFail(db, "BEGIN");
      execOrFail(db, schema.constData());
      execOrFail(db, text.constData());
      execOrFail(db, "COMMIT");
      sqlite3_close(db);
    };
    reportInterleaved(QStringLiteral("qbrx-bank build %1 MB / sqlite3_exec").arg(bytes / 1e6, 0, 'f', 1), cost, floor, 5);
    QVERIFY(QFileInfo(out).size() > bytes / 4);
  }
};

QBRX_TEST_MAIN(BenchBankBuild)
#include "bench_bankbuild.moc"
