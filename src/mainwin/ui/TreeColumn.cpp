#include "mainwin/ui/TreeColumn.h"
#include "mainwin/WindowRules.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Pictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

void TreeColumn::styleAsBar(QWidget *w) {
  w->setAttribute(Qt::WA_StyledBackground);
  w->setStyleSheet(QStringLiteral("#%1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                  "stop:0 #f6f9fd, stop:1 #e2eaf5); border-bottom: 1px solid #c3d1e4; }")
                       .arg(w->objectName()));
}

TreeColumn::TreeColumn(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Panel6"));
  setMinimumWidth(WindowRules::kMinTreeWidth);
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  header = new QWidget(this);
  header->setObjectName(QStringLiteral("Panel8"));
  header->setFixedHeight(29);
  styleAsBar(header);
  auto *bar = new QHBoxLayout(header);
  bar->setContentsMargins(10, 0, 6, 0);
  label = new QLabel(QStringLiteral("题库目录"), header);
  label->setObjectName(QStringLiteral("LabelMulu"));
  QFont labelFont(QStringLiteral("宋体"));
  labelFont.setPixelSize(13);
  label->setFont(labelFont);
  label->setStyleSheet(QStringLiteral("color: navy;"));
  bar->addWidget(label);
  bar->addStretch();
  column->addWidget(header);

  tree = new CategoryTreeView(this);
  tree->setObjectName(QStringLiteral("TreeView1"));
  tree->setFrameShape(QFrame::NoFrame);
  tree->setToolTip(QStringLiteral("方向键移动，Enter 或空格练习所选章节 (F6 在目录与试卷间切换)"));
  column->addWidget(tree, 1);
}

QSplitter *TreeColumn::makeSplitter(QWidget *parent) {
  auto *splitter = new QSplitter(Qt::Horizontal, parent);
  splitter->setObjectName(QStringLiteral("Splitter2"));
  splitter->setHandleWidth(1);
  splitter->setChildrenCollapsible(false);
  splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                              .arg(Pictures::accentColor().name()));
  QObject::connect(splitter, &QSplitter::splitterMoved, splitter, [splitter] {
    QWidget *column = splitter->widget(0);
    if (!column)
      return;
    QWidget *window = splitter->window();
    const int screenWidth = window->screen() ? window->screen()->geometry().width() : window->width();
    const int current = column->width();
    const int wanted = WindowRules::clampedTreeWidth(current, screenWidth);
    if (wanted != current) {
      const QList<int> sizes = splitter->sizes();
      int total = 0;
      for (int s : sizes)
        total += s;
      splitter->setSizes({wanted, std::max(0, total - wanted)});
    }
  });
  return splitter;
}
