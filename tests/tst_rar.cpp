// test-links: logic
// TRAR over the staged libunrar.so, on archives written by RarWriter:
// listing, testing, extraction, hostile entries and a bounded fuzz run.
// ctest-timeout: 300

#include "RarFuzz.h"
#include "RarWriter.h"
#include "TestEnv.h"
#include "maintenance/RAR.h"
#include "maintenance/unrar/qbrx_unrar.h"
#include "store/FileError.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using RarWriter::Entry;

namespace {

struct ErrorLog {
  QList<QPair<int, TRAROperation>> errors; // non-zero codes only

  void attach(TRAR &rar) {
    rar.OnError = [this](TRAR *, int code, TRAROperation op) {
      if (code != 0)
        errors.append({code, op});
    };
  }
  QList<int> codes() const {
    QList<int> out;
    for (const auto &e : errors)
      out.append(e.first);
    return out;
  }
};

Entry entry(const std::string &name, const std::string &data) {
  Entry e;
  e.name = name;
  e.data = data;
  return e;
}

Entry folder(const std::string &name) {
  Entry e;
  e.name = name;
  e.dir = true;
  return e;
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every path below `root`, relative, sorted; links marked with " -> link".
QStringList tree(const QString &root) {
  QStringList out;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    QString rel = QDir(root).relativeFilePath(it.filePath());
    if (it.fileInfo().isSymLink())
      rel += QStringLiteral(" -> link");
    out.append(rel);
  }
  out.sort();
  return out;
}

} // namespace

class TstRar : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  int m_counter = 0;

  QString save(const RarWriter::Archive &a) {
    const QString path = m_dir.filePath(QStringLiteral("a%1.rar").arg(++m_counter));
    if (!RarWriter::save(a, QFile::encodeName(path).toStdString()))
      qFatal("cannot write %s", qPrintable(path));
    return path;
  }
  QString freshFolder() { return m_dir.filePath(QStringLiteral("out%1").arg(++m_counter)); }
  static QString programDir() { return TestEnv::stagedDir(); }

  // Two entries in a folder, for the extraction tests.
  static RarWriter::Archive folderArchive(int version) {
    RarWriter::Archive a;
    a.version = version;
    a.entries = {folder("docs"), entry(version == 4 ? "docs\\readme.txt" : "docs/readme.txt", "read me"),
                 entry("top.txt", "top")};
    return a;
  }

