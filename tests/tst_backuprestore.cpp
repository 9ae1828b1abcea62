// test-links: widgets
// Backup and restore: the name rule, what a restore accepts, the pending
// restore taken by the next start, a backup that fails half-way, and both
// dialogs through the program's own dialogs.
// ctest-timeout: 240

#include "BankFixture.h"
#include "BankSynth.h"
#include "FakeDialogs.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/ui/DBBackup.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "app/ui/WidgetDialogs.h"
#include "store/BankBuilder.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/PendingRestore.h"
#include "store/Startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray digest(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int testRecords(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
  q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果"));
  q.Open();
  return q.Fields(0).AsInteger();
}

void addRecord(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("add"));
  q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称,测试类型) VALUES('新的测试',1)"));
  q.ExecSQL();
}

bool maskedOnDisk(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return false;
  const QByteArray header = f.read(4096);
  return header.mid(66, 40) == QByteArray(reinterpret_cast<const char *>(kMaskingBlock.data()), 40);
}

} // namespace

class TstBackupRestore : public QObject {
  Q_OBJECT

private slots:
  void extensionRule_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("capitals") << "/tmp/x.DB" << false;
    QTest::newRow("db.bak") << "/tmp/x.db.bak" << false;
    QTest::newRow("folder with a dot") << "/tmp/d.db/x" << false;
    QTest::newRow("no extension") << "/tmp/x" << false;
    QTest::newRow("db") << "/tmp/x.db" << true;
  }
  void extensionRule() {
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    QCOMPARE(HasBankExtension(path), accepted);
  }

  // Only a bank of ours is restored; whatever is refused, QBRX.db keeps
  // every byte and nothing waits for the next start.
  void restoreSources_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("zero bytes") << "empty" << false;
    QTest::newRow("plain SQLite file") << "plain" << false;
    QTest::newRow("bank cut to 8 KiB") << "cut" << false;
    QTest::newRow("the bank itself through a link") << "self" << false;
    QTest::newRow("masked backup") << "backup" << true;
    QTest::newRow("genuine bank") << "genuine" << true;
  }
  void restoreSources() {
    QFETCH(QString, kind);
    QFETCH(bool, accepted);
    TestEnv::ProgramDirFixture dir;
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    QTemporaryDir other;
    const QString source = other.filePath(QStringLiteral("source.db"));
    if (kind == QLatin1String("empty")) {
      QFile f(source);
      QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("plain")) {
      ExportBank(dir.path(QStringLiteral("QBRX.db")), source);
    } else if (kind == QLatin1String("cut")) {
      BackupBank(dm, source);
      QFile f(source);
      QVERIFY(f.resize(8192));
    } else if (kind == QLatin1String("self")) {
      QVERIFY(QFile::link(dir.path(QStringLiteral("QBRX.db")), source));
    } else if (kind == QLatin1String("backup")) {
      BackupBank(dm, source);
    } else {
      BackupBank(dm, source);
      UnmaskDatabaseFile(source);
    }
    const QByteArray before = digest(dm.programDir.bankPath());
    const QString refusal = RestoreRefusal(source, dm.programDir);
    QCOMPARE(refusal.isEmpty(), accepted);
    if (accepted)
      StageRestore(source, dm.programDir);
    else
      QVERIFY_THROWS_EXCEPTION(AppError, StageRestore(source, dm.programDir));
    QCOMPARE(digest(dm.programDir.bankPath()), before);
    QCOMPARE(QFile::exists(PendingRestorePath(dir.root())), accepted);
    if (kind == QLatin1String("self"))
      QCOMPARE(refusal, BackupText::TheBankItself);
  }

  // Back up, go on working, restore the backup: the running program keeps
  // its bank; the next start takes the backup, masked, with the records
  // as they were. A pending file that is no bank is set aside, not taken.
  void restoreTakesEffectAtTheNextStart() {
    TestEnv::ProgramDirFixture dir;
    QTemporaryDir other;
    const QString backup = other.filePath(QStringLiteral("b.db"));
    int atBackup = 0;
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
      atBackup = testRecords(dm);
      BackupBank(dm, backup);
      QVERIFY(maskedOnDisk(backup));
      addRecord(dm);
      StageRestore(backup, dm.programDir);
      QCOMPARE(testRecords(dm), atBackup + 1); // the open bank is not touched
    }
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
      QCOMPARE(testRecords(dm), atBackup);
      QVERIFY(!QFile::exists(PendingRestorePath(dir.root())));
      addRecord(dm);
    }
    QVERIFY(maskedOnDisk(dir.path(QStringLiteral("QBRX.db"))));
    {
      QFile junk(PendingRestorePath(dir.root()));
      QVERIFY(junk.open(QIODevice::WriteOnly));
      junk.write("not a bank");
    }
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    QCOMPARE(testRecords(dm), atBackup + 1);
    QVERIFY(QFile::exists(PendingRestorePath(dir.root()) + QStringLiteral("-refused")));
  }

  // A backup that fails after 1 MiB (a file-size limit, as a full disk
  // does) leaves the older backup of that name as it was and says why.
  void failedBackupKeepsTheOlderOne() {
    QTemporaryDir work;
    const QString root = work.path() + QLatin1Char('/');
    SynthesizeBank(root + QStringLiteral("QBRX.db"), 4000, 5);
    QVERIFY(QFileInfo(root + QStringLiteral("QBRX.db")).size() > 2 * 1024 * 1024);
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, root), StartupResult::Opened);
    const QString target = root + QStringLiteral("older.db");
    {
      QFile f(target);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("the older backup");
    }
    const QByteArray older = digest(target);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString message;
    try {
      BackupBank(dm, target);
    } catch (const AppError &e) {
      message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY2(message.startsWith(BackupText::BackupFailed), qPrintable(message));
    QCOMPARE(digest(target), older);
    QVERIFY(!QFile::exists(target + QStringLiteral(".partial")));
  }

  // Both dialogs as the learner meets them: the production dialogs, real
  // modal exec(), the texts read from the live boxes and fields.
  void dialogsThroughTheRealDialogs() {
    FeatureHarness h({}, FeatureHarness::RealDialogs);
    TestEnv::ProgramDirFixture &dir = h.dir;
    TDataModule1 &dm = h.dm;
    QTemporaryDir other;
    const QString target = other.filePath(QStringLiteral("我的备份.db"));

    const auto click = [](QPushButton *b) { QMetaObject::invokeMethod(b, &QPushButton::click, Qt::QueuedConnection); };
    auto backupDriver = std::make_unique<ModalDriver>();
    backupDriver->onModal<TFrmDBBackup>([&](TFrmDBBackup &f) { // refused: the box is answered, the dialog stays
      f.LabeledEdit1->setText(other.filePath(QStringLiteral("x.DB")));
      click(f.BitBtn2);
    });
    backupDriver->until<TFrmDBBackup>([&](TFrmDBBackup &f) {
      if (backupDriver->recorded().isEmpty()) // the refusal was shown
        return false;
      f.LabeledEdit1->setText(target);
      click(f.BitBtn2);
      return true;
    });
    const int backedUp = execOwned(new TFrmDBBackup(dm));
    QVERIFY2(backupDriver->done(), qPrintable(backupDriver->failure()));
    QCOMPARE(backedUp, int(QDialog::Accepted));
    QCOMPARE(backupDriver->boxTexts(), (QStringList{BackupText::BadName, BackupText::BackedUp}));
    QVERIFY(maskedOnDisk(target));

    // The program's own backups are offered, newest first.
    QDir(dir.root()).mkdir(QStringLiteral("backup"));
    QVERIFY(QFile::copy(target, dir.path(QStringLiteral("backup/QBRX-旧.db"))));
    QVERIFY(QFile::copy(target, dir.path(QStringLiteral("backup/QBRX-新.db"))));
    QFile old(dir.path(QStringLiteral("backup/QBRX-旧.db")));
    QVERIFY(old.open(QIODevice::ReadWrite));
    old.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime);
    old.close();
    QStringList listed;
    const QString junk = other.filePath(QStringLiteral("junk.db"));
    {
      QFile f(junk);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("junk");
    }
    backupDriver.reset();
    ModalDriver restoreDriver;
    restoreDriver.onModal<TFrmDBRestore>([&](TFrmDBRestore &f) {
      for (int i = 0; f.ListBackups && i < f.ListBackups->count(); ++i)
        listed << f.ListBackups->item(i)->text().section(QStringLiteral("    "), 0, 0);
      f.LabeledEdit1->setText(junk);
      click(f.BitBtn2);
    });
    restoreDriver.until<TFrmDBRestore>([&](TFrmDBRestore &f) {
      if (restoreDriver.recorded().isEmpty())
        return false;
      f.ListBackups->setCurrentRow(0);
      click(f.BitBtn2);
      return true;
    });
    // The restore asks first, then puts the backup in place at once: the
    // record added after the backup is gone from the open bank, the bank it
    // replaced is kept, and nothing waits for the next start.
    addRecord(dm);
    const int withExtra = testRecords(dm);
    RecordingPresenter presenter;
    AppEvents events;
    PaperState paper;
    AppContext context{dm, dm.programDir, {}, presenter, paper, events, nullptr};
    QSignalSpy replaced(&events, &AppEvents::bankReplaced);
    const int restored = execOwned(new TFrmDBRestore(context));
    QVERIFY2(restoreDriver.done(), qPrintable(restoreDriver.failure()));
    QCOMPARE(restored, int(QDialog::Accepted));
    QCOMPARE(listed, (QStringList{QStringLiteral("QBRX-新.db"), QStringLiteral("QBRX-旧.db")}));
    const QStringList boxes = restoreDriver.boxTexts();
    QVERIFY2(boxes.size() == 3, qPrintable(boxes.join(QLatin1Char('|'))));
    QCOMPARE(boxes.mid(0, 2), (QStringList{BackupText::NotABank, BackupText::ConfirmRestore}));
    QVERIFY2(boxes[2].startsWith(BackupText::Restored + QLatin1Char('\n') + BackupText::KeptAt),
             qPrintable(boxes[2]));
    const QString kept = boxes[2].section(BackupText::KeptAt, 1);
    QVERIFY2(kept.startsWith(dir.path(QStringLiteral("backup/QBRX-还原前-"))), qPrintable(kept));
    QVERIFY(maskedOnDisk(kept));
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(testRecords(dm), withExtra - 1);
    QVERIFY(!QFile::exists(PendingRestorePath(dir.root())));
    QVERIFY(maskedOnDisk(dir.path(QStringLiteral("QBRX.db"))));
  }
};

QBRX_TEST_MAIN(TstBackupRestore)
#include "tst_backuprestore.moc"
