// Extracting a 50 MB stored archive (one 40 MB file and 500 files of 20 KB)
// with TRAR (libunrar: its own header scan, CRC32 and size checks, temporary
// names renamed into place) against libarchive's own extraction of the same
// archive (archive_write_disk under the folder, no checks of stored data). Both overwrite the
// files of the previous round in the same folder. ratio() prints the figure.

#include "RarWriter.h"
#include "TestEnv.h"
#include "maintenance/RAR.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <vector>

namespace {

bool libarchiveExtract(const QString &archivePath, const QString &folder) {
  struct archive *in = archive_read_new();
  archive_read_support_format_rar(in);
  archive_read_support_format_rar5(in);
  struct archive *out = archive_write_disk_new();
  archive_write_disk_set_options(out, ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                          ARCHIVE_EXTRACT_SECURE_SYMLINKS);
  bool ok = archive_read_open_filename(in, QFile::encodeName(archivePath).constData(), 1 << 16) == ARCHIVE_OK;
  const QByteArray prefix = QFile::encodeName(folder) + '/';
  struct archive_entry *entry;
  while (ok) {
    const int r = archive_read_next_header(in, &entry);
    if (r == ARCHIVE_EOF)
      break;
    if (r != ARCHIVE_OK) {
      ok = false;
      break;
    }
    archive_entry_set_pathname(entry, (prefix + archive_entry_pathname(entry)).constData());
    if (archive_write_header(out, entry) != ARCHIVE_OK) {
      ok = false;
      break;
    }
    const void *block;
    size_t size;
    la_int64_t offset;
    int d;
    while ((d = archive_read_data_block(in, &block, &size, &offset)) == ARCHIVE_OK)
      if (archive_write_data_block(out, block, size, offset) != ARCHIVE_OK)
        d = ARCHIVE_FATAL;
    ok = d == ARCHIVE_EOF && archive_write_finish_entry(out) == ARCHIVE_OK;
  }
  if (!ok)
    qWarning("libarchive: %s / %s", archive_error_string(in), archive_error_string(out));
  archive_read_free(in);
  archive_write_free(out);
  return ok;
}

} // namespace

class BenchRar : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

  QString archivePath(int version) const { return m_dir.filePath(QStringLiteral("bench%1.rar").arg(version)); }

  bool extractWithTrar(int version, TRAR &rar) {
    return rar.Extract(m_dir.filePath(QStringLiteral("trar%1").arg(version)), true);
  }

private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    std::string big(40 * 1024 * 1024, '\0');
    uint32_t x = 12345;
    for (char &c : big) {
      x = x * 1103515245u + 12345u;
      c = char(x >> 24);
    }
    for (int version : {4, 5}) {
      RarWriter::Archive a;
      a.version = version;
      RarWriter::Entry bigEntry;
      bigEntry.name = "big.bin";
      bigEntry.data = big;
      a.entries.push_back(bigEntry);
      for (int i = 0; i < 500; ++i) {
        RarWriter::Entry e;
        e.name = "small/" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".txt";
        e.data = std::string(20 * 1024, char('a' + i % 26));
        a.entries.push_back(e);
      }
      QVERIFY(RarWriter::save(a, QFile::encodeName(archivePath(version)).toStdString()));
    }
  }

  void trar_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("RAR 4") << 4;
    QTest::newRow("RAR 5") << 5;
  }
  void trar() {
    QFETCH(int, version);
    TRAR rar(TestEnv::stagedDir());
    QVERIFY(rar.OpenFile(archivePath(version)));
    QBENCHMARK {
      QVERIFY(extractWithTrar(version, rar));
    }
  }

  void libarchive_data() { trar_data(); }
  void libarchive() {
    QFETCH(int, version);
    const QString folder = m_dir.filePath(QStringLiteral("la%1").arg(version));
    QVERIFY(QDir().mkpath(folder));
    QBENCHMARK {
      QVERIFY(libarchiveExtract(archivePath(version), folder));
    }
  }

  // Nine rounds of each, in turns (the order flips every round, so neither
  // side always pays for the other's write-back); best and median times.
  void ratio() {
    for (int version : {4, 5}) {
      TRAR rar(TestEnv::stagedDir());
      QVERIFY(rar.OpenFile(archivePath(version)));
      const QString folder = m_dir.filePath(QStringLiteral("la%1").arg(version));
      QVERIFY(QDir().mkpath(folder));
      std::vector<qint64> trarTimes, laTimes;
      for (int round = 0; round < 9; ++round) {
        for (int side = 0; side < 2; ++side) {
          QElapsedTimer t;
          t.start();
          if ((side + round) % 2 == 0) {
            QVERIFY(extractWithTrar(version, rar));
            trarTimes.push_back(t.nsecsElapsed());
          } else {
            QVERIFY(libarchiveExtract(archivePath(version), folder));
            laTimes.push_back(t.nsecsElapsed());
          }
        }
      }
      std::sort(trarTimes.begin(), trarTimes.end());
      std::sort(laTimes.begin(), laTimes.end());
      qInfo("RAR %d, 50 MB: TRAR best %.1f ms, median %.1f ms; libarchive best %.1f ms, median %.1f ms; "
            "ratio best %.2f, median %.2f",
            version, trarTimes.front() / 1e6, trarTimes[4] / 1e6, laTimes.front() / 1e6, laTimes[4] / 1e6,
            double(trarTimes.front()) / double(laTimes.front()), double(trarTimes[4]) / double(laTimes[4]));
    }
  }
};

QTEST_GUILESS_MAIN(BenchRar)
#include "bench_rar.moc"
