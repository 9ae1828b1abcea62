#include "collections/ui/STGL.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "app/AppContext.h"
#include "app/PaperPresenter.h"
#include "app/ui/ExecForPaper.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

TFrmSTGL::TFrmSTGL(TDataModule1 &dm, std::vector<TXiaoTi> paper, QWidget *parent)
    : TFrmBase(QuestionFilterText::Caption, parent), m_dm(dm), m_source(std::move(paper)) {
  setObjectName(QStringLiteral("FrmSTGL"));
  auto *layout = new QVBoxLayout(this);

  RadioGroup1 = new QGroupBox(QStringLiteral("试题范围"), this);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  auto *rangeLayout = new QHBoxLayout(RadioGroup1);
  auto *group = new QButtonGroup(RadioGroup1);
  for (const QString &text : {QStringLiteral("全部试题"), QStringLiteral("收藏夹"), QStringLiteral("错题重做")}) {
    auto *b = new QRadioButton(text, RadioGroup1);
    group->addButton(b, int(ranges.size()));
    rangeLayout->addWidget(b);
    ranges.push_back(b);
  }
  ranges.front()->setChecked(true);
  layout->addWidget(RadioGroup1);

  auto *label = new QLabel(QStringLiteral("选择题型"), this);
  layout->addWidget(label);
  CheckListBox1 = new QListWidget(this);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  label->setBuddy(CheckListBox1);
  {
    const QSignalBlocker quiet(CheckListBox1); // items report themselves as they are added
    for (const QString &type : QuestionFilter(m_dm).types()) {
      auto *item = new QListWidgetItem(type, CheckListBox1);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
      item->setCheckState(Qt::Checked);
    }
  }
  layout->addWidget(CheckListBox1, 1);

  std::tie(BitBtn1, BitBtn2) = addButtonRow(layout, QStringLiteral("确定"));
  connect(BitBtn1, &QPushButton::clicked, this, [this] { RunCommand([this] { apply(); }); });
  resize(360, 330);
}

FilterRange TFrmSTGL::range() const {
  for (std::size_t i = 0; i < ranges.size(); ++i)
    if (ranges[i]->isChecked())
      return FilterRange(i);
  return FilterRange::All;
}

QStringList TFrmSTGL::tickedTypes() const {
  QStringList out;
  for (int i = 0; i < CheckListBox1->count(); ++i)
    if (CheckListBox1->item(i)->checkState() == Qt::Checked)
      out << CheckListBox1->item(i)->text();
  return out;
}

void TFrmSTGL::apply() {
  FilterResult r = QuestionFilter(m_dm).apply(m_source, range(), tickedTypes());
  if (r.status != FilterResult::Status::Narrowed) {
    dialogs().message(QuestionFilter::message(r.status), QuestionFilter::messageCaption(r.status),
                      r.status == FilterResult::Status::NoType ? Dialogs::Icon::Warning : Dialogs::Icon::Question);
    return;
  }
  m_paper = std::move(r.paper);
  accept();
}

void ActSTGL(AppContext &context) {
  if (!context.paper.onDisplay) {
    dialogs().information(QuestionFilterText::NoPaper, QuestionFilterText::NoPaperCaption);
    return;
  }
  if (!dialogs().question(QuestionFilterText::Confirm, QuestionFilterText::ConfirmCaption))
    return;
  // A new page: shown from its top with every answer hidden, the toolbar
  // saying so.
  execAndShowPaper(context.presenter, new TFrmSTGL(context.dm, context.paper.paper, context.window),
                   [&context](TFrmSTGL &form) {
                     PaperRequest request = PaperRequest::keepingKind(context.paper, form.paper());
                     request.title = QuestionFilterText::Caption;
                     return request;
                   });
}
