#pragma once
// The view's own style over the pages it shows. A page's bytes and the
// style sheet it links stay as written; this style is added in the view
// (a constructed style sheet, no element of the page) before the page's
// first paint:
// - readable: the page's fixed colours (the black 显示答案/收藏本题/错题反馈
//   labels, the red of a marked favourite and of a wrong stem, the text of a
//   found-text mark) are replaced, on the screen, by colours that reach a
//   contrast of at least 4.5:1 against the page's own background, dark or
//   light; a dark page prints on light paper;
// - it fits: answer boxes and pictures never reach past the view's width;
// - the 显示答案, 收藏本题 and 错题反馈 labels are reached with Tab and
//   answer Enter and Space as a click.
// Nothing the page's script or grading reads (ids, inputs, checked states,
// texts, inline colours) is changed. (content-visibility, which would lay
// out only the questions on the screen, is not used: the engine then leaves
// the questions off the screen out of innerText.)

#include <QString>

namespace ScreenStyle {

// The script the view runs, in a world of its own, when each document is
// created.
QString script();

} // namespace ScreenStyle
