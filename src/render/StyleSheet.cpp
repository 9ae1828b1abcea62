#include "render/StyleSheet.h"

#include "common/ProgramDir.h"
#include "render/Gbk.h"
#include "render/HtmlView.h"
#include "store/SystemParameters.h"

namespace {

// Rule templates; {Name} stands for the display value of that name.
const char16_t *const kRules[] = {
    u"BODY{FONT-SIZE:{FontSize};COLOR:{FontColor};background-color:{BackColor};LINE-HEIGHT:{LineSpacing}%; "
    u"font-family:{FontName},serif;margin:10px;  WORD-BREAK:break-all;}",
    u"img{vertical-align:middle;border:none;}",
    u"A{TEXT-DECORATION:none;}",
    u"A:link{COLOR:#000000;TEXT-DECORATION:none;}",
    u"A:visited{COLOR:#83006f;TEXT-DECORATION:none;}",
    u"A:hover{COLOR:#bc2931;}",
    u"A:active{COLOR:#bc2931;}",
    u"INPUT{cursor:hand;}",
    u"LABEL{cursor:hand;}",
    u".MainBody{cursor:default;background:url(../images/MainBackground.gif);}",
    u".TestInfoBody{background-color:{BackColor};color:{FontColor};font-size:{FontSize};"
    u"font-family:\"{FontName}\",serif;LINE-HEIGHT:{LineSpacing}%;}",
    u".TestResultBody{background-color:{BackColor};color:{FontColor};font-size:14px;"
    u"font-family:\"{FontName}\",serif;LINE-HEIGHT:{LineSpacing}%;}",
    u".TestResultTitle{font-weight:bold;font-size:18pt;margin-top:10px;margin-bottom:16px;"
    u"font-family:\"{FontName}\", serif;color:{FontColor};line-height:{LineSpacing}%;}",
    u".SoftTitle{font-weight:bold;font-size:{FontSize};margin-top:10px;margin-bottom:16px;"
    u"font-family:\"{FontName}\", serif;color:{FontColor};line-height:{LineSpacing}%;}",
    u".MenuTitle{font-weight:bold;font-size:18pt;margin:0px;}",
    u".TestCaption{font-weight:bold;font-size:14pt;font-family:\"{FontName}\", serif;"
    u"LINE-HEIGHT:{LineSpacing}%;text-align:center;margin-top:4px;margin-bottom:8px;}",
    u".TestStyleExplain{font-family:\"{FontName}\";FONT-SIZE:12pt;font-weight:bold;}",
    u".TestBody{background-color:{BackColor};color:{FontColor};FONT-SIZE:{FontSize};"
    u"font-family:\"{FontName}\",serif;LINE-HEIGHT:{LineSpacing}%;}",
    u".TestMainTitle{font-family:\"{FontName}\";FONT-SIZE:{FontSize};}",
    u".TestContent{font-family:\"{FontName}\";FONT-SIZE:{FontSize};LINE-HEIGHT:{LineSpacing}%;}",
    u".TestFG{background:url(../images/dot.gif) repeat-x;margin-top:0px;margin-bottom:8px;height:1px;"
    u"clear:both;font-size:1px;text-align:center;}",
    u".TestToolBar{font-family:\"{FontName}\";font-size:{FontSize};font-size:{ToolbarFontSize};text-align:right;}",
    u".ShowAnswer{font-family:\"{FontName}\";color:black;cursor:hand;font-size:12px;}",
    u".HideAnswer{}",
    u".FlatInput{color:#0560A6;border:#7F9DB9 1px solid;cursor:hand;}",
    u".table1{background-color:#eff8ff;color:#000000;border-left:#7F9DB9 1px solid;"
    u"border-right:#7F9DB9 1px solid;border-bottom:#7F9DB9 1px solid;cursor:hand;}",
    u".table2{background-color:#eff8ff;color:#000000;border-bottom:#7F9DB9 1px solid;"
    u"border-left:#7F9DB9 1px solid;cursor:hand;}",
    u".table3{font-weight:bold;background-color:#c9e9f9;color:#000000;border:#7F9DB9 1px solid;cursor:hand;}",
    u".table4{font-weight:bold;background-color:#c9e9f9;color:#000000;border-bottom:#7F9DB9 1px solid;"
    u"border-top:#7F9DB9 1px solid;border-left:#7F9DB9 1px solid;cursor:hand;}",
    u".AnswerTable{font-size:{FontSize}; border: 1px solid #008000;line-height:{LineSpacing}%;}",
};

// The preview's own forms of rules 16, 17, 18, 22 and 23 (by number).
struct PreviewRule {
  int number;
  const char16_t *text;
};
const PreviewRule kPreviewRules[] = {
    {16, u".TestCaption{font-weight:bold;font-size:{FontSize};font-family:{FontName}, serif;"
         u"LINE-HEIGHT:{LineSpacing}%;text-align:center;margin-top:4px;margin-bottom:8px;}"},
    {17, u".TestStyleExplain{font-family:\"{FontName}\";FONT-SIZE:{FontSize};}"},
    {18, u".TestBody{font-family:\"{FontName}\";background-color:{BackColor};color:{FontColor};"
         u"FONT-SIZE:{FontSize};font-family:\"{FontName}\",serif;LINE-HEIGHT:{LineSpacing}%;}"},
    {22, u".TestToolBar{font-family:\"{FontName}\";font-size:{ToolbarFontSize};text-align:right;}"},
    {23, u".ShowAnswer{font-family:\"{FontName}\";color:#1F3A87;cursor:hand;FONT-SIZE:12px;}"},
};

// One pass over the template, so a value that itself reads like a
// placeholder is kept as it is.
QString fill(const char16_t *tmpl, const TDisplaySettings &s) {
  const struct {
    QLatin1String name;
    const QString &value;
  } values[] = {
      {QLatin1String("{FontName}"), s.FontName},       {QLatin1String("{FontSize}"), s.FontSize},
      {QLatin1String("{ToolbarFontSize}"), s.ToolbarFontSize}, {QLatin1String("{FontColor}"), s.FontColor},
      {QLatin1String("{BackColor}"), s.BackColor},     {QLatin1String("{LineSpacing}"), s.LineSpacing},
  };
  const QString t = QString::fromUtf16(tmpl);
  QString out;
  out.reserve(t.size() + 64);
  qsizetype i = 0;
  while (i < t.size()) {
    bool replaced = false;
    if (t[i] == u'{') {
      for (const auto &v : values) {
        if (QStringView(t).mid(i).startsWith(v.name)) {
          out += v.value;
          i += v.name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced)
      out += t[i++];
  }
  return out;
}

} // namespace

QStringList StyleSheetRules(const TDisplaySettings &s) {
  QStringList rules;
  for (const char16_t *r : kRules)
    rules << fill(r, s);
  return rules;
}

QStringList PreviewStyleLines(const TDisplaySettings &s) {
  QStringList lines{QStringLiteral("<STYLE TYPE=\"text/css\">")};
  for (int n = 1; n <= 29; ++n) {
    const char16_t *tmpl = kRules[n - 1];
    for (const PreviewRule &p : kPreviewRules)
      if (p.number == n)
        tmpl = p.text;
    lines << fill(tmpl, s);
  }
  lines << QStringLiteral("</STYLE>");
  return lines;
}

void WriteStyleSheet(const ProgramDir &dir) {
  GbkLineWriter out(Gbk::Escape::Css);
  for (const QString &rule : StyleSheetRules(DisplaySettings))
    out.writeLine(rule);
  out.saveTo(dir.styleSheetPath());
}

void WritePreviewHead(const QString &title, HtmlView &view) {
  view.navigate(QStringLiteral("about:blank"));
  view.writeln(QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"));
  view.writeln(QStringLiteral("<head>"));
  view.writeln(QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"));
  view.writeln(QStringLiteral("<META http-equiv=\"MSThemeCompatible\" content=\"yes\" >"));
  view.writeln(QStringLiteral("<title>") + title + QStringLiteral("</title>"));
}

void WritePreviewStyle(HtmlView &view) {
  for (const QString &line : PreviewStyleLines(DisplaySettings))
    view.writeln(line);
}
