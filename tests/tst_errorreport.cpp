// test-links: widgets
// ctest-timeout: 300
// The error feedback form against a real PostgreSQL feedback server started
// for this test.

#include "FakeDialogs.h"
#include "PgServer.h"
#include "TestEnv.h"
#include "feedback/FeedbackStore.h"
#include "feedback/ui/ErrorReport.h"
#include "render/ui/ExternalContainer.h"
#include "render/PageBuilder.h"
#include "app/PaperState.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include "render/ui/WebHtmlView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <libpq-fe.h>
#include <memory>

using Ticks = ErrorReportLogic::Ticks;

class TstErrorReport : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

  std::unique_ptr<PgServer> m_pg;
  std::unique_ptr<TestEnv::ProgramDirFixture> m_dir;
  std::unique_ptr<TDataModule1> m_dm;
  static constexpr int kReported = 101;

  void setFeedbackParameter(const QString &value) {
    TADOQuery &q = m_dm->ADOQuery3;
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("DELETE FROM 系统参数 WHERE 参数名='错误反馈数据库'"));
    q.ExecSQL();
    if (value.isNull())
      return;
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("INSERT INTO 系统参数(参数名,参数值) VALUES('错误反馈数据库',") + QuotedStr(value) +
              QStringLiteral(")"));
    q.ExecSQL();
  }

  QList<QStringList> storedRows() {
    const auto rows =
        m_pg->query(QStringLiteral("SELECT SubjectID, ErrorInfo, OtherInfo, Status, LibraryName FROM ErrorReport ORDER BY ID"));
    if (!m_pg->errorString().isEmpty())
      qWarning() << m_pg->errorString();
    return rows;
  }

  static void fill(TFrmErrorReport &form, const QList<int> &boxes, const QString &memo) {
    for (int box : boxes)
      form.CheckBoxes[box - 1]->setChecked(true);
    form.Memo1->setPlainText(memo);
  }

