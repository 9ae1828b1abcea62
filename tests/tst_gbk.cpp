// test-links: logic
// GBK text of generated files: bytes per character, references for what GBK
// lacks, and the line writer.

#include "TestEnv.h"
#include "render/Gbk.h"
#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <thread>
#include <vector>

class TstGbk : public QObject {
  Q_OBJECT

private slots:
  // The code table is filled on first use, a block at a time; threads that
  // meet the same blocks together all get every character's bytes. (First
  // here, so the blocks are still empty when the program runs it alone.)
  void threadsFillTheTableAlike() {
    QString all;
    for (char32_t c = 0x80; c < 0x10000; ++c)
      if (c < 0xD800 || c >= 0xE000)
        all += QChar(char16_t(c));
    constexpr int kThreads = 4;
    std::array<QByteArray, kThreads> out;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) // each starts at another place in the range
      threads.emplace_back([&, t] {
        const qsizetype from = all.size() * t / kThreads;
        out[std::size_t(t)] = Gbk::encode(QStringView(all).mid(from)) + Gbk::encode(QStringView(all).left(from));
      });
    for (std::thread &th : threads)
      th.join();
    const QByteArray expected = Gbk::encode(all);
    for (int t = 0; t < kThreads; ++t) {
      const qsizetype from = all.size() * t / kThreads;
      const QByteArray head = Gbk::encode(QStringView(all).mid(from));
      QCOMPARE(out[std::size_t(t)], head + expected.left(expected.size() - head.size()));
    }
    QVERIFY(!expected.contains("&#x4E2D;")); // 中 was not written as a reference
  }

  void encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("css");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("a<b> \"c\"") << false << QByteArray("a<b> \"c\"");
    QTest::newRow("hanzi") << QStringLiteral("中文") << false << QByteArray("\xD6\xD0\xCE\xC4");
    QTest::newRow("full-width punctuation") << QStringLiteral("（一）；。") << false
                                            << QByteArray("\xA3\xA8\xD2\xBB\xA3\xA9\xA3\xBB\xA1\xA3");
    QTest::newRow("euro sign, one byte") << QStringLiteral("€") << false << QByteArray("\x80");
    QTest::newRow("outside the BMP, page") << QString::fromUcs4(U"a\U00020000b") << false << QByteArray("a&#x20000;b");
    QTest::newRow("outside the BMP, sheet") << QString::fromUcs4(U"a\U00020000b") << true << QByteArray("a\\20000 b");
    QTest::newRow("not in GBK, BMP") << QStringLiteral("\u00E5\uE000") << false << QByteArray("&#xE5;&#xE000;");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false << QByteArray("&#xFFFD;");
  }
  void encode() {
    QFETCH(QString, text);
    QFETCH(bool, css);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Gbk::encode(text, css ? Gbk::Escape::Css : Gbk::Escape::Html), bytes);
  }

  // Every character written as GBK bytes reads back as itself, and no more
  // than two bytes are ever used for one character.
  void everyEncodedCharacterReadsBack() {
    int encodable = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c < 0xE000)
        continue;
      QByteArray out;
      if (!Gbk::appendChar(c, out))
        continue;
      ++encodable;
      QVERIFY(out.size() <= 2);
      QStringDecoder dec("GBK");
      const QString back = dec(out);
      if (back.size() != 1 || back[0].unicode() != c)
        QFAIL(qPrintable(QStringLiteral("U+%1 does not read back").arg(quint32(c), 4, 16, QLatin1Char('0'))));
    }
    QVERIFY2(encodable > 21000, qPrintable(QString::number(encodable))); // all of GBK's characters
  }

  void lineWriter() {
    QTemporaryDir tmp;
    GbkLineWriter w;
    w.writeLine(QStringLiteral("第一行"));
    w.writeLine(QString());
    w.writeLine(QStringLiteral("x"));
    const QString path = tmp.path() + QStringLiteral("/new/dir/out.html");
    w.saveTo(path); // the missing directories are made
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\xB5\xDA\xD2\xBB\xD0\xD0\r\n\r\nx\r\n"));

    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/blocked")));
    QVERIFY_THROWS_EXCEPTION(FileError, w.saveTo(tmp.path() + QStringLiteral("/blocked")));
  }
};

QBRX_TEST_MAIN(TstGbk)
#include "tst_gbk.moc"
