// test-links: widgets
// The review windows in the real main window on the demo bank: a chapter
// test with wrong answers redone until none is left (its record updated,
// not a new one), a past test practised again as a kind-5 test, and the
// statistics charting one more point.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "exam/TestRecordStore.h"
#include "app/PaperState.h"
#include "review/Statistics.h"
#include "review/WrongRedo.h"
#include "review/ui/ErrorRedo.h"
#include "review/ui/WGZX.h"
#include "app/ui/PageControl.h"
#include "store/DM.h"

#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

int count(TDataModule1 &dm, const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
  q.SQL.Add(sql);
  q.Open();
  return q.Fields(0).AsInteger();
}

// Stores the paper on display as graded with every question `right`.
qint64 storeDisplayedPaper(TDataModule1 &dm, PaperState &paper, bool right) {
  for (TShiTi &s : paper.questions)
    s.IsRight = right;
  TestTotals totals;
  totals.SumNumOfShiTi = int(paper.questions.size());
  totals.SumRight = right ? totals.SumNumOfShiTi : 0;
  totals.SumTotal = float(totals.SumNumOfShiTi);
  totals.SumScore = right ? totals.SumTotal : 0;
  TestRecordStore store(dm);
  if (store.store(CurrentTestOutcome(paper, totals), QDateTime::currentDateTime()) != TestRecordStore::Result::Saved)
    return -1;
  return store.lastRecordId();
}

} // namespace

class TstReviewJourney : public QObject {
  Q_OBJECT

private slots:
  void redoUntilNothingIsLeft() {
    MainWindowFixture f;
    QVERIFY(f.showActive());
    TFrmMain &w = *f.window;
    TDataModule1 &dm = *w.dataModule();
    QVERIFY(!f.paperState().questions.empty());
    const int tests = count(dm, QStringLiteral("SELECT count(*) FROM 测试结果"));
    const qint64 record = storeDisplayedPaper(dm, f.paperState(), false);
    QVERIFY(record > 0);
    const std::size_t points = OverallAccuracy(dm).size();

    // 错题库 (it opens on 今日复习: the demo history's wrong questions are
    // due) → 全部章节 → 显示试题 on the chapter list's row of that test.
    f.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = dynamic_cast<TFrmErrorRedo &>(d);
      if (form.PageControl1->currentIndex() != kDueTab)
        return int(QDialog::Rejected);
      form.PageControl1->setCurrentIndex(TabOf(RedoPage::Chapters));
      form.ActShow();
      return form.result();
    };
    w.command(QStringLiteral("ActErrorRedo"))->trigger();
    QCOMPARE(f.paperState().kind, PaperKinds::Redo);
    QCOMPARE(qint64(f.paperState().redoTestId), record);
    QVERIFY(f.paperState().title.startsWith(QStringLiteral("错题重做(")));
    QVERIFY(!f.paperState().paper.empty());

    // Answered right and stored: the record is updated, no new one.
    QCOMPARE(storeDisplayedPaper(dm, f.paperState(), true), record);
    QCOMPARE(count(dm, QStringLiteral("SELECT count(*) FROM 测试结果")), tests + 1);
    WrongRedo redo(dm);
    redo.load();
    for (const RedoTestRow &r : redo.rows(RedoPage::Chapters))
      QVERIFY(r.id != record);

    // 温故知新 → the test → 生成试卷: a kind-5 paper, stored as a new test.
    f.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = dynamic_cast<TFrmWGZX &>(d);
      const auto &ids = form.logic().RowNumbers();
      const int row = int(std::find(ids.begin(), ids.end(), record) - ids.begin());
      form.StringGrid1->selectRow(row);
      form.BitBtn2->click();
      form.BitBtn2->click();
      return form.result();
    };
    w.command(QStringLiteral("ActWGZX"))->trigger();
    QCOMPARE(f.paperState().kind, PaperKinds::Review);
    QVERIFY(f.paperState().title.startsWith(QStringLiteral("温故知新(")));
    QVERIFY(storeDisplayedPaper(dm, f.paperState(), true) > record);
    QCOMPARE(count(dm, QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试类型=5")), 1);
    QCOMPARE(OverallAccuracy(dm).size(), points + 1);
  }
};

QBRX_TEST_MAIN(TstReviewJourney)
#include "tst_reviewjourney.moc"
