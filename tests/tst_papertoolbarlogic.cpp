// test-links: widgets
// The paper toolbar's buttons apart from the window: which picture each Tag
// shows in each state, what a release does to the Tag and which command it
// runs, and the drawn pictures behind the list numbers.

#include "TestEnv.h"
#include "mainwin/PaperToolbarLogic.h"
#include "mainwin/ui/Pictures.h"

#include <QtTest>

using namespace PaperToolbar;

Q_DECLARE_METATYPE(PaperToolbar::Command)

class TstPaperToolbarLogic : public QObject {
  Q_OBJECT

private slots:
  // Wide lists for Tags 0–4 indexed by Tag, narrow lists for 5–9 indexed
  // by Tag − 5; the lists by state.
  void pictures_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("index");
    QTest::newRow("answer again normal") << 0 << int(Normal) << 5 << 0;
    QTest::newRow("show answers hover") << 1 << int(Hover) << 9 << 1;
    QTest::newRow("submit pressed") << 2 << int(Pressed) << 6 << 2;
    QTest::newRow("hide answers normal") << 4 << int(Normal) << 5 << 4;
    QTest::newRow("hide answers pressed") << 4 << int(Pressed) << 6 << 4;
    QTest::newRow("print normal") << 5 << int(Normal) << 7 << 0;
    QTest::newRow("print hover") << 5 << int(Hover) << 8 << 0;
    QTest::newRow("smaller pressed") << 7 << int(Pressed) << 10 << 2;
    QTest::newRow("exit full screen normal") << 9 << int(Normal) << 7 << 4;
    QTest::newRow("unknown tag") << 10 << int(Normal) << 0 << 0;
    QTest::newRow("negative tag") << -1 << int(Hover) << 0 << 0;
  }
  void pictures() {
    QFETCH(int, tag);
    QFETCH(int, state);
    QFETCH(int, list);
    QFETCH(int, index);
    QCOMPARE(picture(tag, State(state)), (Picture{list, index}));
  }

  // A release toggles 1 ↔ 4 and 8 ↔ 9 and runs the command of the new Tag.
  void release_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("tagAfter");
    QTest::addColumn<PaperToolbar::Command>("command");
    QTest::addColumn<QString>("labelAfter");
    QTest::newRow("ImagePaperTools0") << 0 << 0 << Command::ReAnswer << "重新答题";
    QTest::newRow("ImagePaperTools1") << 1 << 4 << Command::ShowAllAnswer << "隐藏答案";
    QTest::newRow("ImagePaperTools2") << 2 << 2 << Command::SummitPaper << "提交试卷";
    QTest::newRow("ImagePaperTools3") << 3 << 3 << Command::UISet << "界面设置";
    QTest::newRow("ImagePaperTools4") << 4 << 5 << Command::Print << "打印";
    QTest::newRow("ImagePaperTools5") << 5 << 6 << Command::ZoomIn << "放大";
    QTest::newRow("ImagePaperTools6") << 6 << 7 << Command::ZoomOut << "缩小";
    QTest::newRow("ImagePaperTools7") << 7 << 9 << Command::FullScreen << "退出";
  }
  void release() {
    QFETCH(int, button);
    QFETCH(int, tagAfter);
    QFETCH(PaperToolbar::Command, command);
    QFETCH(QString, labelAfter);
    Buttons b;
    const int before = b.tag(button);
    QCOMPARE(before, kDesignTags[std::size_t(button)]);
    const Buttons::Release r = b.mouseUp(button);
    QCOMPARE(b.tag(button), tagAfter);
    QCOMPARE(r.command, command);
    QCOMPARE(r.picture, picture(tagAfter, Normal));
    QCOMPARE(label(tagAfter), labelAfter);
    // A second release comes back to the design Tag, with the same command.
    const Buttons::Release again = b.mouseUp(button);
    QCOMPARE(b.tag(button), before);
    QCOMPARE(again.command, command);
    // Only that button changed.
    for (int other = 0; other < kButtonCount; ++other)
      if (other != button)
        QCOMPARE(b.tag(other), kDesignTags[std::size_t(other)]);
  }

  // Hover, leave and down follow the current Tag and change nothing; a new
  // paper brings the show-answer button back to 显示答案; the full-screen
  // button can be set to the mode; a bad button number is ignored.
  void buttonStates() {
    Buttons b;
    b.mouseUp(Buttons::ShowAnswerButton);
    QCOMPARE(b.mouseMove(1), (Picture{9, 4}));
    QCOMPARE(b.mouseDown(1), (Picture{6, 4}));
    QCOMPARE(b.mouseLeave(1), (Picture{5, 4}));
    QCOMPARE(b.tag(1), 4);
    QCOMPARE(b.initShowAnswer(), (Picture{5, 1}));
    QCOMPARE(b.tag(1), 1);
    QCOMPARE(b.initShowAnswer(), (Picture{5, 1}));
    QCOMPARE(b.tag(1), 1);

    QCOMPARE(b.setTag(Buttons::FullScreenButton, fullScreenButtonTag(true)), (Picture{7, 4}));
    QCOMPARE(b.mouseUp(Buttons::FullScreenButton).picture, (Picture{7, 3}));
    QCOMPARE(b.tag(7), fullScreenButtonTag(false));

    QCOMPARE(b.mouseUp(8).command, Command::None);
    QCOMPARE(b.mouseMove(-1), Picture{});
    QCOMPARE(b.tag(8), -1);
    QCOMPARE(b.setTag(0, 12), Picture{});
    QCOMPARE(b.tag(0), 0);
  }

  // The show-answer command's own Tag, caption and page call.
  void showAnswerCommand() {
    QCOMPARE(nextShowAnswerTag(0), 1);
    QCOMPARE(nextShowAnswerTag(1), 0);
    QCOMPARE(showAnswerCaption(1), QStringLiteral("隐藏答案"));
    QCOMPARE(showAnswerCaption(0), QStringLiteral("显示答案"));
    QCOMPARE(showAllAnswerScript(1), QStringLiteral("showAllAnswer(1)"));
    QCOMPARE(showAllAnswerScript(0), QStringLiteral("showAllAnswer(0)"));
    QCOMPARE(showAnswerButtonTag(1), 4);
    QCOMPARE(showAnswerButtonTag(0), 1);
  }

  // Every list and index is drawn at its size; the three states of a
  // picture differ, and so do the pairs that share a button.
  void drawnPictures() {
    for (int list : {5, 6, 9, 7, 8, 10}) {
      const bool wide = list == 5 || list == 6 || list == 9;
      for (int index = 0; index < 5; ++index) {
        const QPixmap pm = Pictures::paperToolPicture(list, index);
        QVERIFY2(!pm.isNull(), qPrintable(QStringLiteral("ImageList%1[%2]").arg(list).arg(index)));
        QCOMPARE(pm.deviceIndependentSize().toSize(), QSize(wide ? kWideWidth : kNarrowWidth, kHeight));
      }
    }
    const auto image = [](int list, int index) { return Pictures::paperToolPicture(list, index).toImage(); };
    QVERIFY(image(5, 1) != image(9, 1));
    QVERIFY(image(5, 1) != image(6, 1));
    QVERIFY(image(5, 1) != image(5, 4));
    QVERIFY(image(7, 3) != image(7, 4));
    QVERIFY(image(7, 0) != image(8, 0));
    QVERIFY(Pictures::paperToolPicture(4, 0).isNull());
    QVERIFY(Pictures::paperToolPicture(5, 5).isNull());
    QVERIFY(Pictures::paperToolPicture(10, -1).isNull());
  }
};

QBRX_TEST_MAIN(TstPaperToolbarLogic)
#include "tst_papertoolbarlogic.moc"
