#include "store/SystemParameters.h"
#include "store/DM.h"

#include <iterator>

namespace {

// What a missing row or a null value does to the copy in memory.
enum class Missing {
  Empty, // the copy becomes empty text
  Keep,  // the copy keeps its previous value
};

struct Parameter {
  const char16_t *key;
  QString *target;
  Missing missing;
};

} // namespace

void LoadSystemParameters(TDataModule1 &dm) {
  const Parameter parameters[] = {
      {u"字体", &DisplaySettings.FontName, Missing::Empty},
      {u"字号", &DisplaySettings.FontSize, Missing::Empty},
      {u"工具栏字号", &DisplaySettings.ToolbarFontSize, Missing::Empty},
      {u"颜色", &DisplaySettings.FontColor, Missing::Empty},
      {u"背景色", &DisplaySettings.BackColor, Missing::Empty},
      {u"行间距", &DisplaySettings.LineSpacing, Missing::Empty},
      {u"软件标题", &SoftTitle, Missing::Empty},
      {u"升级下载地址", &UpdateUrl, Missing::Keep},
      {u"题库版本", &BankVersion, Missing::Keep},
      {u"错误反馈网址", &FeedbackUrl, Missing::Empty},
      {u"增值服务网址", &ValueAddedUrl, Missing::Empty},
  };

  // One statement for the whole table (a page or two of short rows): one
  // look at the file instead of eleven, and cheaper than eleven key lookups.
  TADOQuery &q = dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 参数名,参数值 FROM 系统参数"));
  q.Open();

  // Every value is read before any copy changes, so an engine error above
  // leaves the copies as they were. A missing row reads as a null.
  constexpr int count = int(std::size(parameters));
  TField found[count];
  for (q.First(); !q.Eof(); q.Next()) {
    const QString name = q.Fields(0).AsString();
    for (int i = 0; i < count; ++i) {
      if (name == QStringView(parameters[i].key)) {
        found[i] = q.Fields(1);
        break;
      }
    }
  }
  q.Close();

  for (int i = 0; i < count; ++i) {
    const Parameter &p = parameters[i];
    if (p.missing == Missing::Keep && found[i].IsNull())
      continue;
    *p.target = found[i].AsString(); // null: empty text
  }
}

QString ColorToHtml(const QColor &color) {
  const QColor rgb = color.toRgb();
  return QString::asprintf("#%.2X%.2X%.2X", rgb.red(), rgb.green(), rgb.blue());
}

QString ColorToHtml(TColor color) { return ColorToHtml(toQColor(color)); }

static int hexPair(const QString &pair) {
  if (pair.isEmpty())
    return 0;
  int value = 0;
  for (QChar c : pair) {
    const int d = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0'
                  : (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.unicode() - 'a' + 10
                  : (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ? c.unicode() - 'A' + 10
                                                                     : -1;
    if (d < 0)
      return 0;
    value = value * 16 + d;
  }
  return value;
}

TColor HtmlToColor(const QString &text) {
  QString s = text;
  s.remove(QLatin1Char('#'));
  s.remove(QStringLiteral("   "));
  s.remove(QLatin1Char('"'));
  const TColor r = hexPair(s.mid(0, 2)) & 0xff;
  const TColor g = hexPair(s.mid(2, 2)) & 0xff;
  const TColor b = hexPair(s.mid(4, 2)) & 0xff;
  return r | (g << 8) | (b << 16);
}

QColor toQColor(TColor c) { return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff)); }

TColor fromQColor(const QColor &color) {
  const QColor rgb = color.toRgb();
  return TColor(rgb.red()) | (TColor(rgb.green()) << 8) | (TColor(rgb.blue()) << 16);
}
