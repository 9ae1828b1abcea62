#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/PictureButton.h"
#include "mainwin/ui/Pictures.h"
#include "app/ActionList.h"

#include <QHBoxLayout>

PaperToolbarBar::PaperToolbarBar(TActionList &commands, QWidget *parent) : QWidget(parent), m_commands(commands) {
  using namespace PaperToolbar;
  setObjectName(QStringLiteral("PanelPaperToolBar"));
  setFixedHeight(30);
  auto *tb = new QHBoxLayout(this);
  tb->setContentsMargins(0, 0, 0, 0);
  tb->setSpacing(0);
  PanelPaperToolbar1 = new QWidget(this);
  PanelPaperToolbar1->setObjectName(QStringLiteral("PanelPaperToolbar1"));
  PanelPaperToolbar1->setVisible(false);
  tb->addWidget(PanelPaperToolbar1);
  FeatureSlot = new QWidget(this);
  FeatureSlot->setObjectName(QStringLiteral("FeatureSlot"));
  auto *slot = new QHBoxLayout(FeatureSlot);
  slot->setContentsMargins(8, 0, 8, 0);
  slot->setSpacing(8);
  tb->addWidget(FeatureSlot);
  tb->addStretch(1);
  PanelPaperToolbar2 = new QWidget(this);
  PanelPaperToolbar2->setObjectName(QStringLiteral("PanelPaperToolbar2"));
  tb->addWidget(PanelPaperToolbar2);

  // Each group is as wide as its last button reaches, plus the same margin
  // on the far side; the buttons sit one pixel under the bar's top.
  const int last = kButtonCount - 1;
  const int leftEnd = kLefts[kLeftGroupCount - 1] + PaperToolbar::width(kDesignTags[kLeftGroupCount - 1]);
  const int rightEnd = kLefts[last] + PaperToolbar::width(kDesignTags[last]);
  PanelPaperToolbar1->setFixedSize(leftEnd + 4, height());
  PanelPaperToolbar2->setFixedSize(rightEnd + 6, height());
  PictureButton **fields[kButtonCount] = {&ImagePaperTools0, &ImagePaperTools1, &ImagePaperTools2,
                                         &ImagePaperTools3, &ImagePaperTools4, &ImagePaperTools5,
                                         &ImagePaperTools6, &ImagePaperTools7};
  for (int i = 0; i < kButtonCount; ++i) {
    const int tag = kDesignTags[std::size_t(i)];
    auto *b = new PictureButton(i < kLeftGroupCount ? PanelPaperToolbar1 : PanelPaperToolbar2);
    b->setObjectName(QStringLiteral("ImagePaperTools%1").arg(i));
    b->setGeometry(kLefts[std::size_t(i)], 1, PaperToolbar::width(tag), kHeight);
    *fields[i] = b;
    showPicture(i, paperTools.setTag(i, tag));
    connect(b, &PictureButton::mouseMoved, this, [this, i] { showPicture(i, paperTools.mouseMove(i)); });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { showPicture(i, paperTools.mouseLeave(i)); });
    connect(b, &PictureButton::mousePressed, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        showPicture(i, paperTools.mouseDown(i));
    });
    connect(b, &PictureButton::mouseReleased, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        released(i);
    });
  }
  // Tooltips and availability follow the commands (the show-answer and
  // full-screen captions change).
  for (int i = 0; i < kButtonCount; ++i) {
    for (QAction *a : {commandOf(kDesignTags[std::size_t(i)]), commandOf(toggled(kDesignTags[std::size_t(i)]))})
      if (a)
        connect(a, &QAction::changed, this, [this, i] { updateTip(i); });
    updateTip(i);
  }
  ImagePaperTools3->setVisible(false);
}

PictureButton *PaperToolbarBar::button(int i) const {
  const std::array<PictureButton *, PaperToolbar::kButtonCount> buttons = {
      ImagePaperTools0, ImagePaperTools1, ImagePaperTools2, ImagePaperTools3,
      ImagePaperTools4, ImagePaperTools5, ImagePaperTools6, ImagePaperTools7};
  return (i >= 0 && i < PaperToolbar::kButtonCount) ? buttons[std::size_t(i)] : nullptr;
}

QAction *PaperToolbarBar::commandOf(int tag) const {
  return m_commands.onPaperToolbar(PaperToolbar::command(tag));
}

void PaperToolbarBar::showPaperGroup() {
  PanelPaperToolbar1->setVisible(true);
  ImagePaperTools3->setVisible(true);
}

void PaperToolbarBar::showPicture(int i, PaperToolbar::Picture picture) {
  PictureButton *b = button(i);
  if (!b || picture.list == 0)
    return;
  b->Tag = paperTools.tag(i);
  const QString label = PaperToolbar::label(b->Tag);
  if (b->accessibleName() != label)
    b->setAccessibleName(label);
  const QString name = QStringLiteral("ImageList%1[%2]").arg(picture.list).arg(picture.index);
  if (b->property("picture").toString() != name) {
    b->setPixmap(Pictures::paperToolPicture(picture.list, picture.index));
    b->setProperty("picture", name);
  }
  b->repaint();
}

void PaperToolbarBar::released(int i) {
  const PaperToolbar::Buttons::Release r = paperTools.mouseUp(i);
  showPicture(i, r.picture);
  updateTip(i);
  if (QAction *a = commandOf(paperTools.tag(i)))
    a->trigger();
}

void PaperToolbarBar::updateTip(int i) {
  PictureButton *b = button(i);
  if (!b)
    return;
  // A button no command declared is greyed and takes no clicks.
  QAction *a = commandOf(paperTools.tag(i));
  b->setToolTip(a ? TActionList::tipOf(a) : PaperToolbar::label(paperTools.tag(i)));
  b->setEnabled(a && a->isEnabled());
}

void PaperToolbarBar::InitShowAnswer() {
  if (QAction *a = m_commands.onPaperToolbar(PaperToolbarButton::ShowAllAnswer)) {
    TActionList::setTag(a, 0);
    a->setText(PaperToolbar::showAnswerCaption(0));
  }
  showPicture(PaperToolbar::Buttons::ShowAnswerButton, paperTools.initShowAnswer());
}

void PaperToolbarBar::showAnswerState(int actionTag) {
  showPicture(PaperToolbar::Buttons::ShowAnswerButton,
              paperTools.setTag(PaperToolbar::Buttons::ShowAnswerButton, PaperToolbar::showAnswerButtonTag(actionTag)));
}

void PaperToolbarBar::showFullScreenState(bool fullScreen) {
  showPicture(PaperToolbar::Buttons::FullScreenButton,
              paperTools.setTag(PaperToolbar::Buttons::FullScreenButton, PaperToolbar::fullScreenButtonTag(fullScreen)));
}
