#pragma once
// The system parameters kept in memory, their loader and the colour texts.

#include <QColor>
#include <QString>

class TDataModule1;

struct TDisplaySettings {
  QString FontName;        // 字体
  QString FontSize;        // 字号, e.g. "14px"
  QString ToolbarFontSize; // 工具栏字号
  QString FontColor;       // 颜色, #RRGGBB
  QString BackColor;       // 背景色, #RRGGBB
  QString LineSpacing;     // 行间距, a percentage without the sign
};

inline TDisplaySettings DisplaySettings;
inline QString SoftTitle;     // 软件标题
inline QString UpdateUrl;     // 升级下载地址
inline QString BankVersion;   // 题库版本
inline QString FeedbackUrl;   // 错误反馈网址
inline QString ValueAddedUrl; // 增值服务网址

// Loads the copies above on the general query. Engine errors propagate.
void LoadSystemParameters(TDataModule1 &dm);

// A colour value as packed by the original platform: red in the low byte,
// green in the second, blue in the third.
using TColor = quint32;

QString ColorToHtml(const QColor &color); // "#RRGGBB", upper case
QString ColorToHtml(TColor color);
TColor HtmlToColor(const QString &text);
QColor toQColor(TColor color);
TColor fromQColor(const QColor &color);
