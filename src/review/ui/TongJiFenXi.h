#pragma once
// TFrmTongJiFenXi: the statistics window (统计分析). Names in plain words: docs/NAMES.md
// The statistics window "统计分析": the accuracy of every stored test on the
// page "全部试题", and one page per chapter of the chapter-practice tests.
// The data is read once when the window is made; a chapter's page and chart
// are made when the page is first shown, so a long history opens at once.

#include "app/ui/FrmBase.h"
#include "review/Statistics.h"

#include <vector>

class QChart;
class QChartView;
class QPushButton;
class TDataModule1;
class TPageControl;

class TFrmTongJiFenXi : public TFrmBase {
  Q_OBJECT
public:
  TFrmTongJiFenXi(TDataModule1 &dm, QWidget *parent = nullptr);

  TPageControl *PageControl1 = nullptr; // 全部试题, then one page per chapter
  QChartView *Chart1 = nullptr; // the page "全部试题"
  QPushButton *BitBtn1 = nullptr; // "关闭"

  // The chart of page `index` (0: 全部试题), drawn now when it was not yet.
  QChartView *chartOfPage(int index);

private:
  void pageShown(int index);

  std::vector<ChapterSeries> m_chapters;
};

// A chart of accuracies (values 0..100) whose axis labels and point labels
// are thinned so that they never overlap, whatever the size and the number
// of points.
class AccuracyChartView;
