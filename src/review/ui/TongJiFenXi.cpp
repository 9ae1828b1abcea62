#include "review/ui/TongJiFenXi.h"
#include "app/ui/PageControl.h"

#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

class AccuracyChartView : public QChartView {
public:
  struct Look {
    QString title;     // chart title; empty for none
    QString axisTitle; // left axis title
    int valueStep;     // the left axis's step (labels thinned above it)
    bool redGrid;      // red solid grid lines on the left axis
  };

  AccuracyChartView(const std::vector<float> &points, const Look &look, QWidget *parent)
      : QChartView(parent), m_look(look), m_points(int(points.size())) {
    setRenderHint(QPainter::Antialiasing);
    auto *c = new QChart;
    c->legend()->hide();
    if (!look.title.isEmpty())
      c->setTitle(look.title);
    m_series = new QLineSeries;
    m_series->setPen(QPen(Qt::blue, 1));
    m_series->setPointLabelsFormat(QStringLiteral("@yPoint"));
    m_series->setPointLabelsColor(Qt::blue);
    m_series->setPointLabelsClipping(false);
    QList<QPointF> xy;
    xy.reserve(int(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
      xy.append(QPointF(double(i), double(points[i])));
    m_series->replace(xy);
    c->addSeries(m_series);

    m_x = new QValueAxis;
    m_x->setRange(0, BottomAxisMax(m_points));
    m_x->setLabelFormat(QStringLiteral("%d"));
    m_x->setTickType(QValueAxis::TicksDynamic);
    m_x->setTickAnchor(0);
    m_y = new QValueAxis;
    m_y->setRange(0, 100);
    m_y->setLabelFormat(QStringLiteral("%d"));
    m_y->setTickType(QValueAxis::TicksDynamic);
    m_y->setTickAnchor(0);
    if (!look.axisTitle.isEmpty())
      m_y->setTitleText(look.axisTitle);
    if (look.redGrid)
      m_y->setGridLinePen(QPen(Qt::red, 1, Qt::SolidLine));
    c->addAxis(m_x, Qt::AlignBottom);
    c->addAxis(m_y, Qt::AlignLeft);
    m_series->attachAxis(m_x);
    m_series->attachAxis(m_y);
    setChart(c);
    // The plot area is known once the chart is laid out, and changes with
    // the view's size.
    connect(c, &QChart::plotAreaChanged, this, [this] { thin(); });
    thin();
  }

  QValueAxis *bottomAxis() const { return m_x; }
  QValueAxis *leftAxis() const { return m_y; }
  QLineSeries *series() const { return m_series; }

private:
  // Labels at the smallest step that lets them stand apart at the plot's
  // present size; the points' value labels only while they have room.
  void thin() {
    if (m_thinning)
      return;
    m_thinning = true;
    const QFontMetrics fm(m_x->labelsFont());
    const QRectF plot = chart()->plotArea();
    const int width = plot.width() > 0 ? int(plot.width()) : std::max(this->width(), 200) - 80;
    const int height = plot.height() > 0 ? int(plot.height()) : std::max(this->height(), 200) - 80;
    const int max = BottomAxisMax(m_points);
    m_x->setTickInterval(LabelStep(max, width, fm.horizontalAdvance(QString::number(max)) + 12, 1));
    m_y->setTickInterval(LabelStep(100, height, fm.height() + 4, m_look.valueStep));
    const int perPoint = m_points > 1 ? width / std::max(max, 1) : width;
    m_series->setPointLabelsVisible(perPoint >= fm.horizontalAdvance(QStringLiteral("100.0")) + 4);
    m_thinning = false;
  }

  Look m_look;
  int m_points;
  QLineSeries *m_series = nullptr;
  QValueAxis *m_x = nullptr;
  QValueAxis *m_y = nullptr;
  bool m_thinning = false;
};

TFrmTongJiFenXi::TFrmTongJiFenXi(TDataModule1 &dm, QWidget *parent)
    : TFrmBase(QStringLiteral("统计分析"), parent) {
  setObjectName(QStringLiteral("FrmTongJiFenXi"));
  resize(820, 560);
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new TPageControl(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(PageControl1, 1);

  const std::vector<float> overall = OverallAccuracy(dm);
  m_chapters = ChapterAccuracy(dm);

  Chart1 = new AccuracyChartView(overall, {QStringLiteral("学习概况"), QStringLiteral("正确率%"), 10, true},
                                 PageControl1);
  Chart1->setObjectName(QStringLiteral("Chart1"));
  PageControl1->addTab(Chart1, QStringLiteral("全部试题"));
  // One page per chapter; its chart comes when the page is first shown.
  QStringList captions;
  for (const ChapterSeries &chapter : m_chapters)
    captions << chapter.caption;
  PageControl1->addTabs(captions);
  connect(PageControl1, &TPageControl::currentChanged, this, [this](int i) { pageShown(i); });

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  BitBtn1 = new QPushButton(QStringLiteral("关闭"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  buttons->addWidget(BitBtn1);
  layout->addLayout(buttons);
  wireButtons(nullptr, BitBtn1);
}

void TFrmTongJiFenXi::pageShown(int index) { chartOfPage(index); }

QChartView *TFrmTongJiFenXi::chartOfPage(int index) {
  if (index == 0)
    return Chart1;
  if (index < 1 || index > int(m_chapters.size()))
    return nullptr;
  if (auto *chart = qobject_cast<QChartView *>(PageControl1->widget(index)))
    return chart;
  auto *chart = new AccuracyChartView(m_chapters[std::size_t(index - 1)].points, {QString(), QString(), 1, false}, nullptr);
  PageControl1->setWidget(index, chart);
  return chart;
}
