#include "review/ui/AccuracyChart.h"

#include <QFont>

#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QFontMetrics>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>

namespace {
constexpr int kGap = 6;           // pixels between two labels
constexpr int kLabelDistance = 4; // between a point and its value label
const QColor kLabelColour(0x1a, 0x3d, 0x8f);
} // namespace

AccuracyChartView::AccuracyChartView(const QString &title, const std::vector<TestPoint> &tests,
                                     const std::vector<int> *which, QWidget *parent)
    : QChartView(parent) {
  const std::size_t n = which ? which->size() : tests.size();
  m_values.reserve(n);
  m_times.reserve(n);
  m_names.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TestPoint &t = tests[which ? std::size_t((*which)[i]) : i];
    m_values.push_back(t.accuracy);
    m_times.push_back(t.time);
    m_names.push_back(t.name);
  }
  // Dates carry their year only when the tests span more than one.
  for (const QString &t : m_times)
    if (QStringView(t).left(4) != QStringView(m_times.front()).left(4)) {
      m_withYear = true;
      break;
    }

  auto *c = new QChart;
  c->legend()->hide();
  if (!title.isEmpty())
    c->setTitle(title);
  m_series = new QLineSeries;
  m_series->setPen(QPen(Qt::blue, 2));
  // Shaped for the plot the window will likely have; again once it is laid out.
  drawLine(std::max(this->width(), 800) - 160);
  c->addSeries(m_series);

  m_x = new QCategoryAxis;
  m_x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  m_x->setGridLineVisible(false);
  m_x->setRange(0, BottomAxisMax(int(n)));
  m_y = new QValueAxis;
  m_y->setRange(0, 100);
  m_y->setLabelFormat(QStringLiteral("%d"));
  m_y->setTickType(QValueAxis::TicksDynamic);
  m_y->setTickAnchor(0);
  m_y->setTickInterval(10);
  m_y->setTitleText(QStringLiteral("正确率%"));
  // Turned on its side, the chart's default bold small title runs the
  // characters together: a regular weight, a size up, a little apart.
  QFont titleFont = m_y->titleFont();
  titleFont.setBold(false);
  titleFont.setPointSizeF(titleFont.pointSizeF() + 1);
  titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  m_y->setTitleFont(titleFont);
  m_y->setGridLinePen(QPen(Qt::red, 1, Qt::SolidLine));
  c->addAxis(m_x, Qt::AlignBottom);
  c->addAxis(m_y, Qt::AlignLeft);
  m_series->attachAxis(m_x);
  m_series->attachAxis(m_y);
  setChart(c);

  connect(m_series, &QLineSeries::hovered, this, [this](const QPointF &p, bool on) {
    // A name is the bank's text: shown as written, never as markup.
    if (on)
      QToolTip::showText(QCursor::pos(),
                         QStringLiteral("<p style='white-space:pre'>") +
                             pointTip(qRound(p.x())).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                             QStringLiteral("</p>"),
                         this);
    else
      QToolTip::hideText();
  });
  // The plot area is known once the chart is laid out, and changes with
  // the view's size.
  connect(c, &QChart::plotAreaChanged, this, [this] { thin(); });
  thin();
}

QList<QGraphicsSimpleTextItem *> AccuracyChartView::pointLabels() const {
  QList<QGraphicsSimpleTextItem *> out;
  for (QGraphicsSimpleTextItem *l : m_labels)
    if (l->isVisible())
      out.append(l);
  return out;
}

QString AccuracyChartView::pointTip(int index) const {
  if (index < 0 || index >= int(m_values.size()))
    return QString();
  const std::size_t i = std::size_t(index);
  return m_names[i] + QLatin1Char('\n') + m_times[i] + QStringLiteral("\n正确率 ") + PointLabel(m_values[i]) +
         QLatin1Char('%');
}

void AccuracyChartView::drawLine(int columns) {
  columns = std::max(columns, 1);
  if (columns == m_columns)
    return;
  const bool same = m_columns > 0 && qint64(m_values.size()) <= 2 * qint64(std::min(columns, m_columns));
  m_columns = columns;
  if (same)
    return; // every point either way
  QList<QPointF> xy;
  const std::vector<int> shape = ShapeOfLine(m_values, columns);
  xy.reserve(int(shape.size()));
  for (int i : shape)
    xy.append(QPointF(double(i), double(m_values[std::size_t(i)])));
  m_series->replace(xy);
}

double AccuracyChartView::xOf(int index, const QRectF &plot) const {
  const double span = m_x->max() - m_x->min();
  return plot.left() + (index - m_x->min()) / (span > 0 ? span : 1) * plot.width();
}

