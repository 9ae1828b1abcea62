#include "mainwin/ui/Pictures.h"
#include "mainwin/PaperToolbarLogic.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QtMath>

namespace Pictures {

namespace {

const QColor kAccent(0x1d, 0x4f, 0x91);     // strip blue
const QColor kAccentDark(0x12, 0x36, 0x66); // lower edge of the strip
const QColor kWhite(255, 255, 255);

qreal ratio() {
  const auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
  return app ? std::max<qreal>(1.0, app->devicePixelRatio()) : 1.0;
}

// A transparent pixmap of `size` logical pixels at the screen's ratio.
QPixmap canvas(QSize size) {
  const qreal r = ratio();
  QPixmap pm(QSize(qCeil(size.width() * r), qCeil(size.height() * r)));
  pm.setDevicePixelRatio(r);
  pm.fill(Qt::transparent);
  return pm;
}

void prepare(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont labelFont(int pixelSize, QFont::Weight weight = QFont::Medium) {
  QFont f;
  // The window's face (see QbrxApplication::useProgramFont).
  f.setFamilies({QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
                 QStringLiteral("serif")});
  f.setPixelSize(pixelSize);
  f.setWeight(weight);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

QPen linePen(const QColor &c, qreal width = 2.2) {
  QPen pen(c, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// --- main-menu glyphs, each drawn in a 32 × 32 box at the origin ---------

void glyphBook(QPainter &p, const QColor &c) { // 章节练习: an open book
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  QPainterPath left;
  left.moveTo(16, 8);
  left.cubicTo(12, 5, 7, 5, 3, 6.5);
  left.lineTo(3, 26);
  left.cubicTo(7, 24.5, 12, 24.5, 16, 27);
  QPainterPath right;
  right.moveTo(16, 8);
  right.cubicTo(20, 5, 25, 5, 29, 6.5);
  right.lineTo(29, 26);
  right.cubicTo(25, 24.5, 20, 24.5, 16, 27);
  p.drawPath(left);
  p.drawPath(right);
  p.drawLine(QPointF(16, 8), QPointF(16, 27));
  p.setPen(linePen(c, 1.6));
  p.drawLine(QPointF(7, 12), QPointF(12.5, 12));
  p.drawLine(QPointF(7, 16.5), QPointF(12.5, 16.5));
  p.drawLine(QPointF(19.5, 12), QPointF(25, 12));
  p.drawLine(QPointF(19.5, 16.5), QPointF(25, 16.5));
}

void glyphExam(QPainter &p, const QColor &c) { // 模拟考试: a clipboard with ticks
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(6, 5, 20, 24), 2.5, 2.5);
  p.setBrush(c);
  p.drawRoundedRect(QRectF(11, 2.5, 10, 5), 1.5, 1.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(linePen(c, 1.8));
  QPainterPath tick1;
  tick1.moveTo(9.5, 14);
  tick1.lineTo(11.5, 16);
  tick1.lineTo(14.5, 12);
  QPainterPath tick2;
  tick2.moveTo(9.5, 21.5);
  tick2.lineTo(11.5, 23.5);
  tick2.lineTo(14.5, 19.5);
  p.drawPath(tick1);
  p.drawPath(tick2);
  p.drawLine(QPointF(17.5, 14.5), QPointF(22.5, 14.5));
  p.drawLine(QPointF(17.5, 22), QPointF(22.5, 22));
}

void glyphWrong(QPainter &p, const QColor &c) { // 错题库: a sheet with a cross mark
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  QPainterPath sheet;
  sheet.moveTo(6, 4);
  sheet.lineTo(19, 4);
  sheet.lineTo(25, 10);
  sheet.lineTo(25, 28);
  sheet.lineTo(6, 28);
  sheet.closeSubpath();
  p.drawPath(sheet);
  p.drawLine(QPointF(19, 4), QPointF(19, 10));
  p.drawLine(QPointF(19, 10), QPointF(25, 10));
  p.setPen(linePen(c, 1.6));
  p.drawLine(QPointF(9.5, 12), QPointF(15, 12));
  p.drawLine(QPointF(9.5, 16.5), QPointF(17, 16.5));
  // the mark, on a filled disc that cuts the sheet's corner
  const QPointF centre(23.5, 23.5);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(centre, 6.8, 6.8);
  p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
  p.setPen(linePen(Qt::black, 2.0));
  p.drawLine(centre + QPointF(-2.6, -2.6), centre + QPointF(2.6, 2.6));
  p.drawLine(centre + QPointF(-2.6, 2.6), centre + QPointF(2.6, -2.6));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void glyphReader(QPainter &p, const QColor &c) { // 电子书: a reader with a bookmark
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(6, 3, 20, 26.5), 3, 3);
  p.setPen(linePen(c, 1.6));
  p.drawLine(QPointF(10, 9), QPointF(22, 9));
  p.drawLine(QPointF(10, 13), QPointF(22, 13));
  p.drawLine(QPointF(10, 17), QPointF(18, 17));
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QPointF(16, 24.5), 1.7, 1.7);
  QPainterPath mark;
  mark.moveTo(20, 3);
  mark.lineTo(24, 3);
  mark.lineTo(24, 10);
  mark.lineTo(22, 8.2);
  mark.lineTo(20, 10);
  mark.closeSubpath();
  p.drawPath(mark);
}

void glyphStar(QPainter &p, const QColor &c) { // 收藏夹: a star
  QPainterPath star;
  const QPointF centre(16, 16.8);
  for (int i = 0; i < 10; ++i) {
    const qreal radius = (i % 2 == 0) ? 13.0 : 5.6;
    const qreal angle = qDegreesToRadians(-90.0 + 36.0 * i);
    const QPointF pt = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    if (i == 0)
      star.moveTo(pt);
    else
      star.lineTo(pt);
  }
  star.closeSubpath();
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  p.drawPath(star);
}

void glyphChart(QPainter &p, const QColor &c) { // 统计分析: bars and a trend
  p.setPen(linePen(c));
  p.setBrush(Qt::NoBrush);
  p.drawLine(QPointF(4, 4), QPointF(4, 28));
  p.drawLine(QPointF(4, 28), QPointF(29, 28));
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRoundedRect(QRectF(8, 18, 4.5, 8), 1, 1);
  p.drawRoundedRect(QRectF(15, 13, 4.5, 13), 1, 1);
  p.drawRoundedRect(QRectF(22, 8, 4.5, 18), 1, 1);
  p.setPen(linePen(c, 1.6));
  p.setBrush(Qt::NoBrush);
  QPainterPath trend;
  trend.moveTo(8, 12);
  trend.lineTo(15, 7);
  trend.lineTo(20, 9);
  trend.lineTo(28, 3);
  p.drawPath(trend);
}

void glyphSearch(QPainter &p, const QColor &c) { // 查找试题: a magnifier
  p.setPen(linePen(c, 2.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(13.5, 13.5), 8.5, 8.5);
  p.setPen(linePen(c, 3.6));
  p.drawLine(QPointF(20, 20), QPointF(27.5, 27.5));
  p.setPen(linePen(c, 1.6));
  p.drawArc(QRectF(8.5, 8.5, 10, 10), 100 * 16, 80 * 16);
}

void glyphGear(QPainter &p, const QColor &c) { // 用户设置: a gear
  const QPointF centre(16, 16);
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 4; ++i) {
    // each tooth: two points on the outer radius, two on the inner one
    const int phase = i % 4;
    const qreal radius = (phase == 1 || phase == 2) ? 13.0 : 10.0;
    const qreal angle = qDegreesToRadians(360.0 / (teeth * 4) * (i + 0.5));
    const QPointF pt = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    if (i == 0)
      gear.moveTo(pt);
    else
      gear.lineTo(pt);
  }
  gear.closeSubpath();
  p.setPen(linePen(c, 2.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(gear);
  p.drawEllipse(centre, 4.2, 4.2);
}

using Glyph = void (*)(QPainter &, const QColor &);
const Glyph kGlyphs[] = {glyphBook, glyphExam, glyphWrong, glyphReader,
                         glyphStar, glyphChart, glyphSearch, glyphGear};

QPixmap drawMenuPicture(int index, MainMenuState::Picture state) {
  QPixmap pm = canvas(kMenuSize);
  QPainter p(&pm);
  prepare(p);
  const QRectF cell(QPointF(0, 0), QSizeF(kMenuSize));
  const QRectF plate = cell.adjusted(2.5, 2.5, -2.5, -2.5);
  QColor ink = kWhite;
  if (state == MainMenuState::Hover) {
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.setBrush(QColor(255, 255, 255, 46));
    p.drawRoundedRect(plate, 8, 8);
  } else if (state == MainMenuState::Selected) {
    QLinearGradient g(plate.topLeft(), plate.bottomLeft());
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(0xe4, 0xee, 0xfb));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(g);
    p.drawRoundedRect(plate, 8, 8);
    // an accent bar under the label marks the current section
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf5, 0xa6, 0x23));
    p.drawRoundedRect(QRectF(plate.center().x() - 12, plate.bottom() - 4.5, 24, 3), 1.5, 1.5);
    ink = kAccent;
  }
  if (index >= 0 && index < int(std::size(kGlyphs))) {
    // the glyph gets a layer of its own, so that cut-outs stay in the glyph
    QPixmap layer = canvas(QSize(32, 32));
    {
      QPainter lp(&layer);
      prepare(lp);
      kGlyphs[index](lp, ink);
    }
    p.drawPixmap(QPointF(20, 8), layer);
  }
  const QStringList labels = menuLabels();
  if (index >= 0 && index < labels.size()) {
    p.setFont(labelFont(13, QFont::Medium));
    p.setPen(ink);
    p.drawText(QRectF(0, 44, kMenuSize.width(), 22), Qt::AlignCenter, labels[index]);
  }
  return pm;
}

// --- title-bar glyphs ----------------------------------------------------

QPixmap drawSysBitmap(const QString &base, int state) {
  QSize size(27, 24);
  if (base == QLatin1String("SysHelp"))
    size = QSize(76, 24);
  else if (base == QLatin1String("SysClose"))
    size = QSize(44, 24);
  QPixmap pm = canvas(size);
  QPainter p(&pm);
  prepare(p);
  const QRectF r(QPointF(0, 0), QSizeF(size));
  const bool close = base == QLatin1String("SysClose");
  // background by state: nothing, a light veil, a stronger veil (red for close)
  if (state == 2 || state == 3) {
    QColor fill = close ? (state == 2 ? QColor(0xe8, 0x11, 0x23) : QColor(0xb0, 0x0d, 0x1a))
                        : QColor(255, 255, 255, state == 2 ? 48 : 90);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0, -0.5, -0.5), 4, 4);
  }
  const QColor ink = kWhite;
  const QPointF c = r.center();
  p.setBrush(Qt::NoBrush);
  if (base == QLatin1String("SysHelp")) {
    // a question mark in a ring, the word and a drop-down arrow
    p.setPen(linePen(ink, 1.4));
    const QPointF ring(13, c.y());
    p.drawEllipse(ring, 6.5, 6.5);
    p.setFont(labelFont(10, QFont::Medium));
    p.drawText(QRectF(ring.x() - 6.5, ring.y() - 7, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    p.setFont(labelFont(12, QFont::Medium));
    p.drawText(QRectF(23, 0, 36, size.height()), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("帮助"));
    QPainterPath arrow;
    arrow.moveTo(61, c.y() - 1.8);
    arrow.lineTo(64.5, c.y() + 1.8);
    arrow.lineTo(68, c.y() - 1.8);
    p.setPen(linePen(ink, 1.5));
    p.drawPath(arrow);
  } else if (base == QLatin1String("SysMin")) {
    p.setPen(linePen(ink, 1.6));
    p.drawLine(QPointF(c.x() - 5, c.y() + 1), QPointF(c.x() + 5, c.y() + 1));
  } else if (base == QLatin1String("SysMax")) {
    p.setPen(linePen(ink, 1.4));
    p.drawRoundedRect(QRectF(c.x() - 5, c.y() - 5, 10, 10), 1.2, 1.2);
  } else if (base == QLatin1String("SysNom")) {
    p.setPen(linePen(ink, 1.3));
    p.drawRoundedRect(QRectF(c.x() - 5, c.y() - 2.5, 8, 8), 1.2, 1.2);
    QPainterPath back;
    back.moveTo(c.x() - 2.5, c.y() - 2.5);
    back.lineTo(c.x() - 2.5, c.y() - 5);
    back.lineTo(c.x() + 5.5, c.y() - 5);
    back.lineTo(c.x() + 5.5, c.y() + 3);
    back.lineTo(c.x() + 3, c.y() + 3);
    p.drawPath(back);
  } else if (close) {
    p.setPen(linePen(ink, 1.6));
    p.drawLine(QPointF(c.x() - 4.5, c.y() - 4.5), QPointF(c.x() + 4.5, c.y() + 4.5));
    p.drawLine(QPointF(c.x() - 4.5, c.y() + 4.5), QPointF(c.x() + 4.5, c.y() - 4.5));
  }
  return pm;
}

// --- tree icons ------------------------------------------------------------

QPixmap drawTreeIcon(int index) {
  QPixmap pm = canvas(kTreeIconSize);
  QPainter p(&pm);
  prepare(p);
  switch (index) {
  case 0: { // a closed book in the accent colour
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(4, 2, 14, 16), 2, 2);
    p.setBrush(QColor(0xf5, 0xa6, 0x23));
    p.drawRect(QRectF(6.5, 2, 2.2, 16));
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(10.5, 6, 5, 1.6), 0.8, 0.8);
    p.drawRoundedRect(QRectF(10.5, 9.2, 5, 1.6), 0.8, 0.8);
    break;
  }
  case 1: { // a folder
    p.setPen(QPen(QColor(0xc7, 0x8a, 0x12), 1));
    p.setBrush(QColor(0xf6, 0xc3, 0x4a));
    QPainterPath tab;
    tab.moveTo(2.5, 5);
    tab.lineTo(8, 5);
    tab.lineTo(9.5, 6.8);
    tab.lineTo(19.5, 6.8);
    tab.lineTo(19.5, 16.5);
    tab.lineTo(2.5, 16.5);
    tab.closeSubpath();
    p.drawPath(tab);
    p.setBrush(QColor(0xfb, 0xd8, 0x7a));
    p.drawRoundedRect(QRectF(2.5, 8.5, 17, 8), 1, 1);
    break;
  }
  case 2:
  case 3: { // a sheet; the selected one carries a pencil
    const QColor edge = index == 3 ? kAccent : QColor(0x6b, 0x7f, 0x99);
    p.setPen(QPen(edge, 1));
    p.setBrush(kWhite);
    QPainterPath sheet;
    sheet.moveTo(5.5, 2.5);
    sheet.lineTo(13, 2.5);
    sheet.lineTo(16.5, 6);
    sheet.lineTo(16.5, 17.5);
    sheet.lineTo(5.5, 17.5);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.drawLine(QPointF(13, 2.5), QPointF(13, 6));
    p.drawLine(QPointF(13, 6), QPointF(16.5, 6));
    p.setPen(QPen(edge, 1.1));
    p.drawLine(QPointF(7.5, 9), QPointF(14.5, 9));
    p.drawLine(QPointF(7.5, 11.5), QPointF(14.5, 11.5));
    p.drawLine(QPointF(7.5, 14), QPointF(12, 14));
    if (index == 3) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xf5, 0xa6, 0x23));
      QPainterPath pencil;
      pencil.moveTo(20.5, 9);
      pencil.lineTo(22, 10.5);
      pencil.lineTo(15.5, 17);
      pencil.lineTo(13.5, 17.5);
      pencil.lineTo(14, 15.5);
      pencil.closeSubpath();
      p.drawPath(pencil);
    }
    break;
  }
  default:
    break;
  }
  return pm;
}

