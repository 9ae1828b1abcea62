// test-links: widgets
// The result report and the test history: the report's lines and totals,
// and what closing the report stores in a real bank.
// ctest-timeout: 180

#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "FakeHtmlView.h"
#include "TestEnv.h"
#include "exam/ui/ShowTestResult.h"
#include "exam/TestRecordStore.h"
#include "exam/TestReport.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/Transaction.h"

#include <QPushButton>
#include <QRegularExpression>
#include "app/PaperState.h"

#include <QtTest>
#include <memory>

namespace {

// A test record 5 with three questions and one with a number beyond 16 bits.
const char *kHistory = R"SQL(
INSERT INTO 测试结果(编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节)
  VALUES(5,'第一章',3,1,3,1,0.333,'2020-01-02 03:04:05',1,42);
INSERT INTO 测试题目 VALUES(5,11,-1);
INSERT INTO 测试题目 VALUES(5,12,0);
INSERT INTO 测试题目 VALUES(5,13,0);
INSERT INTO 测试结果(编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节)
  VALUES(70000,'模拟考场(2020-01-02 03:04:05)',3,1,3,1,0.333,'2020-01-02 03:04:05',2,0);
INSERT INTO 测试题目 VALUES(70000,11,-1);
INSERT INTO 测试题目 VALUES(70000,12,0);
INSERT INTO 测试题目 VALUES(70000,13,0);
)SQL";

const QString kRowHead = QStringLiteral("<tr><td width=\"28%\" align=\"center\" class=\"table1\">");

// A table row as the report writes it.
QString row(const QStringList &cells) {
  static const char *widths[] = {"28%", "15%", "12%", "15%", "15%", "15%"};
  QString s = QStringLiteral("<tr>");
  for (int i = 0; i < 6; ++i)
    s += QStringLiteral("<td width=\"%1\" align=\"center\" class=\"table1\">%2</td>").arg(widths[i], cells[i]);
  return s + QStringLiteral("</tr>");
}

TTest entry(const QString &type, int n, int right, float marks) {
  TTest t;
  t.TiMuType = type;
  t.NumOfShiTi = n;
  t.Right = right;
  t.Error = n - right;
  t.Total = float(double(marks) * n);
  t.Score = float(double(marks) * right);
  t.MNPP = float(double(right) / n);
  return t;
}

struct Row {
  qint64 test;
  int xiaoTiHao;
  int right;
  bool operator==(const Row &o) const { return test == o.test && xiaoTiHao == o.xiaoTiHao && right == o.right; }
};

char *toString(const Row &r) {
  return qstrdup(QByteArray::number(r.test) + "/" + QByteArray::number(r.xiaoTiHao) + "=" +
                 QByteArray::number(r.right));
}

} // namespace

Q_DECLARE_METATYPE(std::vector<TTest>)


class TstTestResult : public QObject {
  Q_OBJECT

  std::unique_ptr<FeatureHarness> m_harness;
  // Short names for the harness's parts.
  PaperState &paperState() { return m_harness->paper; }
  TDataModule1 *m_dm = nullptr;
  FakeDialogs *m_dialogs = nullptr;

  std::unique_ptr<TFrmShowTestResult> makeReport() {
    return std::make_unique<TFrmShowTestResult>(paperState(), 
        *m_dm, nullptr, [](QWidget *parent) { return std::make_unique<FakeHtmlView>(parent); });
  }
  static QStringList linesOf(TFrmShowTestResult &dlg) { return static_cast<FakeHtmlView &>(dlg.view()).lines; }

  // A graded paper: 10 questions at 1 mark all right, 10 at 2 marks all wrong.
  void setGradedPaper(qint16 kind) {
    paperState().kind = kind;
    paperState().title = QStringLiteral("第一章 O'Neil's \"notes\"");
    paperState().chapterId = 42;
    paperState().typeResults = {entry(QStringLiteral("单项选择题"), 10, 10, 1), entry(QStringLiteral("多项选择题"), 10, 0, 2)};
    paperState().questions.clear();
    for (int i = 0; i < 20; ++i) {
      TShiTi s;
      s.XiaoTiHao = 1001 + i;
      s.IsRight = i < 10;
      paperState().questions.push_back(s);
    }
  }

