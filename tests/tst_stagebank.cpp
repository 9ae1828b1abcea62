// test-links: logic
// The build stages a rebuilt demo bank only over a staged bank that holds no
// learner data; a bank with the learner's records or favourites stays.
// ctest-timeout: 120

#include "TestEnv.h"
#include "store/BankBuilder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kTree = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'第一章',1,'1'),(100,'第一节',10,'2');\n"
    "INSERT INTO 系统参数(参数名,参数值) VALUES('TreeViewIndex','0'),('软件标题','演示');\n");

QString question(const QString &stem) {
  return QStringLiteral("INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释) "
                        "VALUES(1,1,100,'单项选择题',1,'%1','A','');\n")
      .arg(stem);
}

QByteArray sha(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TstStageBank : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString path(const QString &name) const { return m_dir.filePath(name); }

  // Runs the build's staging step for the demo bank `demo`.
  bool stage(const QString &demo) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("cmake"),
            {QStringLiteral("-DTOOL=") + qEnvironmentVariable("QBRX_BANK_TOOL"), QStringLiteral("-DNEW=") + demo,
             QStringLiteral("-DSTAGED=") + path(QStringLiteral("QBRX.db")),
             QStringLiteral("-DRECORD=") + path(QStringLiteral("staged.digest")), QStringLiteral("-P"),
             TestEnv::sourceDir() + QStringLiteral("/assets/StageBank.cmake")});
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
      qWarning().noquote() << p.readAll();
    return ok;
  }

private slots:
  void untouchedIsReplacedLearnerDataStays() {
    QVERIFY(m_dir.isValid());
    const QString staged = path(QStringLiteral("QBRX.db"));
    const QString first = path(QStringLiteral("first.db")), second = path(QStringLiteral("second.db")),
                  third = path(QStringLiteral("third.db"));
    BuildBankFromTexts(first, {kTree, question(QStringLiteral("题一"))});
    BuildBankFromTexts(second, {kTree, question(QStringLiteral("题一（改）"))});
    BuildBankFromTexts(third, {kTree, question(QStringLiteral("题一（再改）"))});

    // Nothing staged yet: the demo bank goes in.
    QVERIFY(stage(first));
    QCOMPARE(sha(staged), sha(first));
    // Untouched since: a rebuilt demo bank replaces it.
    QVERIFY(stage(second));
    QCOMPARE(sha(staged), sha(second));

    // The learner stored a test and marked a favourite: it stays.
    QFile::remove(staged);
    BuildBankFromTexts(staged, {kTree, question(QStringLiteral("题一（改）")),
                                QStringLiteral("INSERT INTO 测试结果(测试名称,试题数,答对,总分,得分,正确率,测试时间,"
                                               "测试类型,所属章节) VALUES('第一节',1,1,1,1,1,'2026-12-01 10:00:00',1,100);\n"
                                               "UPDATE 小题 SET 是否收藏=1 WHERE 小题号=1;\n")});
    const QByteArray learner = sha(staged);
    QVERIFY(stage(third));
    QCOMPARE(sha(staged), learner);
  }
};

QBRX_TEST_MAIN(TstStageBank)
#include "tst_stagebank.moc"