private slots:
  void initTestCase() {
    qputenv("TZ", "UTC");
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo::exists(programDir() + QStringLiteral("/libunrar.so")), "libunrar.so is not staged");
  }

  void listShowsEveryField_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("RAR 4") << 4;
    QTest::newRow("RAR 5") << 5;
  }
  // Archive flags, comment and every field of every entry.
  void listShowsEveryField() {
    QFETCH(int, version);
    RarWriter::Archive a;
    a.version = version;
    a.locked = true;
    a.recovery = true;
    a.comment = "题库更新 2025";
    Entry dir = folder("资料");
    dir.unicode = true;
    a.entries.push_back(dir);
    Entry named = entry("资料/第一章.txt", std::string(3000, 'q'));
    named.unicode = true;
    named.attr = 0x21;
    a.entries.push_back(named);
    Entry secret = entry("secret.bin", "0123456789");
    secret.encrypted = true;
    secret.dosTime = 0x4b2a5000; // 2017-09-10 10:00:00
    a.entries.push_back(secret);
    const QString path = save(a);

    TRAR rar(programDir());
    QList<TRARFileItem> items;
    rar.OnListFile = [&](TRAR *sender, const TRARFileItem &item) {
      QCOMPARE(sender, &rar);
      items.append(item);
    };
    ErrorLog log;
    log.attach(rar);
    QVERIFY(rar.OpenFile(path));
    QVERIFY(log.errors.isEmpty());

    const TRARArchiveInformation &info = rar.ArchiveInformation();
    QCOMPARE(info.FileName, path);
    QVERIFY(info.fOpened);
    QVERIFY(!info.fSFX);
    QVERIFY(info.Locked);
    QVERIFY(info.Recovery);
    QVERIFY(!info.Signed);
    QVERIFY(!info.Solid);
    QVERIFY(!info.HeaderEncrypted);
    QVERIFY(!info.MultiVolume);
    QVERIFY(!info.FileComment);
    QVERIFY(info.ArchiveComment);
    QCOMPARE(info.Comment, QStringLiteral("题库更新 2025"));
    QVERIFY(info.Encryption);
    QCOMPARE(info.TotalFiles, 2);
    QCOMPARE(info.CompressedSize, quint64(3010));
    QCOMPARE(info.UnCompressedSize, quint64(3010));
    QCOMPARE(info.HostOS, QStringLiteral("Windows"));
    QCOMPARE(info.ArchiverMajorVersion, version == 4 ? 2u : 5u);
    QCOMPARE(info.ArchiverMinorVersion, version == 4 ? 9u : 0u);
    // RAR 4 entries written with dictionary code 0; RAR 5 stored entries
    // carry the smallest RAR 5 dictionary (128 KB).
    QCOMPARE(info.DictionarySize, version == 4 ? quint64(65536) : quint64(131072));

    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0].FileName, QStringLiteral("资料"));
    QCOMPARE(items[0].Attributes, 0x10u);
    const TRARFileItem &f = items[1];
    QCOMPARE(f.FileName, QStringLiteral("资料/第一章.txt"));
    QCOMPARE(f.FileNameW, QStringLiteral("资料/第一章.txt"));
    QCOMPARE(f.CompressedSize, 3000u);
    QCOMPARE(f.UnCompressedSize, 3000u);
    QCOMPARE(f.HostOS, QStringLiteral("Windows"));
    QCOMPARE(f.CRC32, QString::number(RarWriter::crc32(std::string(3000, 'q')), 16).toUpper());
    QCOMPARE(f.Attributes, 0x21u);
    QCOMPARE(f.Time, QDateTime(QDate(2025, 4, 12), QTime(13, 17, 2)));
    QCOMPARE(f.CompressionStrength, 0x30);
    QCOMPARE(f.ArchiverVersion, version == 4 ? 29 : 50);
    QVERIFY(!f.Encrypted);
    QVERIFY(items[2].Encrypted);
    QCOMPARE(items[2].Time, QDateTime(QDate(2017, 9, 10), QTime(10, 0, 0)));
    QCOMPARE(items[2].CRC32, QString::number(RarWriter::crc32("0123456789"), 16).toUpper());
  }

  // Solid and volume archives list, with their flags; they are refused for
  // extraction (solid RAR 4, any volume) before anything is written.
  void solidAndVolumes_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("solid");
    QTest::addColumn<bool>("volume");
    QTest::addColumn<bool>("extracts");
    QTest::newRow("RAR 4 solid") << 4 << true << false << false;
    QTest::newRow("RAR 5 solid") << 5 << true << false << true;
    QTest::newRow("RAR 4 volume") << 4 << false << true << false;
    QTest::newRow("RAR 5 volume") << 5 << false << true << false;
  }
  void solidAndVolumes() {
    QFETCH(int, version);
    QFETCH(bool, solid);
    QFETCH(bool, volume);
    QFETCH(bool, extracts);
    RarWriter::Archive a;
    a.version = version;
    a.solid = solid;
    a.volume = volume;
    Entry first = entry("one.txt", "first");
    Entry second = entry("two.txt", "second");
    second.solid = solid && version == 4; // libarchive reads no stored RAR 5 entry marked solid
    a.entries = {first, second};
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QVERIFY(rar.OpenFile(save(a)));
    QCOMPARE(rar.ArchiveInformation().Solid, solid);
    const QString out = freshFolder();
    QCOMPARE(rar.Extract(out, true), extracts);
    QCOMPARE(tree(out), extracts ? (QStringList{"one.txt", "two.txt"}) : QStringList());
    QCOMPARE(log.codes(), extracts ? QList<int>() : QList<int>{99});
  }

  // A file continued in the next volume is listed, and counted as a
  // multi-volume entry; reading volumes to the end records a split file only
  // at its last part, which a single volume does not hold.
  void splitEntries() {
    for (int version : {4, 5}) {
      RarWriter::Archive a;
      a.version = version;
      a.volume = true;
      Entry whole = entry("whole.txt", "whole");
      Entry split = entry("split.bin", "first part");
      split.splitAfter = true;
      a.entries = {whole, split};
      const QString path = save(a);
      for (bool toEnd : {false, true}) {
        TRAR rar(programDir());
        rar.setReadMultiVolumeToEnd(toEnd);
        QStringList names;
        rar.OnListFile = [&](TRAR *, const TRARFileItem &item) { names.append(item.FileName); };
        QVERIFY(rar.OpenFile(path));
        QCOMPARE(names, toEnd ? QStringList{"whole.txt"} : (QStringList{"whole.txt", "split.bin"}));
        QCOMPARE(rar.ArchiveInformation().MultiVolume, !toEnd);
        QCOMPARE(rar.ArchiveInformation().TotalFiles, toEnd ? 1 : 2);
      }
    }
  }

  void test_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QList<int>>("codes");
    for (int v : {4, 5}) {
      const QByteArray n = QByteArray("RAR ") + QByteArray::number(v) + ", ";
      QTest::newRow(n + "good") << v << "" << true << QList<int>{};
      QTest::newRow(n + "bad CRC") << v << "crc" << false << QList<int>{12};
      QTest::newRow(n + "cut off") << v << "cut" << false << QList<int>{12};
      QTest::newRow(n + "cut after an entry") << v << "cut-end" << false << QList<int>{13};
      QTest::newRow(n + "encrypted") << v << "encrypted" << false << QList<int>{22};
    }
  }
  // Test passes a good archive and reports the damage of a bad one.
  void test() {
    QFETCH(int, version);
    QFETCH(QString, damage);
    QFETCH(bool, passes);
    QFETCH(QList<int>, codes);
    RarWriter::Archive a;
    a.version = version;
    a.entries = {entry("a.txt", "alpha"), entry("big.bin", std::string(200000, 'z')), entry("c.txt", "gamma")};
    a.entries[1].badCrc = damage == QLatin1String("crc");
    a.entries[1].encrypted = damage == QLatin1String("encrypted");
    std::string bytes = RarWriter::build(a);
    if (damage == QLatin1String("cut"))
      bytes.resize(bytes.size() / 2); // in the middle of big.bin
    if (damage == QLatin1String("cut-end"))
      bytes.resize(bytes.size() - (version == 4 ? 7 : 8)); // without the end-of-archive block
    const QString path = m_dir.filePath(QStringLiteral("t%1.rar").arg(++m_counter));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), qint64(bytes.size()));
    f.close();

    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QCOMPARE(rar.OpenFile(path), !damage.startsWith(QLatin1String("cut")));
    log.errors.clear();
    quint32 progressDone = 0;
    rar.OnProgress = [&](TRAR *, const QString &, quint32, quint32 archiveDone, quint32, quint32) {
      progressDone = archiveDone;
    };
    QCOMPARE(rar.Test(), passes);
    QCOMPARE(log.codes(), codes);
    for (const auto &e : log.errors) // a damaged block is found reading headers
      QCOMPARE(e.second, e.first == 13 ? TRAROperation::roListFiles : TRAROperation::roTest);
    if (passes)
      QCOMPARE(progressDone, quint32(200010));
  }

  void linkPassesTest_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("RAR 4") << 4 << false;
    QTest::newRow("RAR 4, damaged target") << 4 << true;
    QTest::newRow("RAR 5") << 5 << false;
  }
  // Testing checks a symbolic link by its target (a RAR 4 link stores it as
  // its data): an intact one is no damage, and the progress reaches the
  // total. Extracting still refuses the link.
  void linkPassesTest() {
    QFETCH(int, version);
    QFETCH(bool, damaged);
    RarWriter::Archive a;
    a.version = version;
    Entry link = entry("testlink", "");
    link.link = RarWriter::Link::Symlink;
    link.linkTarget = "test.txt";
    link.hostOS = 3;
    link.badCrc = damaged;
    a.entries = {entry("test.txt", "test text"), link, entry("after.txt", "after")};
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QVERIFY(rar.OpenFile(save(a)));
    quint32 progressDone = 0;
    rar.OnProgress = [&](TRAR *, const QString &, quint32, quint32 archiveDone, quint32, quint32) {
      progressDone = archiveDone;
    };
    QCOMPARE(rar.Test(), !damaged);
    QCOMPARE(log.codes(), damaged ? QList<int>{12} : QList<int>());
    if (!damaged)
      QCOMPARE(quint64(progressDone), rar.ArchiveInformation().UnCompressedSize);

    log.errors.clear();
    const QString out = freshFolder();
    QVERIFY(!rar.Extract(out, true));
    QCOMPARE(log.codes(), QList<int>{16});
    QCOMPARE(tree(out), QStringList{"test.txt"});
  }

  // A RAR 5 entry stored as an older version of its file is listed, tested
  // and extracted as "name;N" beside the current one, whatever the order.
  void fileVersions() {
    RarWriter::Archive a;
    a.version = 5;
    Entry older = entry("bin/2to3", "older");
    older.version = 1;
    Entry oldest = entry("bin/2to3", "oldest");
    oldest.version = 2;
    a.entries = {folder("bin"), oldest, entry("bin/2to3", "current"), older};
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QStringList names;
    rar.OnListFile = [&](TRAR *, const TRARFileItem &item) { names.append(item.FileNameW); };
    QVERIFY(rar.OpenFile(save(a)));
    QCOMPARE(names, (QStringList{"bin", "bin/2to3;2", "bin/2to3", "bin/2to3;1"}));
    QVERIFY(rar.Test());

    const QString out = freshFolder();
    QVERIFY(rar.Extract(out, true));
    QCOMPARE(tree(out), (QStringList{"bin", "bin/2to3", "bin/2to3;1", "bin/2to3;2"}));
    QCOMPARE(readFile(out + QStringLiteral("/bin/2to3")), QByteArray("current"));
    QCOMPARE(readFile(out + QStringLiteral("/bin/2to3;1")), QByteArray("older"));
    QCOMPARE(readFile(out + QStringLiteral("/bin/2to3;2")), QByteArray("oldest"));

    const QString flat = freshFolder();
    const QStringList selected{"bin/2to3;1"};
    QVERIFY(rar.Extract(flat, false, &selected));
    QCOMPARE(tree(flat), QStringList{"2to3;1"});
    QCOMPARE(readFile(flat + QStringLiteral("/2to3;1")), QByteArray("older"));
    QVERIFY(log.errors.isEmpty());
  }

  void entryTimes_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime dos(QDate(2025, 4, 12), QTime(13, 17, 2), Qt::UTC);
    QTest::newRow("RAR 4, DOS time") << 4 << "dos" << dos;
    QTest::newRow("RAR 4, extended time") << 4 << "exact" << dos.addMSecs(1123);
    QTest::newRow("RAR 5, Unix time") << 5 << "dos" << dos;
    QTest::newRow("RAR 5, Windows time") << 5 << "exact" << dos.addMSecs(1123);
    QTest::newRow("RAR 5, no time") << 5 << "none" << QDateTime(QDate(1980, 1, 1), QTime(0, 0), Qt::UTC);
  }
  // The listed time and the extracted file's time are the same: the
  // extended time (odd second and fraction) when stored, 1980-01-01 00:00
  // for an entry without any.
  void entryTimes() {
    QFETCH(int, version);
    QFETCH(QString, stored);
    QFETCH(QDateTime, expected);
    RarWriter::Archive a;
    a.version = version;
    Entry e = entry("timed.txt", "time");
    e.exactTime = stored == QLatin1String("exact");
    e.timeFraction = 1234567; // 0.1234567 s
    e.noTime = stored == QLatin1String("none");
    a.entries = {e};
    TRAR rar(programDir());
    QList<QDateTime> listed;
    rar.OnListFile = [&](TRAR *, const TRARFileItem &item) { listed.append(item.Time); };
    QVERIFY(rar.OpenFile(save(a)));
    QCOMPARE(listed, QList<QDateTime>{expected});
    const QString out = freshFolder();
    QVERIFY(rar.Extract(out, true));
    QCOMPARE(QFileInfo(out + QStringLiteral("/timed.txt")).lastModified().toUTC(), expected);
  }

  // The password callback is asked for an encrypted entry (and for encrypted
  // headers at open); the entry still fails, since nothing is decrypted.
  void encryptedAsksForPassword_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("headers");
    QTest::newRow("RAR 4 entry") << 4 << false;
    QTest::newRow("RAR 5 entry") << 5 << false;
    QTest::newRow("RAR 4 headers") << 4 << true;
    QTest::newRow("RAR 5 headers") << 5 << true;
  }
  void encryptedAsksForPassword() {
    QFETCH(int, version);
    QFETCH(bool, headers);
    RarWriter::Archive a;
    a.version = version;
    a.encryptedHeaders = headers;
    Entry secret = entry("secret.txt", "plain text");
    secret.encrypted = true;
    a.entries = {secret};
    const QString path = save(a);
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QStringList asked;
    rar.OnPasswordRequired = [&](TRAR *, bool headerPassword, const QString &fileName, QString &newPassword,
                                 bool &) {
      asked.append(QLatin1String(headerPassword ? "true " : "false ") + fileName);
      newPassword = QStringLiteral("secret");
    };
    QCOMPARE(rar.OpenFile(path), !headers);
    QCOMPARE(rar.ArchiveInformation().HeaderEncrypted, headers);
    if (headers) {
      QCOMPARE(asked, QStringList{QStringLiteral("true ") + path});
      QCOMPARE(log.codes(), QList<int>{14});
      return;
    }
    QVERIFY(asked.isEmpty());
    const QString out = freshFolder();
    QVERIFY(!rar.Extract(out, true));
    QCOMPARE(asked, QStringList{QStringLiteral("false secret.txt")});
    QCOMPARE(log.codes(), QList<int>{14});
    QCOMPARE(tree(out), QStringList());
  }

  void extract_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("restoreFolder");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");
    for (int v : {4, 5}) {
      const QByteArray n = QByteArray("RAR ") + QByteArray::number(v) + ", ";
      QTest::newRow(n + "with folders") << v << true << QStringList() << QStringList{"docs", "docs/readme.txt", "top.txt"};
      QTest::newRow(n + "without folders") << v << false << QStringList() << QStringList{"readme.txt", "top.txt"};
      QTest::newRow(n + "selected files") << v << true << QStringList{"docs/readme.txt", "TOP.TXT"}
                                          << QStringList{"docs", "docs/readme.txt"};
    }
  }
  // Into a folder given without a trailing separator, folders 0755, files
  // 0644 with the entries' time.
  void extract() {
    QFETCH(int, version);
    QFETCH(bool, restoreFolder);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QVERIFY(rar.OpenFile(save(folderArchive(version))));
    const QString out = freshFolder();
    QVERIFY(rar.Extract(out, restoreFolder, files.isEmpty() ? nullptr : &files));
    QVERIFY(log.errors.isEmpty());
    QCOMPARE(tree(out), expected);
    for (const QString &rel : expected) {
      const QFileInfo fi(out + QLatin1Char('/') + rel);
      const auto perms = fi.permissions() & (QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup |
                                              QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ExeOther);
      if (fi.isDir()) {
        QCOMPARE(perms, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::ExeOther);
      } else {
        QCOMPARE(perms, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
        QCOMPARE(fi.lastModified().toUTC(), QDateTime(QDate(2025, 4, 12), QTime(13, 17, 2), Qt::UTC));
      }
    }
    if (expected.contains(QStringLiteral("top.txt")))
      QCOMPARE(readFile(out + QStringLiteral("/top.txt")), QByteArray("top"));
  }

  void extractNamesAndReadOnly_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("hostOS");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<uint>("attr");
    QTest::newRow("RAR 4, Windows, GBK") << 4 << 2 << QByteArray("\xd6\xd0\xce\xc4/\xc3\xfb.txt") << 0x21u;
    QTest::newRow("RAR 4, Unix, UTF-8") << 4 << 3 << QByteArray("中文/名.txt") << 0100444u;
    QTest::newRow("RAR 5, Windows") << 5 << 2 << QByteArray("中文/名.txt") << 0x21u;
    QTest::newRow("RAR 5, Unix") << 5 << 3 << QByteArray("中文/名.txt") << 0100444u;
  }
  // 8-bit names without the Unicode flag: code page 936 from Windows, UTF-8
  // from Unix. A read-only attribute still gives a file its owner can write.
  void extractNamesAndReadOnly() {
    QFETCH(int, version);
    QFETCH(int, hostOS);
    QFETCH(QByteArray, stored);
    QFETCH(uint, attr);
    RarWriter::Archive a;
    a.version = version;
    Entry e = entry(stored.toStdString(), "内容");
    e.hostOS = hostOS;
    e.attr = attr;
    a.entries = {e};
    TRAR rar(programDir());
    QList<TRARFileItem> items;
    rar.OnListFile = [&](TRAR *, const TRARFileItem &item) { items.append(item); };
    QVERIFY(rar.OpenFile(save(a)));
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].FileName, QStringLiteral("中文/名.txt"));
    QCOMPARE(items[0].Attributes, attr);
    const QString out = freshFolder();
    QVERIFY(rar.Extract(out, true));
    const QString file = out + QStringLiteral("/中文/名.txt");
    QCOMPARE(readFile(file), QByteArray("内容"));
    QCOMPARE(QFileInfo(file).permissions() & (QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions(QFile::WriteUser));
  }

  void hostileEntries_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("kind"); // 0 name, 1 symlink, 2 hard link, 3 file copy, 4 encrypted
    QTest::addColumn<QString>("name");
    for (int v : {4, 5}) {
      const QByteArray n = QByteArray("RAR ") + QByteArray::number(v) + ", ";
      QTest::newRow(n + "..") << v << 0 << "..";
      QTest::newRow(n + "../escape") << v << 0 << "../escape.txt";
      QTest::newRow(n + "..\\escape") << v << 0 << "..\\escape.txt";
      QTest::newRow(n + "a/../../escape") << v << 0 << "a/../../escape.txt";
      QTest::newRow(n + "absolute") << v << 0 << "<root>/escape.txt";
      QTest::newRow(n + "C:\\") << v << 0 << "C:\\escape.txt";
      QTest::newRow(n + "c:relative") << v << 0 << "c:escape.txt";
      QTest::newRow(n + "symlink") << v << 1 << "link";
      QTest::newRow(n + "encrypted") << v << 4 << "secret.txt";
    }
    QTest::newRow("RAR 5, hard link") << 5 << 2 << "link";
    QTest::newRow("RAR 5, file copy") << 5 << 3 << "link";
  }
  // Extract fails, nothing lands outside the destination, no link exists;
  // the entries before the hostile one are written, none after it.
  void hostileEntries() {
    QFETCH(int, version);
    QFETCH(int, kind);
    QFETCH(QString, name);
    QTemporaryDir sandbox;
    const QString root = sandbox.path();
    name.replace(QStringLiteral("<root>"), root);
    RarWriter::Archive a;
    a.version = version;
    Entry bad = entry(name.toStdString(), "payload");
    if (kind >= 1 && kind <= 3) {
      bad.link = RarWriter::Link(kind);
      bad.linkTarget = kind == 1 ? "../../.." : "before.txt";
    }
    bad.encrypted = kind == 4;
    a.entries = {entry("before.txt", "before"), bad, entry("after.txt", "after")};
    const QString archive = save(a);
    const QString out = root + QStringLiteral("/dest");
    QVERIFY(QDir().mkpath(out));
    TRAR rar(programDir());
    ErrorLog log;
    log.attach(rar);
    QVERIFY(rar.OpenFile(archive));
    QVERIFY(!rar.Extract(out, true));
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors[0].second, TRAROperation::roExtract);
    QCOMPARE(tree(root), (QStringList{"dest", "dest/before.txt"}));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/escape.txt")));

    // Without folders a hostile stored name is refused all the same.
    QVERIFY(!rar.Extract(out + QStringLiteral("/flat"), false));
    QCOMPARE(tree(out + QStringLiteral("/flat")), QStringList{"before.txt"});
  }

  // A link already in the destination is never followed: a stored folder of
  // its name fails, a stored file of its name replaces the link itself.
  void linkInDestinationIsNotFollowed() {
    QTemporaryDir sandbox;
    const QString root = sandbox.path();
    const QString out = root + QStringLiteral("/dest");
    QVERIFY(QDir().mkpath(out));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/outside")));
    QVERIFY(QFile::link(root + QStringLiteral("/outside"), out + QStringLiteral("/link")));
    QVERIFY(QFile::link(root + QStringLiteral("/outside/target.txt"), out + QStringLiteral("/file")));
    for (int version : {4, 5}) {
      RarWriter::Archive a;
      a.version = version;
      a.entries = {entry("file", "replaces the link"), entry("link/evil.txt", "evil")};
      TRAR rar(programDir());
      ErrorLog log;
      log.attach(rar);
      QVERIFY(rar.OpenFile(save(a)));
      QVERIFY(!rar.Extract(out, true));
      QCOMPARE(log.codes(), QList<int>{16});
      QCOMPARE(tree(root + QStringLiteral("/outside")), QStringList());
      QVERIFY(!QFileInfo(out + QStringLiteral("/file")).isSymLink());
      QCOMPARE(readFile(out + QStringLiteral("/file")), QByteArray("replaces the link"));
    }
  }

  // A corrupt entry over an existing file leaves that file as it was, and no
  // temporary file behind; a good one replaces it (no replace handler).
  void corruptEntryKeepsExistingFile() {
    for (int version : {4, 5}) {
      const QString out = freshFolder();
      QVERIFY(QDir().mkpath(out));
      const QString target = out + QStringLiteral("/data.txt");
      QFile f(target);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("the old contents");
      f.close();

      RarWriter::Archive a;
      a.version = version;
      a.entries = {entry("data.txt", std::string(100000, 'n'))};
      a.entries[0].badCrc = true;
      TRAR rar(programDir());
      ErrorLog log;
      log.attach(rar);
      QVERIFY(rar.OpenFile(save(a)));
      QVERIFY(!rar.Extract(out, true));
      QCOMPARE(log.codes(), QList<int>{12});
      QCOMPARE(readFile(target), QByteArray("the old contents"));
      QCOMPARE(tree(out), QStringList{"data.txt"});

      a.entries[0].badCrc = false;
      QVERIFY(rar.OpenFile(save(a)));
      QVERIFY(rar.Extract(out, true));
      QCOMPARE(readFile(target), QByteArray(100000, 'n'));
    }
  }

  // The replace handler sees both files and decides: skip keeps the old
  // file, cancel stops the pass.
  void replaceHandler() {
    const QString out = freshFolder();
    QVERIFY(QDir().mkpath(out));
    QFile f(out + QStringLiteral("/top.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    TRAR rar(programDir());
    QVERIFY(rar.OpenFile(save(folderArchive(5))));
    TRARReplace answer = TRARReplace::rrSkip;
    TRARReplaceData seenOld, seenNew;
    rar.OnReplace = [&](TRAR *, const TRARReplaceData &existing, const TRARReplaceData &incoming,
                        TRARReplace &action) {
      seenOld = existing;
      seenNew = incoming;
      action = answer;
    };
    QVERIFY(rar.Extract(out, true));
    QCOMPARE(seenOld.FileName, out + QStringLiteral("/top.txt"));
    QCOMPARE(seenOld.Size, qint64(3));
    QCOMPARE(seenNew.FileName, QStringLiteral("top.txt"));
    QCOMPARE(seenNew.Size, qint64(3));
    QCOMPARE(seenNew.Time, QDateTime(QDate(2025, 4, 12), QTime(13, 17, 2)));
    QCOMPARE(readFile(out + QStringLiteral("/top.txt")), QByteArray("old"));

    answer = TRARReplace::rrCancel;
    QVERIFY(!rar.Extract(out, true));
    QCOMPARE(readFile(out + QStringLiteral("/top.txt")), QByteArray("old"));
  }

  // No library: 99 and False; a bare library name is never loaded; a missing
  // archive is a precondition error; a damaged archive still counts as opened.
  void failures() {
    {
      TRAR rar(m_dir.path());
      ErrorLog log;
      log.attach(rar);
      QVERIFY(!rar.OpenFile(save(folderArchive(4))));
      QCOMPARE(log.codes(), QList<int>{99});
      QCOMPARE(rar.GetDllVersion(), 0);
      rar.setDllName(QStringLiteral("libunrar.so"));
      QVERIFY(!rar.LoadDLL());
      QVERIFY(!rar.isDLLLoaded());
    }
    {
      TRAR rar(programDir());
      QCOMPARE(rar.GetDllVersion(), RAR_DLL_VERSION);
      QVERIFY(rar.isDLLLoaded());
      QVERIFY_THROWS_EXCEPTION(AppError, rar.OpenFile(m_dir.filePath(QStringLiteral("missing.rar"))));
      const QString junk = m_dir.filePath(QStringLiteral("junk.rar"));
      QFile f(junk);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("not an archive at all");
      f.close();
      ErrorLog log;
      log.attach(rar);
      QVERIFY(!rar.OpenFile(junk));
      QVERIFY(rar.ArchiveInformation().fOpened);
      QCOMPARE(log.codes(), QList<int>{99});
      rar.UnloadDLL();
      QVERIFY(!rar.isDLLLoaded());
    }
  }

  // 2,000 damaged or hostile archives (fixed seed): no crash, nothing outside
  // the destination, no link inside it.
  void fuzz() {
    QTemporaryDir sandbox;
    const QString root = sandbox.path();
    const QString out = root + QStringLiteral("/dest");
    std::mt19937 rng(20261210);
    TRAR rar(programDir());
    rar.OnPasswordRequired = [](TRAR *, bool, const QString &, QString &password, bool &) {
      password = QStringLiteral("x");
    };
    int extracted = 0, partly = 0;
    for (int i = 0; i < 2000; ++i) {
      const std::string bytes = RarFuzz::makeCase(rng, QFile::encodeName(root).toStdString());
      // A new file each time: rewriting one in place makes ext4 flush it.
      const QString archive = m_dir.filePath(QStringLiteral("fuzz%1.rar").arg(i));
      QFile f(archive);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(bytes.data(), qint64(bytes.size()));
      f.close();
      QVERIFY(QDir(out).removeRecursively());
      QVERIFY(QDir().mkpath(out));
      rar.OpenFile(archive);
      rar.Test();
      if (rar.Extract(out, i % 2 == 0))
        ++extracted;
      else if (!tree(out).isEmpty())
        ++partly;
      const QStringList all = tree(root);
      for (const QString &path : all) {
        if (!path.startsWith(QLatin1String("dest")) || path.endsWith(QLatin1String(" -> link")))
          QFAIL(qPrintable(QStringLiteral("case %1: %2").arg(i).arg(path)));
      }
      QFile::remove(archive);
    }
    qInfo("fuzz: %d archives extracted, %d in part", extracted, partly);
    QVERIFY2(extracted > 150 && partly > 150, "the fuzz cases should not all be refused");
  }
};

QTEST_GUILESS_MAIN(TstRar)
#include "tst_rar.moc"
