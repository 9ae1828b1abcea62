#include "exam/ui/ShowTestResult.h"
#include "exam/TestRecordStore.h"
#include "app/PaperState.h"
#include "render/HtmlView.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFrmShowTestResult::TFrmShowTestResult(const PaperState &paper, TDataModule1 &dm, QWidget *parent,
                                       const HtmlViewFactory &viewFactory)
    : TFrmBase(QStringLiteral("测试结果"), parent), m_paper(paper), m_dm(dm) {
  m_view = makeView(viewFactory, this);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_view->widget(), 1);

  Panel1 = new QWidget(this);
  auto *panelLayout = new QHBoxLayout(Panel1);
  panelLayout->setContentsMargins(6, 6, 6, 6);
  panelLayout->addStretch();
  BitBtn1 = new QPushButton(QStringLiteral("关闭"), Panel1);
  BitBtn1->setDefault(true);
  BitBtn1->setAutoDefault(true);
  panelLayout->addWidget(BitBtn1);
  panelLayout->addStretch();
  layout->addWidget(Panel1);
  wireButtons(BitBtn1, nullptr);

  resize(582, 221);
  writeReport();
}

TFrmShowTestResult::~TFrmShowTestResult() = default;

void TFrmShowTestResult::writeReport() {
  const TestReport report = BuildTestReport(m_paper.typeResults);
  m_totals = report.totals;
  m_view->navigate(QStringLiteral("about:blank"));
  for (const QString &line : report.lines)
    m_view->writeln(line);
}

void TFrmShowTestResult::done(int result) {
  TestRecordStore(m_dm).saveOnClose(CurrentTestOutcome(m_paper, m_totals));
  QDialog::done(result);
}
