#include "review/ui/WGZX.h"
#include "common/Dialogs.h"
#include "review/ui/RowsTableModel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

TFrmWGZX::TFrmWGZX(TDataModule1 &dm, QWidget *parent)
    : TFrmBase(QStringLiteral("温故知新"), parent), m_logic(dm) {
  setObjectName(QStringLiteral("FrmWGZX"));
  resize(900, 520);
  auto *layout = new QVBoxLayout(this);
  StringGrid1 = new QTableView(this);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StringGrid1->horizontalHeader()->setStretchLastSection(false);
  m_model = new RowsTableModel(this);
  StringGrid1->setModel(m_model);
  layout->addWidget(StringGrid1, 1);

  auto *buttons = new QHBoxLayout;
  BitBtn1 = new QPushButton(QStringLiteral("显示全部测试"), this);
  BitBtn2 = new QPushButton(PastTestsText::ShowQuestions, this);
  BitBtn3 = new QPushButton(QStringLiteral("关闭"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn2->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  layout->addLayout(buttons);
  wireButtons(nullptr, BitBtn3);

  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    m_logic.showAllTests();
    BitBtn2->setText(PastTestsText::ShowQuestions);
    m_buttonTag = 0;
    refill();
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { activate(PastTests::Control::Button); });
  connect(StringGrid1, &QTableView::doubleClicked, this, [this] { activate(PastTests::Control::Grid); });
  refill();
}

TFrmWGZX::~TFrmWGZX() = default;

void TFrmWGZX::refill() {
  m_model->setRows(m_logic.headers(), m_logic.rows());
  // Widths measured in the dialog's font.
  const QFontMetrics fm(font());
  const int type = fm.horizontalAdvance(QStringLiteral(" 题目类型 "));
  if (m_logic.listing() == PastTests::Listing::Tests) {
    StringGrid1->setColumnWidth(0, type + 115);
    for (int c = 1; c <= 6; ++c)
      StringGrid1->setColumnWidth(c, type + 8);
    StringGrid1->setColumnWidth(7, fm.horizontalAdvance(QStringLiteral("2010-2-16 15:40:29")) + 18);
  } else {
    StringGrid1->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral(" 100")) + 18);
    StringGrid1->setColumnWidth(1, 480);
    // 题目类型 as wide as its longest text ("单项选择题" uncut).
    int typeWidth = fm.horizontalAdvance(QStringLiteral("题目类型"));
    QSet<QString> types;
    for (const QStringList &row : m_logic.rows())
      if (row.size() > 2 && !types.contains(row[2])) {
        types.insert(row[2]);
        typeWidth = std::max(typeWidth, fm.horizontalAdvance(row[2]));
      }
    StringGrid1->setColumnWidth(2, typeWidth + 18);
  }
  // The name (or the question's text) takes the room the other columns
  // leave, so that a mock exam's dated name is not cut beside empty space.
  QHeaderView *header = StringGrid1->horizontalHeader();
  const int wide = m_logic.listing() == PastTests::Listing::Tests ? 0 : 1;
  for (int c = 0; c < m_model->columnCount(); ++c)
    header->setSectionResizeMode(c, c == wide ? QHeaderView::Stretch : QHeaderView::Interactive);
  StringGrid1->selectRow(0);
}

int TFrmWGZX::selectedRow() const {
  const QModelIndex i = StringGrid1->currentIndex();
  return i.isValid() ? i.row() : 0;
}

void TFrmWGZX::activate(PastTests::Control control) {
  // The grid's tag is its listing: 0 tests, 1 questions.
  const int tag = control == PastTests::Control::Button
                      ? m_buttonTag
                      : (m_logic.listing() == PastTests::Listing::Questions ? 1 : 0);
  const PastTests::Outcome out = m_logic.activate(control, tag, selectedRow());
  if (out.beep)
    dialogs().beep();
  if (out.switchedToQuestions) {
    if (control == PastTests::Control::Button) {
      BitBtn2->setText(PastTestsText::MakePaper);
      m_buttonTag = 1;
    }
    refill();
  }
  if (out.paper) {
    m_paper = *out.paper;
    accept();
  }
}
