// test-links: widgets
// The shipped example workbook, imported, is a bank the program opens and
// shows: its title, its tree in sheet order, and a section's paper with the
// case material and the options as the sheet gave them.
// ctest-timeout: 180

#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "app/PaperState.h"
#include "render/ui/WebHtmlView.h"
#include "store/BankImport.h"

#include <QtTest>

class TstBankImportView : public QObject {
  Q_OBJECT

private slots:
  void exampleOpensAndShows() {
    MainWindowFixture f([](const QString &root) {
      QFile::remove(root + QStringLiteral("QBRX.db"));
      const BankImportResult r = ImportBankSheets(root + QStringLiteral("QBRX.db"),
                                                  {TestEnv::sourceDir() + QStringLiteral("/assets/import/example.xlsx")});
      QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.join('\n')));
    });
    TFrmMain &w = *f.window;
    QVERIFY(!w.startupFailed());
    QVERIFY(f.showActive());
    QVERIFY2(w.windowTitle().contains(QStringLiteral("办公与网络常识（示例）")), qPrintable(w.windowTitle()));

    // The tree: subjects, chapters and sections in the order the sheet
    // names them.
    QStringList names;
    int section = -1;
    const std::vector<CategoryNode> &nodes = w.categoryTree().nodes();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      names << QString(nodes[i].level * 2, QLatin1Char(' ')) + nodes[i].info->Name;
      if (nodes[i].info->Name == QStringLiteral("第二节 故障排查"))
        section = int(i);
    }
    QCOMPARE(names.mid(0, 5), (QStringList{"办公软件应用", "  第一章 文字处理", "    第一节 文档排版", "    第二节 长文档",
                                           "  第二章 电子表格"}));
    QVERIFY(section >= 0);

    w.TreeView1->selectNode(section);
    w.command(QStringLiteral("ActSCSTKST"))->trigger();
    WebHtmlView &page = *w.WebBrowser1;
    QVERIFY(page.waitForLoad());
    QString text;
    QTRY_VERIFY((text = page.evaluate(QStringLiteral("document.body.innerText")).toString())
                    .contains(QStringLiteral("小王家的网络结构如下")));
    for (const QString &shown : {QStringLiteral("A．显示器分辨率"), QStringLiteral("B．DNS服务器设置"),
                                 QStringLiteral("请写出排查这类故障时")})
      QVERIFY2(text.contains(shown), qPrintable(shown));
    // The case's two choice sub-questions are graded, under its number.
    QCOMPARE(int(f.paperState().questions.size()), 2);
    for (const TShiTi &s : f.paperState().questions)
      QCOMPARE(s.DaTiHao, 11);
  }
};

QBRX_TEST_MAIN(TstBankImportView)
#include "tst_bankimportview.moc"
