// test-links: logic
// The style sheet file and the preview block: example rules byte for byte,
// empty values, characters outside GBK, write failures, the shipped sheet.
// ctest-timeout: 120

#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "render/HtmlView.h"
#include "render/StyleSheet.h"
#include "store/FileError.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records what is written into it.
class RecordingView : public HtmlView {
public:
  QStringList calls; // "navigate:<target>" or the written line
  QWidget *widget() override { return nullptr; }
  void navigate(const QString &target) override { calls << QStringLiteral("navigate:") + target; }
  void writeln(const QString &line) override { calls << line; }
  void reload() override {}
  void runScript(const QString &) override {}
  std::vector<std::optional<bool>> readChecked(const QStringList &ids) override {
    return std::vector<std::optional<bool>>(size_t(ids.size()));
  }
  void setColor(const QStringList &, const QString &) override {}
  void printPreview() override {}
  bool waitForLoad(int) override { return true; }
};

TDisplaySettings defaults() {
  return {QStringLiteral("宋体"), QStringLiteral("14px"), QStringLiteral("10px"),
          QStringLiteral("#000000"), QStringLiteral("#F9F9F9"), QStringLiteral("170")};
}

QByteArray gbk(const char *utf8) {
  QStringEncoder enc("GBK");
  return enc(QString::fromUtf8(utf8));
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A program directory with an empty css/.
struct SheetDir {
  SheetDir() : dir(tmp.path()) { QDir().mkpath(tmp.path() + QStringLiteral("/css")); }
  QByteArray write() {
    WriteStyleSheet(dir);
    return readFile(dir.styleSheetPath());
  }
  QList<QByteArray> lines() {
    QList<QByteArray> l = write().split('\n');
    if (!l.isEmpty() && l.last().isEmpty())
      l.removeLast();
    return l;
  }
  QTemporaryDir tmp;
  ProgramDir dir;
};

} // namespace

class TstStyleSheet : public QObject {
  Q_OBJECT

private slots:
  void init() { DisplaySettings = defaults(); }

  void exampleRulesByteForByte() {
    SheetDir d;
    const QByteArray sheet = d.write();
    QVERIFY(!sheet.startsWith("\xEF\xBB\xBF"));
    QVERIFY(sheet.endsWith("\r\n"));
    QCOMPARE(sheet.count("\r\n"), 30);
    QCOMPARE(sheet.count('\n'), 30);
    const QList<QByteArray> lines = d.lines();
    QCOMPARE(lines.size(), 30);
    QCOMPARE(lines[0], gbk("BODY{FONT-SIZE:14px;COLOR:#000000;background-color:#F9F9F9;LINE-HEIGHT:170%; "
                           "font-family:宋体,serif;margin:10px;  WORD-BREAK:break-all;}\r"));
    QCOMPARE(lines[21], gbk(".TestToolBar{font-family:\"宋体\";font-size:14px;font-size:10px;text-align:right;}\r"));
    QCOMPARE(lines[9], QByteArray(".MainBody{cursor:default;background:url(../images/MainBackground.gif);}\r"));
    QCOMPARE(lines[29], QByteArray(".AnswerTable{font-size:14px; border: 1px solid #008000;line-height:170%;}\r"));
    // 宋体 is its two GBK byte pairs.
    QVERIFY(lines[0].contains("font-family:\xCB\xCE\xCC\xE5,serif"));
  }

  // Nothing checks the values: an empty one leaves empty property values.
  void emptyValueLeavesEmptyProperties() {
    DisplaySettings.FontSize.clear();
    DisplaySettings.LineSpacing.clear();
    SheetDir d;
    const QList<QByteArray> lines = d.lines();
    QCOMPARE(lines.size(), 30);
    QCOMPARE(lines[0], gbk("BODY{FONT-SIZE:;COLOR:#000000;background-color:#F9F9F9;LINE-HEIGHT:%; "
                           "font-family:宋体,serif;margin:10px;  WORD-BREAK:break-all;}\r"));
    QCOMPARE(lines[29], QByteArray(".AnswerTable{font-size:; border: 1px solid #008000;line-height:%;}\r"));
    QCOMPARE(lines[21], gbk(".TestToolBar{font-family:\"宋体\";font-size:;font-size:10px;text-align:right;}\r"));
  }

