#pragma once
// TFrmTongJiFenXi: the statistics window (统计分析). Names in plain words: docs/NAMES.md
// The statistics window "统计分析": the accuracy of every stored test on the
// page "全部试题", and one page per chapter of the chapter-practice tests.
// The history is read once, by one statement, when the window is made; a
// chapter's page and chart are made when the page is first shown, so a long
// history opens at once. Every page has the same look (AccuracyChartView).

#include "app/ui/FrmBase.h"
#include "review/Statistics.h"
#include "review/ui/AccuracyChart.h"

class QPushButton;
class TDataModule1;
class TPageControl;

class TFrmTongJiFenXi : public TFrmBase {
  Q_OBJECT
public:
  TFrmTongJiFenXi(TDataModule1 &dm, QWidget *parent = nullptr);

  TPageControl *PageControl1 = nullptr; // 全部试题, then one page per chapter
  AccuracyChartView *Chart1 = nullptr; // the page "全部试题"
  QPushButton *BitBtn1 = nullptr; // "关闭"

  // The chart of page `index` (0: 全部试题), drawn now when it was not yet.
  AccuracyChartView *chartOfPage(int index);

private:
  void pageShown(int index);

  History m_history;
};
