#pragma once
// A cost beside its floor, measured in alternation so that both meet the
// same load of a shared machine: `rounds` times the cost then the floor,
// each timed on its own. Prints both medians and their ratio on one line
// ("ratio <name>: <cost>/<floor> ms = <ratio>") and reports the ratio
// (x1000, as events) as the benchmark's result.

#include <QElapsedTimer>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <vector>

// The data rows of a benchmark that takes the paper size: column "size",
// one row per size in QBRX_BENCH_SIZES (default 100, 1,000 and 5,000).
inline void paperSizeRows() {
  QTest::addColumn<int>("size");
  QString list = qEnvironmentVariable("QBRX_BENCH_SIZES");
  if (list.isEmpty())
    list = QStringLiteral("100,1000,5000");
  for (const QString &s : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
    QTest::newRow(qPrintable(s.trimmed())) << s.trimmed().toInt();
}

inline double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

inline void reportInterleaved(const QString &name, const std::function<void()> &cost,
                              const std::function<void()> &floor, int rounds) {
  std::vector<double> a, b;
  cost(); // warm
  floor();
  for (int i = 0; i < rounds; ++i) {
    QElapsedTimer t;
    t.start();
    cost();
    a.push_back(t.nsecsElapsed() / 1e6);
    t.restart();
    floor();
    b.push_back(t.nsecsElapsed() / 1e6);
  }
  const double ma = medianOf(a), mb = medianOf(b);
  qInfo("ratio %s: %.3f/%.3f ms = %.2f", qPrintable(name), ma, mb, mb > 0 ? ma / mb : 0.0);
  QTest::setBenchmarkResult(mb > 0 ? 1000 * ma / mb : 0, QTest::Events);
}

// Rounds for a cost of about `msPerRound`: enough for a steady median
// without letting the big sizes take minutes.
inline int roundsFor(double msPerRound) { return std::clamp(int(3000 / std::max(1.0, msPerRound)), 5, 41); }