  // A font name outside GBK is kept as a CSS escape; a value that reads like
  // a placeholder stays as it is.
  void valuesAreKeptLosslessly() {
    DisplaySettings.FontName = QStringLiteral("宋体") + QString::fromUcs4(U"\U00020000") + QStringLiteral("{FontSize}");
    SheetDir d;
    const QList<QByteArray> lines = d.lines();
    QCOMPARE(lines[18], gbk(".TestMainTitle{font-family:\"宋体\\20000 {FontSize}\";FONT-SIZE:14px;}\r"));
  }

  void unwritableSheetRaisesFileError() {
    SheetDir d;
    QVERIFY(QDir().mkpath(d.dir.styleSheetPath())); // a directory in its place
    QVERIFY_THROWS_EXCEPTION(FileError, WriteStyleSheet(d.dir));
  }

  // A sheet shipped as css/main.css is the one rewritten, not a second file.
  void lowerCaseNameReachesTheSameFile() {
    SheetDir d;
    QFile old(d.tmp.path() + QStringLiteral("/css/main.css"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    d.write();
    QCOMPARE(QDir(d.tmp.path() + QStringLiteral("/css")).entryList(QDir::Files), QStringList{"main.css"});
    QCOMPARE(readFile(old.fileName()).count("\r\n"), 30);
  }

  // The program ships the sheet of the default display values: the shipped
  // file is compared, never written, by this test.
  void shippedSheetIsTheDefaultSheet() {
    SheetDir d;
    const QByteArray sheet = d.write();
    const QString shipped = TestEnv::sourceDir() + QStringLiteral("/assets/css/Main.css");
    QCOMPARE(readFile(shipped), sheet);
  }

  // The pictures the sheet refers to are real GIFs.
  void shippedImagesLoad() {
    const QString images = TestEnv::sourceDir() + QStringLiteral("/assets/images/");
    const QImage back(images + QStringLiteral("MainBackground.gif"));
    QCOMPARE(back.size(), QSize(8, 8));
    QCOMPARE(back.pixelColor(0, 0), QColor(0xFF, 0xFF, 0xFF));
    QCOMPARE(back.pixelColor(7, 7), QColor(0xE7, 0xF0, 0xF9));
    const QImage dot(images + QStringLiteral("dot.gif"));
    QCOMPARE(dot.size(), QSize(2, 1));
    QCOMPARE(dot.pixelColor(0, 0), QColor(0x99, 0x99, 0x99));
    QCOMPARE(dot.pixelColor(1, 0).alpha(), 0);
  }

  void previewHead() {
    RecordingView view;
    WritePreviewHead(QStringLiteral("界面设置"), view);
    QCOMPARE(view.calls, QStringList({
                             QStringLiteral("navigate:about:blank"),
                             QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"),
                             QStringLiteral("<head>"),
                             QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"),
                             QStringLiteral("<META http-equiv=\"MSThemeCompatible\" content=\"yes\" >"),
                             QStringLiteral("<title>界面设置</title>"),
                         }));
  }

  void previewStyleHas31Lines() {
    RecordingView view;
    WritePreviewStyle(view);
    const QStringList &lines = view.calls;
    QCOMPARE(lines.size(), 31);
    QCOMPARE(lines.first(), QStringLiteral("<STYLE TYPE=\"text/css\">"));
    QCOMPARE(lines.last(), QStringLiteral("</STYLE>"));
    // Rules 1 to 29 of the sheet, five of them in the preview's own form.
    const QStringList rules = StyleSheetRules(DisplaySettings);
    const QMap<int, QString> own = {
        {16, QStringLiteral(".TestCaption{font-weight:bold;font-size:14px;font-family:宋体, serif;LINE-HEIGHT:170%;"
                            "text-align:center;margin-top:4px;margin-bottom:8px;}")},
        {17, QStringLiteral(".TestStyleExplain{font-family:\"宋体\";FONT-SIZE:14px;}")},
        {18, QStringLiteral(".TestBody{font-family:\"宋体\";background-color:#F9F9F9;color:#000000;FONT-SIZE:14px;"
                            "font-family:\"宋体\",serif;LINE-HEIGHT:170%;}")},
        {22, QStringLiteral(".TestToolBar{font-family:\"宋体\";font-size:10px;text-align:right;}")},
        {23, QStringLiteral(".ShowAnswer{font-family:\"宋体\";color:#1F3A87;cursor:hand;FONT-SIZE:12px;}")},
    };
    for (int n = 1; n <= 29; ++n)
      QCOMPARE(lines[n], own.value(n, rules[n - 1]));
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QLatin1String("AnswerTable")));
  }
};

QBRX_TEST_MAIN(TstStyleSheet)
#include "tst_stylesheet.moc"