// --- paper toolbar ---------------------------------------------------------
// Each glyph is drawn in a 16 × 16 box at the origin.

void toolRedo(QPainter &p, const QColor &c) { // 重新答题: a turning arrow
  p.setPen(linePen(c, 1.7));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 70 * 16, 290 * 16);
  QPainterPath head;
  head.moveTo(8.4, 0.6);
  head.lineTo(11.6, 3.0);
  head.lineTo(8.2, 5.4);
  p.drawPath(head);
}

void toolEye(QPainter &p, const QColor &c, bool crossed) { // 显示答案 / 隐藏答案
  p.setPen(linePen(c, 1.5));
  p.setBrush(Qt::NoBrush);
  QPainterPath eye;
  eye.moveTo(1, 8);
  eye.quadTo(8, 0.5, 15, 8);
  eye.quadTo(8, 15.5, 1, 8);
  p.drawPath(eye);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QPointF(8, 8), 2.6, 2.6);
  if (crossed) {
    p.setPen(linePen(c, 1.7));
    p.drawLine(QPointF(2.5, 14), QPointF(13.5, 2));
  }
}

void toolSubmit(QPainter &p, const QColor &c) { // 提交试卷: a sheet with a tick
  p.setPen(linePen(c, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(2, 1, 10, 14), 1.5, 1.5);
  p.setPen(linePen(c, 1.2));
  p.drawLine(QPointF(4.5, 4.5), QPointF(9.5, 4.5));
  p.drawLine(QPointF(4.5, 7.5), QPointF(8, 7.5));
  p.setPen(linePen(c, 1.9));
  QPainterPath tick;
  tick.moveTo(7.5, 11.5);
  tick.lineTo(10, 14);
  tick.lineTo(15, 8.5);
  p.drawPath(tick);
}

void toolSliders(QPainter &p, const QColor &c) { // 界面设置: three sliders
  p.setPen(linePen(c, 1.4));
  for (int i = 0; i < 3; ++i)
    p.drawLine(QPointF(1.5, 3 + 5 * i), QPointF(14.5, 3 + 5 * i));
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const qreal knobs[] = {10.5, 5, 8.5};
  for (int i = 0; i < 3; ++i)
    p.drawEllipse(QPointF(knobs[i], 3 + 5 * i), 2.3, 2.3);
}

void toolPrinter(QPainter &p, const QColor &c) { // 打印
  p.setPen(linePen(c, 1.4));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(4, 1.5, 8, 4));
  p.drawRoundedRect(QRectF(1, 5.5, 14, 6.5), 1.5, 1.5);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 9, 8, 5.5));
  p.setPen(linePen(c, 1.0));
  p.drawLine(QPointF(5.5, 11), QPointF(10.5, 11));
  p.drawLine(QPointF(5.5, 13), QPointF(9, 13));
}