// Labels at the room the plot has now; markers on the points while they
// stand apart (a lone point is then seen at all); smooth lines only while
// there are fewer points than pixels.
void AccuracyChartView::thin() {
  if (m_thinning)
    return;
  m_thinning = true;
  const QRectF plot = chart()->plotArea();
  const QFontMetrics fm(m_y->labelsFont());
  const int height = plot.height() > 0 ? int(plot.height()) : std::max(this->height(), 200) - 80;
  m_y->setTickInterval(LabelStep(100, height, fm.height() + 4, 10));
  if (plot.width() > 0 && plot.height() > 0) {
    const int n = int(m_values.size());
    const double perPoint = n > 1 ? plot.width() / std::max(1.0, m_x->max() - m_x->min()) : plot.width();
    m_series->setPointsVisible(n > 0 && perPoint >= 8);
    drawLine(int(plot.width()));
    setRenderHint(QPainter::Antialiasing, n <= int(plot.width()));
    thinBottomLabels(plot);
    thinPointLabels(plot);
  }
  m_thinning = false;
}

// The bottom axis names the date of the test at evenly spaced slots, each
// date once: a day's first labelled test carries it.
void AccuracyChartView::thinBottomLabels(const QRectF &plot) {
  const QFontMetrics fm(m_x->labelsFont());
  // The axis shortens a label that has less room than about one and a half
  // times its width: slots that wide keep every date whole.
  const int room = fm.horizontalAdvance(m_withYear ? QStringLiteral("0000-00-00") : QStringLiteral("00-00")) * 3 / 2 + kGap;
  for (const QString &label : m_x->categoriesLabels())
    m_x->remove(label);
  m_x->setStartValue(m_x->min());
  QStringList shown;
  double lastRight = -1e9;
  for (int i = 0; i < int(m_times.size()); ++i) {
    const double x = xOf(i, plot);
    if (x - room / 2.0 < lastRight)
      continue;
    lastRight = x + room / 2.0; // the slot is used, whether or not its date is new
    const QString label = DateLabel(m_times[std::size_t(i)], m_withYear);
    if (label.isEmpty() || shown.contains(label))
      continue;
    shown.append(label);
    m_x->append(label, i);
  }
  m_x->setRange(0, BottomAxisMax(int(m_values.size())));
}

// Each value label stands above its point, or below it when there is no
// room above, inside the plot; a label that would reach the previous one is
// left out.
void AccuracyChartView::thinPointLabels(const QRectF &plot) {
  const QFont font = m_y->labelsFont();
  const QFontMetrics fm(font);
  const int widest = fm.horizontalAdvance(QStringLiteral("100.0"));
  const bool room = widest <= plot.width() && 2 * fm.height() + kLabelDistance <= plot.height();
  std::size_t used = 0;
  // Places point i's label (the next unused item) unless it would reach
  // `lastRight` or there is no room in the plot.
  const auto place = [&](int i, double x, double lastRight) {
    if (used == m_labels.size()) {
      auto *item = new QGraphicsSimpleTextItem(chart());
      item->setFont(font);
      item->setBrush(kLabelColour);
      item->setZValue(10);
      item->setVisible(false);
      m_labels.push_back(item);
    }
    QGraphicsSimpleTextItem *item = m_labels[used];
    item->setText(PointLabel(m_values[std::size_t(i)]));
    const double w = item->boundingRect().width(), h = item->boundingRect().height();
    if (w > plot.width() || h > plot.height())
      return false;
    const double left = std::clamp(x - w / 2, plot.left(), plot.right() - w);
    if (left < lastRight + kGap)
      return false;
    const QPointF p = chart()->mapToPosition(QPointF(i, m_values[std::size_t(i)]), m_series);
    double top = p.y() - kLabelDistance - h;
    if (top < plot.top())
      top = p.y() + kLabelDistance;
    top = std::clamp(top, plot.top(), plot.bottom() - h);
    item->setData(0, i);
    item->setPos(left, top);
    item->setVisible(true);
    ++used;
    return true;
  };
  double lastRight = -1e9;
  for (int i = 0; room && i < int(m_values.size()); ++i) {
    const double x = xOf(i, plot);
    if (std::max(plot.left(), x - widest / 2.0) < lastRight + kGap)
      continue; // cheap test first: most points of a long history stop here
    if (place(i, x, lastRight))
      lastRight = m_labels[used - 1]->pos().x() + m_labels[used - 1]->boundingRect().width();
  }
  // The newest test is the one a learner looks for: its label stands, and
  // the labels it would reach give way.
  const int last = int(m_values.size()) - 1;
  if (last > 0 && used > 0 && m_labels[used - 1]->data(0).toInt() != last) {
    const std::size_t before = used;
    if (place(last, xOf(last, plot), -1e9)) {
      QGraphicsSimpleTextItem *newest = m_labels[used - 1];
      const double left = newest->pos().x();
      std::size_t keep = before;
      while (keep > 0 && m_labels[keep - 1]->pos().x() + m_labels[keep - 1]->boundingRect().width() + kGap > left)
        --keep;
      if (keep != before) {
        std::swap(m_labels[keep], m_labels[used - 1]);
        used = keep + 1;
      }
    }
  }
  for (std::size_t k = used; k < m_labels.size(); ++k)
    m_labels[k]->setVisible(false);
}
