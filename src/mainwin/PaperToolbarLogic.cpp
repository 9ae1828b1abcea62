#include "mainwin/PaperToolbarLogic.h"

namespace PaperToolbar {

Picture picture(int tag, State state) {
  if (!validTag(tag))
    return {};
  static constexpr int wide[] = {5, 9, 6};   // normal, hover, pressed
  static constexpr int narrow[] = {7, 8, 10};
  return isWide(tag) ? Picture{wide[state], tag} : Picture{narrow[state], tag - 5};
}

QString label(int tag) {
  static const char *const labels[] = {"重新答题", "显示答案", "提交试卷", "界面设置", "隐藏答案",
                                       "打印",     "放大",     "缩小",     "全屏",     "退出"};
  return validTag(tag) ? QString::fromUtf8(labels[tag]) : QString();
}

Command command(int tag) {
  switch (tag) {
  case 0:
    return Command::ReAnswer;
  case 1:
  case 4:
    return Command::ShowAllAnswer;
  case 2:
    return Command::SummitPaper;
  case 3:
    return Command::UISet;
  case 5:
    return Command::Print;
  case 6:
    return Command::ZoomIn;
  case 7:
    return Command::ZoomOut;
  case 8:
  case 9:
    return Command::FullScreen;
  default:
    return Command::None;
  }
}

int toggled(int tag) {
  switch (tag) {
  case 1:
    return 4;
  case 4:
    return 1;
  case 8:
    return 9;
  case 9:
    return 8;
  default:
    return tag;
  }
}

QString showAnswerCaption(int actionTag) {
  return actionTag == 0 ? QStringLiteral("显示答案") : QStringLiteral("隐藏答案");
}

QString showAllAnswerScript(int actionTag) {
  return QStringLiteral("showAllAnswer(%1)").arg(actionTag == 0 ? 0 : 1);
}

Buttons::Release Buttons::mouseUp(int button) {
  if (!valid(button))
    return {{}, Command::None};
  int &t = m_tags[std::size_t(button)];
  t = toggled(t);
  return {picture(t, Normal), command(t)};
}

Picture Buttons::setTag(int button, int tag) {
  if (!valid(button) || !validTag(tag))
    return {};
  m_tags[std::size_t(button)] = tag;
  return picture(tag, Normal);
}

} // namespace PaperToolbar