void toolZoom(QPainter &p, const QColor &c, bool in) { // 放大 / 缩小
  p.setPen(linePen(c, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
  p.setPen(linePen(c, 2.4));
  p.drawLine(QPointF(10.2, 10.2), QPointF(14.6, 14.6));
  p.setPen(linePen(c, 1.5));
  p.drawLine(QPointF(4.3, 6.5), QPointF(8.7, 6.5));
  if (in)
    p.drawLine(QPointF(6.5, 4.3), QPointF(6.5, 8.7));
}

void toolCorners(QPainter &p, const QColor &c, bool outward) { // 全屏 / 退出
  p.setPen(linePen(c, 1.6));
  p.setBrush(Qt::NoBrush);
  const qreal a = outward ? 1.5 : 6.0; // corner point's distance from the edge
  const qreal b = outward ? 6.0 : 1.5; // arm end's distance from the edge
  const qreal e = 16;
  const QPointF corners[4][3] = {
      {{b, a}, {a, a}, {a, b}},
      {{e - b, a}, {e - a, a}, {e - a, b}},
      {{b, e - a}, {a, e - a}, {a, e - b}},
      {{e - b, e - a}, {e - a, e - a}, {e - a, e - b}},
  };
  for (const auto &k : corners) {
    QPainterPath path;
    path.moveTo(k[0]);
    path.lineTo(k[1]);
    path.lineTo(k[2]);
    p.drawPath(path);
  }
}

void drawToolGlyph(QPainter &p, int tag, const QColor &c) {
  switch (tag) {
  case 0: toolRedo(p, c); break;
  case 1: toolEye(p, c, false); break;
  case 2: toolSubmit(p, c); break;
  case 3: toolSliders(p, c); break;
  case 4: toolEye(p, c, true); break;
  case 5: toolPrinter(p, c); break;
  case 6: toolZoom(p, c, true); break;
  case 7: toolZoom(p, c, false); break;
  case 8: toolCorners(p, c, true); break;
  case 9: toolCorners(p, c, false); break;
  default: break;
  }
}

QPixmap drawPaperToolPicture(int tag, PaperToolbar::State state) {
  const QSize size(PaperToolbar::width(tag), PaperToolbar::kHeight);
  QPixmap pm = canvas(size);
  QPainter p(&pm);
  prepare(p);
  const QRectF plate = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1.5, 1.5, -1.5, -1.5);
  // Submitting is the paper's main step: its button is filled in every state.
  const bool primary = tag == 2;
  QColor ink = kAccent;
  if (primary) {
    const QColor fill = state == PaperToolbar::Hover     ? QColor(0x27, 0x62, 0xab)
                        : state == PaperToolbar::Pressed ? kAccentDark
                                                         : kAccent;
    p.setPen(QPen(kAccentDark, 1));
    p.setBrush(fill);
    p.drawRoundedRect(plate, 5, 5);
    ink = kWhite;
  } else if (state == PaperToolbar::Hover) {
    p.setPen(QPen(QColor(0x9d, 0xb6, 0xd8), 1));
    p.setBrush(kWhite);
    p.drawRoundedRect(plate, 5, 5);
  } else if (state == PaperToolbar::Pressed) {
    p.setPen(QPen(kAccent, 1));
    p.setBrush(QColor(0xd3, 0xe0, 0xf2));
    p.drawRoundedRect(plate, 5, 5);
    ink = kAccentDark;
  }
  const QString text = PaperToolbar::label(tag);
  const QFont font = labelFont(13, QFont::Medium);
  const qreal textWidth = QFontMetricsF(font).horizontalAdvance(text);
  const qreal glyph = 16, gap = 5;
  const qreal left = std::max<qreal>(3, (size.width() - glyph - gap - textWidth) / 2);
  const qreal shift = state == PaperToolbar::Pressed ? 1 : 0; // a pressed button sinks a little
  p.save();
  p.translate(left + shift, (size.height() - glyph) / 2 + shift);
  drawToolGlyph(p, tag, ink);
  p.restore();
  p.setFont(font);
  p.setPen(ink);
  p.drawText(QRectF(left + glyph + gap + shift, shift, size.width() - left - glyph - gap, size.height()),
             Qt::AlignVCenter | Qt::AlignLeft, text);
  return pm;
}

// Drawn pictures are kept in the application's pixmap cache (owned by the
// application, emptied with it), not in statics that outlive it.
template <class Draw> QPixmap cached(const QString &key, Draw draw) {
  QPixmap pm;
  if (!QPixmapCache::find(key, &pm)) {
    pm = draw();
    QPixmapCache::insert(key, pm);
  }
  return pm;
}

} // namespace