private slots:
  void initTestCase() {
    m_pg = std::make_unique<PgServer>();
    QVERIFY2(m_pg->isRunning(), qPrintable(m_pg->errorString()));
    m_dir = std::make_unique<TestEnv::ProgramDirFixture>();
    m_dm = std::make_unique<TDataModule1>();
    QCOMPARE(OpenBankAtStartup(*m_dm, m_dir->root()), StartupResult::Opened);
    LoadSystemParameters(*m_dm);
    QVERIFY(!SoftTitle.isEmpty());
  }

  void init() {
    paperState() = PaperState{};
    paperState().paper = {TXiaoTi{kReported}};
    setFeedbackParameter(m_pg->conninfo());
    QVERIFY2(m_pg->exec(QStringLiteral("TRUNCATE ErrorReport")), qPrintable(m_pg->errorString()));
  }

  void cleanupTestCase() {
    m_dm.reset();
    m_pg.reset();
  }

  void formLayout() {
    TFrmErrorReport form(*m_dm, kReported);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("错题反馈"));
    QCOMPARE(form.size(), QSize(750, 478));
    QVERIFY(form.BitBtn1->isDefault());
    QCOMPARE(form.BitBtn1->text(), QStringLiteral("确定"));
    QCOMPARE(form.BitBtn2->text(), QStringLiteral("关闭"));
    // Two columns: 1, 3, 5, 6, 7 on the left and 2, 4, 8, 9, 10 on the
    // right, each from top to bottom.
    const QList<QList<int>> columns = {{1, 3, 5, 6, 7}, {2, 4, 8, 9, 10}};
    const int leftX = form.CheckBoxes[0]->x(), rightX = form.CheckBoxes[1]->x();
    QVERIFY(leftX < rightX);
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < columns[c].size(); ++i) {
        const QCheckBox *box = form.CheckBoxes[columns[c][i] - 1];
        QCOMPARE(box->x(), c == 0 ? leftX : rightX);
        if (i > 0)
          QVERIFY(box->y() > form.CheckBoxes[columns[c][i - 1] - 1]->y());
      }
    }
    // The page fills the upper part, the band lies under it.
    QVERIFY(form.GroupBox1->mapTo(&form, QPoint()).y() >= form.WebBrowser1->geometry().bottom());
    QVERIFY(form.GroupBox1->x() < form.GroupBox2->x());
  }

  void submitStoresRow_data() {
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("errorInfo");

    QTest::newRow("boxes 2 and 7") << QList<int>{2, 7} << QStringLiteral("第三个选项的图片缺失")
                                   << QStringLiteral("解题思路与题干不符,试题有错别字");
    QTest::newRow("no box") << QList<int>{} << QStringLiteral("答案应为 B") << QString();
    QTest::newRow("every box") << QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1} << QStringLiteral("x")
                               << ErrorReportLogic::captions().join(QLatin1Char(','));
    QTest::newRow("only blanks") << QList<int>{3} << QStringLiteral("   ")
                                 << QStringLiteral("试题不在考试大纲范围内");

    // Quotes, backslashes, SQL-looking text, line breaks and characters that
    // GBK cannot encode (U+20000, an emoji, Hangul), 5,000 characters long.
    const QString piece = QStringLiteral("It's \"quoted\" \\ back\\\\slash '); DROP TABLE ErrorReport; -- ") +
                          QString::fromUcs4(U"\U00020000\U0001F600한글ñ€") + QStringLiteral("\n% _ $1 \\x00 ");
    QString memo;
    while (memo.size() < 5000)
      memo += piece;
    memo.truncate(5000);
    if (memo.back().isHighSurrogate())
      memo.chop(1), memo += QLatin1Char('.');
    QTest::newRow("5000 characters") << QList<int>{1} << memo << QStringLiteral("试题图片不显示");
  }

  void submitStoresRow() {
    QFETCH(QList<int>, boxes);
    QFETCH(QString, memo);
    QFETCH(QString, errorInfo);

    FakeDialogs fake;
    TFrmErrorReport form(*m_dm, kReported);
    fill(form, boxes, memo);
    QCOMPARE(form.Memo1->toPlainText(), memo);
    form.BitBtn1->click();

    QCOMPARE(fake.texts(), QStringList{QStringLiteral("提交错题反馈成功！")});
    QCOMPARE(fake.shown.first().caption, QStringLiteral("提示"));
    QCOMPARE(fake.shown.first().icon, Dialogs::Icon::Information);
    QCOMPARE(form.result(), int(QDialog::Accepted));

    const auto rows = storedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first(), (QStringList{QString::number(kReported), errorInfo, memo, QStringLiteral("提交"), SoftTitle}));
  }

  void emptyMemoRefused() {
    FakeDialogs fake;
    TFrmErrorReport form(*m_dm, kReported);
    form.show();
    fill(form, {2, 7}, QString());
    form.BitBtn1->click();

    QCOMPARE(fake.texts(), QStringList{QStringLiteral("请填写需要反馈的信息！")});
    QCOMPARE(fake.shown.first().caption, QStringLiteral("提示"));
    QCOMPARE(fake.shown.first().icon, Dialogs::Icon::Information);
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(storedRows().isEmpty());
  }

  void unreachableServerFails_data() {
    QTest::addColumn<QString>("conninfo");
    QTest::addColumn<bool>("silentServer"); // a listener that never answers
    QTest::addColumn<QString>("message"); // what the learner is told
    const QString failed = QStringLiteral("提交错题反馈失败！\n原因：");
    const QString notConfigured = QStringLiteral("错题反馈未配置：这个程序的发行方没有设置反馈服务器。");
    QTest::newRow("nothing listens")
        << QStringLiteral("host=127.0.0.1 port=%1 dbname=qbrx_feedback user=qbrx connect_timeout=5")
               .arg(PgServer::freePort())
        << false << failed + QStringLiteral("服务器拒绝连接（服务器没有运行，或者地址、端口不对）");
    // A longer connect_timeout in the string is cut to the 5 s maximum.
    QTest::newRow("server never answers")
        << QStringLiteral("host=127.0.0.1 port=%1 dbname=qbrx_feedback user=qbrx connect_timeout=60") << true
        << failed + QStringLiteral("连接服务器超时（网络不通，或者服务器没有应答）");
    QTest::newRow("wrong database") << m_pg->conninfo().replace(QStringLiteral("dbname=qbrx_feedback"),
                                                                QStringLiteral("dbname=postgres"))
                                    << false
                                    << failed + QStringLiteral("服务器拒绝了这份反馈（服务器上的数据库或账户不对）");
    QTest::newRow("malformed string") << QStringLiteral("host='127.0.0.1") << false
                                      << failed + QStringLiteral("错误反馈服务器的设置有误");
    // No server configured: said as such, nothing tried.
    QTest::newRow("no parameter") << QString() << false << notConfigured;
    QTest::newRow("empty parameter") << QStringLiteral("") << false << notConfigured;
    QTest::newRow("blank parameter") << QStringLiteral("  ") << false << notConfigured;
  }

  void unreachableServerFails() {
    QFETCH(QString, conninfo);
    QFETCH(bool, silentServer);
    QFETCH(QString, message);

    QTcpServer silent;
    QList<QTcpSocket *> held; // accepted and left unanswered
    if (silentServer) {
      QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
      connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *s = silent.nextPendingConnection())
          held << s;
      });
      conninfo = conninfo.arg(silent.serverPort());
    }
    setFeedbackParameter(conninfo);

    FakeDialogs fake;
    TFrmErrorReport form(*m_dm, kReported);
    form.show();
    fill(form, {7}, QStringLiteral("题干第二行有错字"));

    // The window's event loop keeps running while the form waits.
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);

    QElapsedTimer elapsed;
    elapsed.start();
    form.BitBtn1->click();
    const qint64 ms = elapsed.elapsed();

    QCOMPARE(fake.texts(), QStringList{message});
    QCOMPARE(fake.shown.first().caption, QStringLiteral("提示"));
    QCOMPARE(fake.shown.first().icon, Dialogs::Icon::Information);
    // Within the connect deadline, with room for a loaded machine.
    QVERIFY2(ms < FeedbackStore::MaxConnectSeconds * 1000 + 3000,
             qPrintable(QStringLiteral("failure took %1 ms").arg(ms)));
    if (silentServer)
      QVERIFY2(ticks >= 10, qPrintable(QStringLiteral("%1 timer ticks in %2 ms").arg(ticks).arg(ms)));

    // The form stays open with its input and can be used again.
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.ticked(), (Ticks{false, false, false, false, false, false, true, false, false, false}));
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("题干第二行有错字"));
    QVERIFY(form.BitBtn1->isEnabled());
    QVERIFY(form.BitBtn2->isEnabled());
    QVERIFY(storedRows().isEmpty());
    qDeleteAll(held);
  }

  // A server that cannot take the row in time (the table is locked by
  // another session): the report fails within its statement deadline, and
  // the statement is cancelled on the server, so the row does not appear
  // once the lock goes — the learner was told it failed.
  void lateStatementIsCancelled() {
    PGconn *locker = PQconnectdb(m_pg->conninfo().toUtf8().constData());
    QVERIFY2(PQstatus(locker) == CONNECTION_OK, PQerrorMessage(locker));
    const auto exec = [locker](const char *sql) {
      PGresult *r = PQexec(locker, sql);
      const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
      PQclear(r);
      return ok;
    };
    QVERIFY(exec("BEGIN"));
    QVERIFY(exec("LOCK TABLE ErrorReport IN ACCESS EXCLUSIVE MODE"));

    FeedbackStore::Limits limits;
    limits.statementMs = 500;
    FeedbackRow row;
    row.SubjectID = kReported;
    row.ErrorInfo = QStringLiteral("答案有误");
    row.OtherInfo = QStringLiteral("late");
    QElapsedTimer elapsed;
    elapsed.start();
    const FeedbackStore::Result result = FeedbackStore(m_pg->conninfo(), limits).insertWaiting(row);
    const qint64 ms = elapsed.elapsed();
    QVERIFY(!result.ok);
    QVERIFY2(ms < limits.capMs(), qPrintable(QStringLiteral("failure took %1 ms").arg(ms)));

    QVERIFY(exec("COMMIT"));
    PQfinish(locker);
    // Whatever the server still had of the report has ended by now.
    QTRY_COMPARE_WITH_TIMEOUT(
        m_pg->query(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'INSERT INTO ErrorReport%' "
                                   "AND state <> 'idle'")),
        (QList<QStringList>{{QStringLiteral("0")}}), 20000);
    QVERIFY(storedRows().isEmpty());
  }

  // The connection string is read at each submit: after a failure the
  // learner can send the same input again once the server is reachable.
  void sendAgainAfterFailure() {
    FakeDialogs fake;
    TFrmErrorReport form(*m_dm, kReported);
    form.show();
    fill(form, {4}, QStringLiteral("解析中的图"));
    m_pg->stop();
    form.BitBtn1->click();
    const QString failed = ErrorReportLogic::failureMessage(QStringLiteral("Connection refused"));
    QCOMPARE(fake.texts(), QStringList{failed});
    QVERIFY(form.isVisible());

    QVERIFY2(m_pg->start(), qPrintable(m_pg->errorString())); // the script runs again on the same cluster
    form.BitBtn1->click();
    QCOMPARE(fake.texts(), (QStringList{failed, QStringLiteral("提交错题反馈成功！")}));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(storedRows(), (QList<QStringList>{{QString::number(kReported), QStringLiteral("解题思路图片不显示"),
                                                QStringLiteral("解析中的图"), QStringLiteral("提交"), SoftTitle}}));
  }

  // The "错题反馈" link of a chapter page in the main view: the form shows
  // the one-question page, the report arrives as one row, and the paper
  // state belongs to the feedback page while the questions of the paper on
  // display (paperState().questions) stay as they were.
  void reportFromPage() {
    TADOQuery &q = m_dm->ADOQuery2;
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 小题号, 题目内容 FROM 小题 WHERE 题目类型='单项选择题' AND 题目内容 NOT LIKE '%<%' "
                             "ORDER BY 小题号 LIMIT 3"));
    q.Open();
    QCOMPARE(q.RecordCount(), 3);
    QStringList stems;
    paperState().paper.clear();
    for (q.First(); !q.Eof(); q.Next()) {
      paperState().paper.push_back(TXiaoTi{q.FieldByName(QStringLiteral("小题号")).AsInteger()});
      stems << q.FieldByName(QStringLiteral("题目内容")).AsString().left(10);
    }
    q.Close();
    const int number = paperState().paper[1].XiaoTiHao; // the second question's link

    paperState().kind = PaperKinds::Chapter;
    BuildQuestionPage(paperState(), QStringLiteral("第一章"), 0, *m_dm, m_dm->programDir);
    QVERIFY(paperState().questions.size() == 3);
    std::vector<int> paperNumbers;
    for (const TShiTi &s : paperState().questions)
      paperNumbers.push_back(s.XiaoTiHao);

    WebHtmlView mainView;
    TExternalContainer container(&mainView, m_dm->programDir.root());
    connect(container.GetExternal(), &TMyExternal::errorReportRequested, this,
            [&](int n) { TFrmErrorReport::Open(n, *m_dm, m_dm->programDir, &mainView); });
    mainView.resize(800, 600);
    mainView.show();
    mainView.navigate(m_dm->programDir.questionPagePath());
    QVERIFY(mainView.waitForLoad());

    FakeDialogs fake;
    QString pageText, pageFile;
    fake.modalHandler = [&](QDialog &dialog) {
      auto *form = qobject_cast<TFrmErrorReport *>(&dialog);
      if (!form)
        return 0;
      form->show();
      form->WebBrowser1->waitForLoad();
      pageFile = form->WebBrowser1->url().toLocalFile();
      pageText = form->WebBrowser1->evaluate(QStringLiteral("document.body.innerText")).toString();
      fill(*form, {2, 7}, QStringLiteral("选项 C 与解析不一致"));
      form->BitBtn1->click();
      return form->result();
    };
    mainView.runScript(QStringLiteral("document.querySelectorAll('a[mode=\"ct\"]')[1].firstElementChild.click()"));
    QTRY_COMPARE(fake.modalForms, QStringList{QStringLiteral("TFrmErrorReport")});

    // The form's page is a file of its own: the paper on display is untouched.
    QCOMPARE(QFileInfo(pageFile), QFileInfo(m_dm->programDir.feedbackPagePath()));
    QVERIFY2(pageText.contains(stems[1]), qPrintable(pageText.left(300)));
    QVERIFY(!pageText.contains(stems[0]));
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("提交错题反馈成功！")});
    QCOMPARE(storedRows(), (QList<QStringList>{{QString::number(number), QStringLiteral("解题思路与题干不符,试题有错别字"),
                                                QStringLiteral("选项 C 与解析不一致"), QStringLiteral("提交"), SoftTitle}}));

    QCOMPARE(paperState().paper.size(), size_t(3));
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, QStringLiteral("第一章"));
    std::vector<int> after;
    for (const TShiTi &s : paperState().questions)
      after.push_back(s.XiaoTiHao);
    QCOMPARE(after, paperNumbers);
  }

  void closeSendsNothing() {
    FakeDialogs fake;
    TFrmErrorReport form(*m_dm, kReported);
    form.show();
    fill(form, {1}, QStringLiteral("text"));
    form.BitBtn2->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(fake.shown.isEmpty());
    QVERIFY(storedRows().isEmpty());
  }
};

QBRX_TEST_MAIN(TstErrorReport)
#include "tst_errorreport.moc"
