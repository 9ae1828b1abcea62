#pragma once
// A chart of test accuracies (0..100 %), one point per test in record order,
// with one look for every page of the statistics window: the value axis in
// steps of 10, the bottom axis labelled with the tests' dates, each point's
// value with at most one decimal, and the test's name and time in a tooltip.
// Labels are thinned to the room the chart has, so that they never overlap
// and none is cut off, whatever the size and the number of points.

#include "review/Statistics.h"

#include <QChartView>
#include <QList>
#include <vector>

class QCategoryAxis;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

class AccuracyChartView : public QChartView {
  Q_OBJECT
public:
  // The points `which` of `tests` (their places in it), or all of them when
  // `which` is null.
  AccuracyChartView(const QString &title, const std::vector<TestPoint> &tests, const std::vector<int> *which,
                    QWidget *parent = nullptr);

  QCategoryAxis *bottomAxis() const { return m_x; }
  QValueAxis *leftAxis() const { return m_y; }
  // The drawn line: a long history as the points that shape it at the
  // plot's width (ShapeOfLine); x is each point's test (0, 1, …).
  QLineSeries *series() const { return m_series; }
  // The value labels shown now (each item's data(0) is its point's index).
  QList<QGraphicsSimpleTextItem *> pointLabels() const;
  // The tooltip of point `index`: the test's name, time and accuracy.
  QString pointTip(int index) const;

private:
  void thin();
  void thinBottomLabels(const QRectF &plot);
  void thinPointLabels(const QRectF &plot);
  double xOf(int index, const QRectF &plot) const;
  void drawLine(int columns);

  std::vector<float> m_values;
  std::vector<QString> m_times;
  std::vector<QString> m_names;
  bool m_withYear = false;
  int m_columns = 0; // the pixel columns the line was shaped for
  QLineSeries *m_series = nullptr;
  QCategoryAxis *m_x = nullptr;
  QValueAxis *m_y = nullptr;
  std::vector<QGraphicsSimpleTextItem *> m_labels; // made as needed, hidden when not used
  bool m_thinning = false;
};
