// Loading the question-bank tree of a large bank: the rows of 题目类别 read
// and put in display order, and the same with the tree widget filled, as the
// main-menu command does it. QBRX_BENCH_TREE_NODES sets the node count
// (default 10000: 10 subjects, 20 chapters each, the rest sections).

#include "TestEnv.h"
#include "mainwin/CategoryTree.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "store/BankBuilder.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QTemporaryDir>
#include <QtTest>

class BenchTree : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  TDataModule1 m_dm;
  int m_nodes = 0;

private slots:
  void initTestCase() {
    const int wanted = qEnvironmentVariableIntValue("QBRX_BENCH_TREE_NODES");
    const int total = wanted > 0 ? wanted : 10000;
    const int subjects = 10, chapters = subjects * 20;
    const int sections = std::max(0, total - subjects - chapters);
    // Sections come first and subjects last in the table, so the build
    // cannot lean on the rows' order.
    QStringList values;
    for (int s = 0; s < sections; ++s)
      values << QStringLiteral("(%1,'第%2节',%3,'2')").arg(100000 + s).arg(s % 49 + 1).arg(1000 + s % chapters);
    for (int c = 0; c < chapters; ++c)
      values << QStringLiteral("(%1,'第%2章',%3,'1')").arg(1000 + c).arg(c / subjects + 1).arg(1 + c % subjects);
    for (int s = 0; s < subjects; ++s)
      values << QStringLiteral("(%1,'科目%1',0,'0')").arg(1 + s);
    QStringList sql;
    for (int i = 0; i < values.size(); i += 500)
      sql << QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES ") +
                 values.mid(i, 500).join(QLatin1Char(',')) + QLatin1Char(';');
    const QString root = m_dir.path() + QLatin1Char('/');
    BuildBankFromTexts(root + QStringLiteral("QBRX.db"), sql);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    m_nodes = int(values.size());
  }

  // Query, both lists, display order.
  void loadAndOrder() {
    CategoryTree tree;
    QBENCHMARK { tree.TreeViewLoadFromDB(m_dm); }
    QCOMPARE(tree.count(), m_nodes);
  }

  // The same plus the tree widget filled with icons by level.
  void loadAndFillView() {
    CategoryTree tree;
    CategoryTreeView view;
    QBENCHMARK {
      view.clearNodes();
      tree.TreeViewLoadFromDB(m_dm);
      view.fill(tree);
    }
    QCOMPARE(view.nodeCount(), m_nodes);
  }
};

QBRX_TEST_MAIN(BenchTree)
#include "bench_tree.moc"
