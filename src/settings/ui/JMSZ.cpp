#include "settings/ui/JMSZ.h"
#include "common/AppError.h"
#include "common/Dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TFrmJMSZ::TFrmJMSZ(TDataModule1 &dm, std::function<void()> openDisplay, QWidget *parent)
    : TFrmBase(QStringLiteral("软件设置"), parent), m_dm(dm), m_rows(ReadTypeScores(dm)) {
  setObjectName(QStringLiteral("FrmJMSZ"));
  resize(640, 360);
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  layout->addWidget(PageControl1, 1);
  auto *scores = new QWidget;
  scores->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(scores, QStringLiteral("分数设置"));
  auto *look = new QWidget;
  look->setObjectName(QStringLiteral("TabSheet2"));
  PageControl1->addTab(look, QStringLiteral("界面设置"));
  BitBtn3 = new QPushButton(QStringLiteral("答题界面设置"), look);
  BitBtn3->move(20, 20);
  BitBtn3->adjustSize();
  connect(BitBtn3, &QPushButton::clicked, this, [openDisplay] { openDisplay(); });

  // One row per type, three a line: label, edit, arrows.
  for (std::size_t k = 0; k < m_rows.size(); ++k) {
    const int i = int(k);
    const int x = 200 * (i % 3), y = 18 + 30 * (i / 3);
    auto *label = new QLabel(m_rows[k].type, scores);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(x, y + 3, 96, 18);
    auto *edit = new QLineEdit(m_rows[k].score, scores);
    edit->setGeometry(x + 100, y, 50, 22);
    auto *up = new QPushButton(QStringLiteral("▲"), scores);
    auto *down = new QPushButton(QStringLiteral("▼"), scores);
    up->setGeometry(x + 150, y - 1, 20, 12);
    down->setGeometry(x + 150, y + 11, 20, 12);
    for (QPushButton *b : {up, down}) {
      b->setAutoDefault(false);
      b->setFocusPolicy(Qt::NoFocus);
      b->setStyleSheet(QStringLiteral("font-size:7px; padding:0;"));
    }
    connect(up, &QPushButton::clicked, this, [this, i] { ActUP(i); });
    connect(down, &QPushButton::clicked, this, [this, i] { ActDown(i); });
    connect(edit, &QLineEdit::textChanged, this, [this, i] { ActChange(i); });
    labels.push_back(label);
    edits.push_back(edit);
    ups.push_back(up);
    downs.push_back(down);
  }

  std::tie(BitBtn1, BitBtn2) = addButtonRow(layout, QStringLiteral("确定"));
  connect(BitBtn1, &QPushButton::clicked, this, [this] { confirm(); });
}

void TFrmJMSZ::ActUP(int i) {
  if (const std::optional<QString> next = StepScore(edits[std::size_t(i)]->text(), +1))
    edits[std::size_t(i)]->setText(*next);
  else
    dialogs().beep();
}

void TFrmJMSZ::ActDown(int i) {
  if (const std::optional<QString> next = StepScore(edits[std::size_t(i)]->text(), -1))
    edits[std::size_t(i)]->setText(*next);
  else
    dialogs().beep();
}

void TFrmJMSZ::ActChange(int i) {
  QLineEdit *edit = edits[std::size_t(i)];
  if (IsScoreText(edit->text()))
    return;
  dialogs().beep();
  edit->setText(ScoreText::Default);
}

void TFrmJMSZ::confirm() {
  for (std::size_t k = 0; k < m_rows.size(); ++k)
    m_rows[k].score = edits[k]->text();
  try {
    StoreTypeScores(m_dm, m_rows);
  } catch (const AppError &e) {
    dialogs().warning(e.message(), QStringLiteral("软件设置"));
    return;
  }
  dialogs().information(ScoreText::Saved, ScoreText::SavedCaption);
  accept();
}
