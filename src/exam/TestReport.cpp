#include "exam/TestReport.h"
#include "common/MarkupCheck.h"

#include <cmath>

namespace {

// `hundredths` / 100 with two decimals.
QString fromHundredths(qint64 hundredths) {
  const bool negative = hundredths < 0;
  const quint64 h = negative ? quint64(-(hundredths + 1)) + 1 : quint64(hundredths);
  QString text = QString::number(h / 100) + QLatin1Char('.') +
                 QStringLiteral("%1").arg(h % 100, 2, 10, QLatin1Char('0'));
  return negative ? QLatin1Char('-') + text : text;
}

// A float widened to double and multiplied by 100 or 10000 is exact, so the
// rounding below sees the value itself and a tie (0.125) rounds away from zero.
QString roundedFixed2(double hundredths, double value) {
  if (!std::isfinite(hundredths) || std::fabs(hundredths) > 9.0e15)
    return QString::number(value, 'f', 2);
  return fromHundredths(std::llround(hundredths));
}

QString cell(const char *width, const char *cls, const QString &text) {
  return QStringLiteral("<td width=\"%1\" align=\"center\" class=\"%2\">")
             .arg(QLatin1String(width), QLatin1String(cls)) +
         text + QStringLiteral("</td>");
}

const char *const kWidths[6] = {"28%", "15%", "12%", "15%", "15%", "15%"};

QString row(const QStringList &texts) {
  QString line = QStringLiteral("<tr>");
  for (int i = 0; i < 6; ++i)
    line += cell(kWidths[i], "table1", texts[i]);
  return line + QStringLiteral("</tr>");
}

} // namespace

QString ReportFixed2(double value) { return roundedFixed2(value * 100.0, value); }

QString ReportPercent(double ratio) { return roundedFixed2(ratio * 10000.0, ratio * 100.0) + QLatin1Char('%'); }

QString ReportCountPercent(qint64 right, qint64 count) {
  if (count <= 0)
    return QStringLiteral("0.00%");
  // right / count x 100 in hundredths, rounded half away from zero, exactly.
  const qint64 num = right * 10000;
  const qint64 h = num >= 0 ? (2 * num + count) / (2 * count) : -((-2 * num + count) / (2 * count));
  return fromHundredths(h) + QLatin1Char('%');
}

TestReport BuildTestReport(const std::vector<TTest> &results) {
  TestReport r;
  QStringList &out = r.lines;
  out << QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">")
      << QStringLiteral("<head>")
      << QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />")
      << QStringLiteral("<META http-equiv=\"MSThemeCompatible\" content=\"yes\" >")
      << QStringLiteral("<title>测试结果</title>")
      << QStringLiteral("<style type=\"text/css\">")
      << QStringLiteral(".TestBody{background-color:#EFF8FF;color:Red;FONT-SIZE:28px;font-family:宋体,宋体;LINE-HEIGHT:140%;}")
      << QStringLiteral(".TestCaption{font-weight:bold;font-size:18px;font-family:宋体, serif;LINE-HEIGHT:140%;"
                        "text-align:center;margin-top:4px;margin-bottom:8px;}")
      << QStringLiteral(".table3{font-weight:bold;background-color:#c9e9f9;color:#000000;"
                        "border:#7F9DB9 1px solid;cursor:hand;}")
      << QStringLiteral(".table4{font-weight:bold;background-color:#c9e9f9;color:#000000;"
                        "border-bottom:#7F9DB9 1px solid;border-top:#7F9DB9 1px solid;"
                        "border-left:#7F9DB9 1px solid;cursor:hand;}")
      << QStringLiteral(".table1{background-color:#eff8ff;color:#000000;border-left:#7F9DB9 1px solid;"
                        "border-right:#7F9DB9 1px solid;border-bottom:#7F9DB9 1px solid;cursor:hand;}")
      << QStringLiteral("</style>")
      << QStringLiteral("</head>")
      << QStringLiteral("<body class=\"TestBody\">")
      << QStringLiteral("<div align=\"center\"><span class=\"TestCaption\">本次测试结果</span></div>")
      << QStringLiteral("<table width=\"532\" align=\"center\" cellspacing=\"0\">")
      << QStringLiteral("<tr>")
      << cell(kWidths[0], "table4", QStringLiteral("题型"))
      << cell(kWidths[1], "table4", QStringLiteral("试题数"))
      << cell(kWidths[2], "table4", QStringLiteral("答对"))
      << cell(kWidths[3], "table4", QStringLiteral("总分"))
      << cell(kWidths[4], "table4", QStringLiteral("得分"))
      << cell(kWidths[5], "table3", QStringLiteral("正确率"))
      << QStringLiteral("</tr>");

  TestTotals &t = r.totals;
  for (const TTest &e : results) {
    out << row({MarkupCheck::pageText(e.TiMuType), QString::number(e.NumOfShiTi), QString::number(e.Right), ReportFixed2(e.Total),
                ReportFixed2(e.Score), ReportPercent(e.MNPP)});
    t.SumNumOfShiTi += e.NumOfShiTi;
    t.SumRight += e.Right;
    t.SumTotal += e.Total;
    t.SumScore += e.Score;
  }
  out << row({QStringLiteral("合计"), QString::number(t.SumNumOfShiTi), QString::number(t.SumRight),
              ReportFixed2(t.SumTotal), ReportFixed2(t.SumScore),
              ReportCountPercent(t.SumRight, t.SumNumOfShiTi)})
      << QStringLiteral("</table></body></html>");
  return r;
}
