#pragma once
// The paper toolbar above the question page: answer again, show/hide
// answers, submit (left group, shown once a paper is on display); display
// settings, print, larger, smaller, full screen (right group). Its picture
// buttons run the commands that declared them (CommandPlace::toolbar); a
// button no command declared is greyed.

#include "mainwin/PaperToolbarLogic.h"

#include <QWidget>
#include <array>

class PictureButton;
class QAction;
class TActionList;

class PaperToolbarBar : public QWidget {
  Q_OBJECT
public:
  PaperToolbarBar(TActionList &commands, QWidget *parent);

  QWidget *PanelPaperToolbar1 = nullptr; // the left group
  QWidget *PanelPaperToolbar2 = nullptr; // the right group
  QWidget *FeatureSlot = nullptr;        // between them: features' widgets (AppContext::paperToolbarSlot)
  PictureButton *ImagePaperTools0 = nullptr, *ImagePaperTools1 = nullptr, *ImagePaperTools2 = nullptr,
                *ImagePaperTools3 = nullptr, *ImagePaperTools4 = nullptr, *ImagePaperTools5 = nullptr,
                *ImagePaperTools6 = nullptr, *ImagePaperTools7 = nullptr;
  PaperToolbar::Buttons paperTools; // the Tags of the buttons

  // ImagePaperTools0 … ImagePaperTools7 by number.
  PictureButton *button(int i) const;
  // The command a button with this Tag runs; nullptr when none declared it.
  QAction *commandOf(int tag) const;

  // A paper is on display: the left group and the settings button show.
  void showPaperGroup();
  // The show-answer button and command back to "answers hidden".
  void InitShowAnswer();
  // The show-answer button shows the command's state (its Tag).
  void showAnswerState(int actionTag);
  void showFullScreenState(bool fullScreen);

private:
  void showPicture(int button, PaperToolbar::Picture picture);
  void released(int button);
  void updateTip(int button);

  TActionList &m_commands;
};
