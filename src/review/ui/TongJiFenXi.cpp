#include "review/ui/TongJiFenXi.h"
#include "app/ui/PageControl.h"
#include "review/ui/AccuracyChart.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFrmTongJiFenXi::TFrmTongJiFenXi(TDataModule1 &dm, QWidget *parent)
    : TFrmBase(QStringLiteral("统计分析"), parent) {
  setObjectName(QStringLiteral("FrmTongJiFenXi"));
  resize(820, 560);
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new TPageControl(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(PageControl1, 1);

  m_history = ReadHistory(dm);

  Chart1 = new AccuracyChartView(QStringLiteral("学习概况"), m_history.tests, nullptr, PageControl1);
  Chart1->setObjectName(QStringLiteral("Chart1"));
  PageControl1->addTab(Chart1, QStringLiteral("全部试题"));
  // One page per chapter; its chart comes when the page is first shown.
  QStringList captions;
  for (const ChapterSeries &chapter : m_history.chapters)
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

AccuracyChartView *TFrmTongJiFenXi::chartOfPage(int index) {
  if (index == 0)
    return Chart1;
  if (index < 1 || index > int(m_history.chapters.size()))
    return nullptr;
  if (auto *chart = qobject_cast<AccuracyChartView *>(PageControl1->widget(index)))
    return chart;
  // The same look as 全部试题, titled with the chapter's name.
  const ChapterSeries &chapter = m_history.chapters[std::size_t(index - 1)];
  auto *chart = new AccuracyChartView(chapter.caption, m_history.tests, &chapter.tests, nullptr);
  PageControl1->setWidget(index, chart);
  return chart;
}