  QList<Row> questionRows() {
    TADOQuery q(m_dm->ADOConnection1, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT 测试编号,小题号,回答正确 FROM 测试题目 ORDER BY rowid"));
    q.Open();
    QList<Row> rows;
    for (q.First(); !q.Eof(); q.Next())
      rows.append({q.Fields(0).AsLargeInt(), q.Fields(1).AsInteger(), q.Fields(2).AsInteger()});
    return rows;
  }
  int recordCount() {
    TADOQuery q(m_dm->ADOConnection1, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果"));
    q.Open();
    return q.Fields(0).AsInteger();
  }
  // The 测试结果 row `id` as a map of column -> value.
  QVariantMap record(qint64 id) {
    TADOQuery q(m_dm->ADOConnection1, QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT * FROM 测试结果 WHERE 编号=%1").arg(id));
    q.Open();
    QVariantMap m;
    if (!q.IsEmpty())
      for (const QString &name : q.FieldNames())
        m.insert(name, q.FieldByName(name).Value());
    return m;
  }
  void checkTimeIsNow(const QVariant &stored, const QDateTime &before) {
    const QString text = stored.toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")).match(text).hasMatch(),
             qPrintable(text));
    const QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(t >= before.addSecs(-1) && t <= QDateTime::currentDateTime().addSecs(1));
  }

private slots:
  void init() {
    m_harness = std::make_unique<FeatureHarness>(QStringList{QString::fromUtf8(kHistory)});
    m_dm = &m_harness->dm;
    m_dialogs = m_harness->fake();
  }
  void cleanup() {
    m_dialogs = nullptr;
    m_dm = nullptr;
    m_harness.reset();
  }

  // The whole document of an empty report, line by line.
  void emptyReport() {
    const TestReport r = BuildTestReport({});
    const QStringList expected{
        "<html xmlns=\"http://www.w3.org/1999/xhtml\">",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />",
        "<META http-equiv=\"MSThemeCompatible\" content=\"yes\" >",
        "<title>测试结果</title>",
        "<style type=\"text/css\">",
        ".TestBody{background-color:#EFF8FF;color:Red;FONT-SIZE:28px;font-family:宋体,宋体;LINE-HEIGHT:140%;}",
        ".TestCaption{font-weight:bold;font-size:18px;font-family:宋体, serif;LINE-HEIGHT:140%;text-align:center;"
        "margin-top:4px;margin-bottom:8px;}",
        ".table3{font-weight:bold;background-color:#c9e9f9;color:#000000;border:#7F9DB9 1px solid;cursor:hand;}",
        ".table4{font-weight:bold;background-color:#c9e9f9;color:#000000;border-bottom:#7F9DB9 1px solid;"
        "border-top:#7F9DB9 1px solid;border-left:#7F9DB9 1px solid;cursor:hand;}",
        ".table1{background-color:#eff8ff;color:#000000;border-left:#7F9DB9 1px solid;border-right:#7F9DB9 1px "
        "solid;border-bottom:#7F9DB9 1px solid;cursor:hand;}",
        "</style>",
        "</head>",
        "<body class=\"TestBody\">",
        "<div align=\"center\"><span class=\"TestCaption\">本次测试结果</span></div>",
        "<table width=\"532\" align=\"center\" cellspacing=\"0\">",
        "<tr>",
        "<td width=\"28%\" align=\"center\" class=\"table4\">题型</td>",
        "<td width=\"15%\" align=\"center\" class=\"table4\">试题数</td>",
        "<td width=\"12%\" align=\"center\" class=\"table4\">答对</td>",
        "<td width=\"15%\" align=\"center\" class=\"table4\">总分</td>",
        "<td width=\"15%\" align=\"center\" class=\"table4\">得分</td>",
        "<td width=\"15%\" align=\"center\" class=\"table3\">正确率</td>",
        "</tr>",
        row({"合计", "0", "0", "0.00", "0.00", "0.00%"}),
        "</table></body></html>"};
    QCOMPARE(r.lines, expected);
    QCOMPARE(r.totals.SumNumOfShiTi, 0);
    QCOMPARE(r.totals.SumTotal, 0.0f);
  }

  // Entry rows and the total row; the total accuracy counts answers, not marks.
  void reportRows_data() {
    QTest::addColumn<std::vector<TTest>>("results");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("marks against counts")
        << std::vector<TTest>{entry("单项选择题", 10, 10, 1), entry("多项选择题", 10, 0, 2)}
        << QStringList{row({"单项选择题", "10", "10", "10.00", "10.00", "100.00%"}),
                       row({"多项选择题", "10", "0", "20.00", "0.00", "0.00%"}),
                       row({"合计", "20", "10", "30.00", "10.00", "50.00%"})};
    QTest::newRow("half marks, thirds")
        << std::vector<TTest>{entry("判断题", 4, 3, 0.5f), entry("案例分析题", 3, 2, 2)}
        << QStringList{row({"判断题", "4", "3", "2.00", "1.50", "75.00%"}),
                       row({"案例分析题", "3", "2", "6.00", "4.00", "66.67%"}),
                       row({"合计", "7", "5", "8.00", "5.50", "71.43%"})};
    QTest::newRow("ties round away from zero")
        << std::vector<TTest>{entry("单项选择题", 32, 1, 0.125f)}
        << QStringList{row({"单项选择题", "32", "1", "4.00", "0.13", "3.13%"}),
                       row({"合计", "32", "1", "4.00", "0.13", "3.13%"})};
    QTest::newRow("no marks") << std::vector<TTest>{entry("排序题", 2, 1, 0)}
                              << QStringList{row({"排序题", "2", "1", "0.00", "0.00", "50.00%"}),
                                             row({"合计", "2", "1", "0.00", "0.00", "50.00%"})};
  }
  void reportRows() {
    QFETCH(std::vector<TTest>, results);
    QFETCH(QStringList, rows);
    const QStringList lines = BuildTestReport(results).lines;
    QStringList written;
    for (const QString &l : lines)
      if (l.startsWith(kRowHead))
        written << l;
    QCOMPARE(written, rows);
    QCOMPARE(lines.last(), QStringLiteral("</table></body></html>"));
  }

  // Texts of the stored numbers.
  void storedNumberTexts() {
    QCOMPARE(MarksText(0.1f), QStringLiteral("0.1"));
    QCOMPARE(MarksText(30.0f), QStringLiteral("30"));
    QCOMPARE(MarksText(1.5f), QStringLiteral("1.5"));
    QCOMPARE(MarksText(0.0f), QStringLiteral("0"));
    QCOMPARE(MarksText(float(0.1 * 3)), QStringLiteral("0.3"));
    QCOMPARE(AccuracyText(10, 30), QStringLiteral("0.333333333333333"));
    QCOMPARE(AccuracyText(20, 30), QStringLiteral("0.666666666666667"));
    QCOMPARE(AccuracyText(1.5f, 2), QStringLiteral("0.75"));
    QCOMPARE(AccuracyText(2, 2), QStringLiteral("1"));
    QCOMPARE(AccuracyText(0, 0), QStringLiteral("0"));
    QCOMPARE(AccuracyText(3, 0), QStringLiteral("0"));
    QCOMPARE(TestTimeText(QDateTime(QDate(2010, 2, 6), QTime(5, 4, 9))), QStringLiteral("2010-02-06 05:04:09"));
  }

  // The dialog: caption, the default button, the report written into a blank view.
  void dialogShape() {
    setGradedPaper(PaperKinds::Search);
    auto dlg = makeReport();
    QCOMPARE(dlg->windowTitle(), QStringLiteral("测试结果"));
    QCOMPARE(dlg->closeButton()->text(), QStringLiteral("关闭"));
    QVERIFY(dlg->closeButton()->isDefault());
    auto &view = static_cast<FakeHtmlView &>(dlg->view());
    QVERIFY(dlg->isAncestorOf(view.widget()));
    QCOMPARE(view.navigations, QStringList{QStringLiteral("about:blank")});
    QCOMPARE(view.lines, BuildTestReport(paperState().typeResults).lines);
    QCOMPARE(dlg->totals().SumNumOfShiTi, 20);
    QCOMPARE(dlg->totals().SumRight, 10);
    QCOMPARE(dlg->totals().SumTotal, 30.0f);
    QCOMPARE(dlg->totals().SumScore, 10.0f);
  }

  // The report as the learner sees it, in the real view.
  void reportInRealView() {
    setGradedPaper(PaperKinds::Search);
    TFrmShowTestResult dlg(paperState(), *m_dm);
    auto &view = dynamic_cast<WebHtmlView &>(dlg.view());
    QVERIFY(dlg.isAncestorOf(view.widget()));
    const QStringList rows = view.evaluate(QStringLiteral(
        "Array.prototype.map.call(document.querySelectorAll('tr'), function (r) {"
        " return Array.prototype.map.call(r.cells, function (c) { return c.textContent; }).join('|'); })"))
                                 .toStringList();
    QCOMPARE(rows, (QStringList{"题型|试题数|答对|总分|得分|正确率", "单项选择题|10|10|10.00|10.00|100.00%",
                                "多项选择题|10|0|20.00|0.00|0.00%", "合计|20|10|30.00|10.00|50.00%"}));
    QCOMPARE(view.evaluate(QStringLiteral("document.title + '|' + document.body.className")).toString(),
             QStringLiteral("测试结果|TestBody"));
    QVERIFY2(view.scriptErrors().isEmpty(), qPrintable(view.scriptErrors().join('\n')));
    dlg.reject();
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // A new record for kinds 1, 2, 4, 5, 7, whether the button or the close
  // box closes the report.
  void newRecordOnClose_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("byButton");
    QTest::newRow("chapter, button") << 1 << true;
    QTest::newRow("mock exam, close box") << 2 << false;
    QTest::newRow("favourites, button") << 4 << true;
    QTest::newRow("review, close box") << 5 << false;
    QTest::newRow("due review, button") << 7 << true;
  }
  void newRecordOnClose() {
    QFETCH(int, kind);
    QFETCH(bool, byButton);
    setGradedPaper(qint16(kind));
    m_dialogs->answers = {true};
    const QDateTime before = QDateTime::currentDateTime();
    auto dlg = makeReport();
    dlg->show();
    if (byButton)
      dlg->closeButton()->click();
    else
      dlg->close();
    QVERIFY(!dlg->isVisible());

    QCOMPARE(m_dialogs->texts(), (QStringList{QStringLiteral("是否将本次测试结果保存到测试历史中？(Y/N)"),
                                              QStringLiteral("已经成功地保存到测试历史中！")}));
    QCOMPARE(m_dialogs->shown[0].caption, QStringLiteral("保存测试历史"));
    QCOMPARE(m_dialogs->shown[1].caption, QStringLiteral("保存成功"));
    QCOMPARE(recordCount(), 3);
    const QVariantMap r = record(70001);
    QCOMPARE(r.value("测试名称").toString(), QStringLiteral("第一章 O'Neil's \"notes\""));
    QCOMPARE(r.value("试题数").toInt(), 20);
    QCOMPARE(r.value("答对").toInt(), 10);
    QCOMPARE(r.value("总分").toDouble(), 30.0);
    QCOMPARE(r.value("得分").toDouble(), 10.0);
    // The share of marks, not the report's 50.00%, and exactly the 15-digit value.
    QCOMPARE(QString::number(r.value("正确率").toDouble(), 'g', 17), QString::number(0.333333333333333, 'g', 17));
    QCOMPARE(r.value("测试类型").toInt(), kind);
    QCOMPARE(r.value("所属章节").toInt(), 42);
    checkTimeIsNow(r.value("测试时间"), before);
    const QList<Row> rows = questionRows().mid(6);
    QCOMPARE(rows.size(), 20);
    for (int i = 0; i < 20; ++i)
      QCOMPARE(rows[i], (Row{70001, 1001 + i, i < 10 ? -1 : 0}));
  }

  // Closing twice (grading the same page again) stores two records.
  void everyCloseStoresAnotherRecord() {
    setGradedPaper(PaperKinds::Chapter);
    m_dialogs->defaultAnswer = true;
    makeReport()->reject();
    makeReport()->reject();
    QCOMPARE(recordCount(), 4);
    QCOMPARE(questionRows().size(), 6 + 40);
  }

  // No stores nothing; kinds never stored ask nothing.
  void nothingStored_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("asked");
    QTest::newRow("answered No") << 1 << true;
    QTest::newRow("redo answered No") << 6 << true;
    QTest::newRow("search") << 3 << false;
    QTest::newRow("feedback page") << 9 << false;
    QTest::newRow("no paper kind") << 0 << false;
    QTest::newRow("unknown kind") << 8 << false;
  }
  void nothingStored() {
    QFETCH(int, kind);
    QFETCH(bool, asked);
    setGradedPaper(qint16(kind));
    paperState().redoTestId = 5;
    m_dialogs->answers = {false};
    const QVariantMap before = record(5);
    makeReport()->reject();
    QCOMPARE(m_dialogs->texts(),
             asked ? QStringList{QStringLiteral("是否将本次测试结果保存到测试历史中？(Y/N)")} : QStringList{});
    QCOMPARE(recordCount(), 2);
    QCOMPARE(questionRows().size(), 6);
    QCOMPARE(record(5), before);
  }

  // Kind 6 overwrites the redone record and its question rows, nothing else.
  void redoOverwritesRecord_data() {
    QTest::addColumn<quint32>("id");
    QTest::newRow("record 5") << 5u;
    QTest::newRow("record beyond 16 bits") << 70000u;
  }
  void redoOverwritesRecord() {
    QFETCH(quint32, id);
    const quint32 other = id == 5 ? 70000 : 5;
    paperState().kind = PaperKinds::Redo;
    paperState().redoTestId = id;
    paperState().title = QStringLiteral("错题重做");
    paperState().chapterId = 99;
    paperState().typeResults = {entry(QStringLiteral("单项选择题"), 3, 2, 0.5f)};
    paperState().questions.clear();
    for (auto [n, right] : {std::pair{12, true}, std::pair{13, false}, std::pair{14, true}}) {
      TShiTi s;
      s.XiaoTiHao = n;
      s.IsRight = right;
      paperState().questions.push_back(s);
    }
    m_dialogs->answers = {true};
    const QVariantMap untouched = record(other);
    const QVariantMap old = record(id);
    const QDateTime before = QDateTime::currentDateTime();
    makeReport()->reject();

    QCOMPARE(m_dialogs->texts().last(), QStringLiteral("已经成功地保存到测试历史中！"));
    QCOMPARE(recordCount(), 2);
    const QVariantMap r = record(id);
    QCOMPARE(r.value("试题数").toInt(), 3);
    QCOMPARE(r.value("答对").toInt(), 2);
    QCOMPARE(r.value("总分").toDouble(), 1.5);
    QCOMPARE(r.value("得分").toDouble(), 1.0);
    QCOMPARE(QString::number(r.value("正确率").toDouble(), 'g', 17), QString::number(0.666666666666667, 'g', 17));
    checkTimeIsNow(r.value("测试时间"), before);
    for (const char *kept : {"测试名称", "测试类型", "所属章节"})
      QCOMPARE(r.value(kept), old.value(kept));
    QCOMPARE(record(other), untouched);
    const qint64 a = 5, b = 70000;
    const qint64 x = id;
    auto expect = [&](qint64 t, int n, int right) { return Row{t, n, t == x ? right : (n == 11 ? -1 : 0)}; };
    QCOMPARE(questionRows(), (QList<Row>{expect(a, 11, -1), expect(a, 12, -1), expect(a, 13, 0), expect(b, 11, -1),
                                         expect(b, 12, -1), expect(b, 13, 0)}));
  }

  // Redoing a record that no longer exists (deleted in the meantime) stores
  // nothing and says so, instead of reporting a save that changed nothing.
  void redoOfDeletedRecord() {
    setGradedPaper(PaperKinds::Redo);
    paperState().redoTestId = 4242;
    m_dialogs->defaultAnswer = true;
    const QList<Row> rowsBefore = questionRows();
    const QVariantMap record5 = record(5);
    makeReport()->reject();

    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(m_dialogs->shown[1].text, QStringLiteral("保存测试结果到测试历史中出错，请重新操作！"));
    QCOMPARE(m_dialogs->shown[1].icon, Dialogs::Icon::Warning);
    QCOMPARE(recordCount(), 2);
    QCOMPARE(record(5), record5);
    QCOMPARE(questionRows(), rowsBefore);
    QVERIFY(!m_dm->ADOConnection1.InTransaction());
  }

  // A failure in the middle of the writes stores nothing at all and names the
  // step that failed; the connection is usable afterwards.
  // A store that cannot open its own transaction, because another is
  // already open on the connection, fails without touching that one: its
  // writes stay and are kept when it commits.
  void storeLeavesAnOpenTransactionAlone() {
    setGradedPaper(1);
    {
      Transaction outer(*m_dm);
      TADOQuery q(m_dm->ADOConnection1, QStringLiteral("outer"));
      q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('外层')"));
      q.ExecSQL();
      TestRecordStore store(*m_dm);
      QCOMPARE(store.store(CurrentTestOutcome(paperState(), BuildTestReport(paperState().typeResults).totals), QDateTime::currentDateTime()),
               TestRecordStore::Result::RecordFailed);
      QVERIFY(m_dm->ADOConnection1.InTransaction());
      outer.commit();
    }
    QCOMPARE(recordCount(), 3);
    QCOMPARE(questionRows().size(), 6);
  }

  void failureStoresNothing_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("warning");
    // Faults come from TEMP triggers of the connection: the program runs no
    // trigger of a bank file.
    const QString rowsFailed = QStringLiteral("保存测试题目到测试历史中出错，请重新操作！");
    const QString recordFailed = QStringLiteral("保存测试结果到测试历史中出错，请重新操作！");
    QTest::newRow("third question row") << 1
        << "CREATE TEMP TRIGGER fail_third BEFORE INSERT ON 测试题目 "
           "WHEN (SELECT count(*) FROM 测试题目 WHERE 测试编号=NEW.测试编号) >= 2 "
           "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;"
        << rowsFailed;
    QTest::newRow("the record") << 2
        << "CREATE TEMP TRIGGER fail_record BEFORE INSERT ON 测试结果 BEGIN SELECT RAISE(ABORT, 'disk is full'); END;"
        << recordFailed;
    QTest::newRow("redo, second question row") << 6
        << "CREATE TEMP TRIGGER fail_second BEFORE UPDATE ON 测试题目 WHEN NEW.小题号 = 12 "
           "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;"
        << rowsFailed;
    QTest::newRow("redo, the record") << 6
        << "CREATE TEMP TRIGGER fail_record BEFORE UPDATE ON 测试结果 BEGIN SELECT RAISE(ABORT, 'disk is full'); END;"
        << recordFailed;
  }
  void failureStoresNothing() {
    QFETCH(int, kind);
    QFETCH(QString, trigger);
    QFETCH(QString, warning);
    m_dm->ADOConnection1.ExecuteScript(trigger);
    setGradedPaper(qint16(kind));
    paperState().redoTestId = 5;
    paperState().questions[0].XiaoTiHao = 11;
    paperState().questions[1].XiaoTiHao = 12;
    paperState().questions[2].XiaoTiHao = 13;
    m_dialogs->defaultAnswer = true;
    const QVariantMap record5 = record(5);
    const QList<Row> rowsBefore = questionRows();
    makeReport()->reject();

    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(m_dialogs->shown[1].text, warning);
    QCOMPARE(m_dialogs->shown[1].caption, QStringLiteral("保存失败"));
    QCOMPARE(m_dialogs->shown[1].icon, Dialogs::Icon::Warning);
    QCOMPARE(recordCount(), 2);
    QCOMPARE(record(5), record5);
    QCOMPARE(questionRows(), rowsBefore);
    QVERIFY(!m_dm->ADOConnection1.InTransaction());

    // Once the cause is gone the same outcome is stored whole.
    m_dm->ADOConnection1.ExecuteScript(QStringLiteral(
        "DROP TRIGGER IF EXISTS fail_third; DROP TRIGGER IF EXISTS fail_record; DROP TRIGGER IF EXISTS fail_second;"));
    TestRecordStore store(*m_dm);
    QCOMPARE(store.store(CurrentTestOutcome(paperState(), BuildTestReport(paperState().typeResults).totals), QDateTime::currentDateTime()),
             TestRecordStore::Result::Saved);
    QCOMPARE(recordCount(), kind == 6 ? 2 : 3);
    if (kind != 6)
      QCOMPARE(questionRows().size(), 6 + 20);
  }
};

QBRX_TEST_MAIN(TstTestResult)
#include "tst_testresult.moc"
