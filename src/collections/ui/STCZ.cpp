#include "collections/ui/STCZ.h"
#include "collections/ui/SCJST.h"
#include "common/ErrorHandler.h"
#include "app/ui/ExecForPaper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>

TFrmSTCZ::TFrmSTCZ(AppContext &context, QWidget *parent)
    : TFrmBase(SearchText::Caption, parent), m_context(context), m_search(context.dm) {
  setObjectName(QStringLiteral("FrmSTCZ"));
  resize(460, 360);
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  layout->addWidget(PageControl1, 1);

  TabSheet1 = new QWidget(PageControl1);
  auto *first = new QVBoxLayout(TabSheet1);
  auto *label = new QLabel(QStringLiteral("要查找的内容"), TabSheet1);
  LabeledEdit1 = new QLineEdit(TabSheet1);
  LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
  label->setBuddy(LabeledEdit1);
  first->addWidget(label);
  first->addWidget(LabeledEdit1);
  first->addStretch();
  PageControl1->addTab(TabSheet1, QStringLiteral("查找内容"));

  TabSheet2 = new QWidget(PageControl1);
  auto *second = new QVBoxLayout(TabSheet2);
  second->addWidget(new QLabel(QStringLiteral("选择范围"), TabSheet2));
  CheckListBox1 = new QListWidget(TabSheet2);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  second->addWidget(CheckListBox1, 1);
  PageControl1->addTab(TabSheet2, QStringLiteral("查找范围"));
  // Every node ticked; the item keeps the node's number, so two nodes of
  // the same name stay apart.
  // A name two subjects share is shown with its subject.
  const QSignalBlocker quiet(CheckListBox1);
  const std::vector<SearchScopeNode> nodes = m_search.scopeNodes();
  for (const SearchScopeNode &node : nodes) {
    auto *item = new QListWidgetItem(node.label(nodes), CheckListBox1);
    item->setToolTip(node.path());
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    item->setData(Qt::UserRole, node.id);
  }

  std::tie(BitBtn1, BitBtn2) = addButtonRow(layout, QStringLiteral("开始查找"));
  connect(BitBtn1, &QPushButton::clicked, this, [this] { RunCommand([this] { Search(); }); });
  LabeledEdit1->setFocus();
}

void TFrmSTCZ::Search() {
  std::vector<qint32> scope;
  for (int i = 0; i < CheckListBox1->count(); ++i)
    if (QListWidgetItem *item = CheckListBox1->item(i); item->checkState() == Qt::Checked)
      scope.push_back(item->data(Qt::UserRole).toInt());
  const QString text = LabeledEdit1->text();
  const SearchOutcome outcome = m_search.run(text, scope);
  if (!outcome.found()) {
    dialogs().message(outcome.message, SearchText::MessageCaption, outcome.icon);
    return;
  }

  // From here the dialog ends with OK, whatever the result list or the
  // paper comes to (an error included).
  struct AcceptAtEnd {
    TFrmSTCZ *form;
    ~AcceptAtEnd() { form->accept(); }
  } acceptAtEnd{this};
  hide();
  m_request = execForPaper(new TFrmSCJST(m_context.dm, outcome.rows, parentWidget()), [&text](TFrmSCJST &list) {
    PaperRequest request;
    request.paper = list.paper();
    request.kind = PaperKinds::Search;
    request.title = SearchText::Caption;
    request.highlight = text;
    return request;
  });
}
