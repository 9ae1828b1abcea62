#include "store/SystemParameters.h"
#include "store/DM.h"

static void loadParameters(TDataModule1 &dm);

void LoadSystemParameters(TDataModule1 &dm) {
  // The reads run in one read transaction when none is open.
  const bool ownTransaction = !dm.ADOConnection1.InTransaction();
  if (ownTransaction)
    dm.ADOConnection1.BeginRead();
  try {
    loadParameters(dm);
  } catch (...) {
    if (ownTransaction)
      dm.ADOConnection1.RollbackTrans();
    throw;
  }
  if (ownTransaction)
    dm.ADOConnection1.CommitTrans();
}

static void loadParameters(TDataModule1 &dm) {
  TADOQuery &q = dm.ADOQuery2;

  struct Plain {
    const char16_t *key;
    QString *target;
  };
  const Plain plain[] = {
      {u"字体", &DisplaySettings.FontName},     {u"字号", &DisplaySettings.FontSize},
      {u"工具栏字号", &DisplaySettings.ToolbarFontSize}, {u"颜色", &DisplaySettings.FontColor},
      {u"背景色", &DisplaySettings.BackColor},   {u"行间距", &DisplaySettings.LineSpacing},
      {u"软件标题", &SoftTitle},
  };
  for (const Plain &p : plain) {
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT * FROM 系统参数 WHERE 参数名="));
    q.SQL.Add(QLatin1Char('\'') + QString::fromUtf16(p.key) + QLatin1Char('\''));
    q.Open();
    *p.target = q.IsEmpty() ? QString() : q.FieldByName(QStringLiteral("参数值")).AsString();
  }

  // These keep their previous value when the row is missing or null.
  const Plain kept[] = {{u"升级下载地址", &UpdateUrl}, {u"题库版本", &BankVersion}};
  for (const Plain &p : kept) {
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT * FROM 系统参数 WHERE 参数名=") + QuotedStr(QString::fromUtf16(p.key)));
    q.Open();
    if (!q.IsEmpty()) {
      const TField f = q.FieldByName(QStringLiteral("参数值"));
      if (!f.IsNull())
        *p.target = f.AsString();
    }
  }

  const Plain links[] = {{u"错误反馈网址", &FeedbackUrl}, {u"增值服务网址", &ValueAddedUrl}};
  for (const Plain &p : links) {
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='") + QString::fromUtf16(p.key) +
              QLatin1Char('\''));
    q.Open();
    *p.target = q.IsEmpty() ? QString() : q.FieldByName(QStringLiteral("参数值")).AsString();
  }
  q.Close();
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
