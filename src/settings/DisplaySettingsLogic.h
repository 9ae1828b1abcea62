#pragma once
// The display settings apart from their dialog: the sizes and their rules,
// the defaults, the font names offered, and storing the five values.

#include "store/SystemParameters.h"

#include <QString>
#include <QStringList>

class TDataModule1;

namespace DisplayText {
inline const QString Caption = QStringLiteral("考试界面设置");
inline const QString BadSpacing = QStringLiteral("请输入正确的行间距值!");
inline const QString BadSpacingCaption = QStringLiteral("设置错误");
inline const QString SheetFailed = QStringLiteral("界面设置已保存，但样式表没有写成：");
} // namespace DisplayText

constexpr int kMinFontSize = 10, kMaxFontSize = 48, kDefaultFontSize = 14;
constexpr int kMinLineSpacing = 140, kMaxLineSpacing = 400, kDefaultLineSpacing = 170;

// "n px" and the toolbar's max(n − 4, 10) px.
QString FontSizeText(int n);
QString ToolbarSizeFor(int n);
// The digits of 字号 before its first "p" ("14px" gives 14); a stored text
// that is no number gives the default 14.
int StoredFontSize(const QString &text);
// 行间距 as an integer; a stored text that is no number gives 170.
int StoredLineSpacing(const QString &text);

// 宋体, 14px, #000000, #F9F9F9, 170 (and the toolbar size that goes with 14).
void ApplyDisplayDefaults(TDisplaySettings &s);
// The night look: light text on a dark slate background, dark enough for
// night yet light enough that the page's fixed black labels (显示答案,
// 收藏本题) stay readable. Font, size and spacing stay as they are.
void ApplyNightColours(TDisplaySettings &s);
inline const QString kNightText = QStringLiteral("#F0F0F0");
inline const QString kNightBack = QStringLiteral("#4F5B66");

// The numbers the dialog's two spin controls open with, and memory made to
// follow them: the stored size and spacing read as numbers (the defaults
// when they are none), clamped into their ranges; 字号 becomes "n px",
// 工具栏字号 max(n − 4, 10) px and 行间距 the clamped number, so what 确定
// stores is what the controls show.
struct SpinStart {
  int fontSize = kDefaultFontSize;
  int lineSpacing = kDefaultLineSpacing;
};
SpinStart FitForDialog(TDisplaySettings &s);

// The font names a page can use: the aliases the program's fonts.conf
// provides (宋体, 黑体, SimSun …: no font family lists them) first, then the
// installed families without their " [foundry]" suffix, each name once.
QStringList FontChoices(const QStringList &installed, const QStringList &aliases);
// The alias names of a fonts.conf file (the first family of each <alias>).
QStringList FontConfAliases(const QString &fontsConfPath);

// Stores 字体, 字号, 颜色, 背景色 and 行间距 of `s` in one transaction (a
// missing row is inserted). Throws EDatabaseError with nothing stored.
void StoreDisplaySettings(TDataModule1 &dm, const TDisplaySettings &s);