QStringList menuLabels() {
  return {QStringLiteral("章节练习"), QStringLiteral("模拟考试"), QStringLiteral("错题库"),
          QStringLiteral("电子书"),   QStringLiteral("收藏夹"),   QStringLiteral("统计分析"),
          QStringLiteral("查找试题"), QStringLiteral("用户设置")};
}

QPixmap menuPicture(int index, MainMenuState::Picture state) {
  return cached(QStringLiteral("qbrx-menu-%1-%2").arg(index).arg(int(state)),
                [&] { return drawMenuPicture(index, state); });
}

QPixmap sysBitmap(const QString &name) {
  static const QStringList bases = {QStringLiteral("SysHelp"), QStringLiteral("SysMin"), QStringLiteral("SysNom"),
                                    QStringLiteral("SysMax"), QStringLiteral("SysClose")};
  if (name.size() < 2)
    return QPixmap();
  const QString base = name.left(name.size() - 1);
  const int state = name.right(1).toInt();
  if (!bases.contains(base) || state < 1 || state > 3)
    return QPixmap();
  return cached(QStringLiteral("qbrx-sys-") + name, [&] { return drawSysBitmap(base, state); });
}

QPixmap stripBackground() {
  const QSize size(1024, 99);
  QPixmap pm = canvas(size);
  QPainter p(&pm);
  prepare(p);
  QLinearGradient g(0, 0, 0, size.height());
  g.setColorAt(0, QColor(0x27, 0x62, 0xab));
  g.setColorAt(0.55, kAccent);
  g.setColorAt(1, kAccentDark);
  p.fillRect(QRect(QPoint(0, 0), size), g);
  // a thin light line under the title row and a soft shine at the top
  p.fillRect(QRectF(0, 0, size.width(), 1), QColor(255, 255, 255, 60));
  p.fillRect(QRectF(0, size.height() - 1, size.width(), 1), QColor(0, 0, 0, 70));
  return pm;
}

QPixmap treeIcon(int index) {
  return cached(QStringLiteral("qbrx-tree-%1").arg(index), [&] { return drawTreeIcon(index); });
}

QColor accentColor() { return kAccent; }

QPixmap paperToolPicture(int list, int index) {
  // The list's position among normal, hover, pressed and whether it is wide.
  static const QHash<int, QPair<bool, PaperToolbar::State>> lists = {
      {5, {true, PaperToolbar::Normal}}, {9, {true, PaperToolbar::Hover}},   {6, {true, PaperToolbar::Pressed}},
      {7, {false, PaperToolbar::Normal}}, {8, {false, PaperToolbar::Hover}}, {10, {false, PaperToolbar::Pressed}}};
  const auto it = lists.constFind(list);
  if (it == lists.constEnd() || index < 0 || index > 4)
    return QPixmap();
  const int tag = it->first ? index : index + 5;
  return cached(QStringLiteral("qbrx-paper-%1-%2").arg(list).arg(index),
                [&] { return drawPaperToolPicture(tag, it->second); });
}

} // namespace Pictures
