#include "feedback/ui/ErrorReport.h"
#include "render/PageBuilder.h"
#include "app/ui/FrmBase.h"
#include "render/ui/WebHtmlView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Box numbers (1-based) of the two columns, top to bottom.
constexpr int kLeftColumn[] = {1, 3, 5, 6, 7};
constexpr int kRightColumn[] = {2, 4, 8, 9, 10};
constexpr int kBandHeight = 162;
} // namespace

TFrmErrorReport::TFrmErrorReport(TDataModule1 &dm, int XiaoTiHao, QWidget *parent)
    : TFrmBase(QStringLiteral("错题反馈"), parent), m_dm(dm), m_XiaoTiHao(XiaoTiHao) {
  setWindowFlag(Qt::CustomizeWindowHint);
  setObjectName(QStringLiteral("FrmErrorReport"));
  setFont(QFont(QStringLiteral("Tahoma")));

  WebBrowser1 = new WebHtmlView(this);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));

  GroupBox1 = new QGroupBox(QStringLiteral("其他错误反馈"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto *grid = new QGridLayout(GroupBox1);
  for (int i = 0; i < ErrorReportLogic::BoxCount; ++i) {
    CheckBoxes[i] = new QCheckBox(ErrorReportLogic::captions()[i], GroupBox1);
    CheckBoxes[i]->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
  }
  // Tab order follows the box order, the layout the two columns.
  for (int row = 0; row < 5; ++row) {
    grid->addWidget(CheckBoxes[kLeftColumn[row] - 1], row, 0);
    grid->addWidget(CheckBoxes[kRightColumn[row] - 1], row, 1);
  }

  GroupBox2 = new QGroupBox(QStringLiteral("错误的附加说明"), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  Memo1 = new QPlainTextEdit(GroupBox2);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setTabChangesFocus(true);
  auto *memoLayout = new QVBoxLayout(GroupBox2);
  memoLayout->addWidget(Memo1);

  BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(QStringLiteral("关闭"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, &TFrmErrorReport::BitBtn1Click);
  wireButtons(nullptr, BitBtn2); // 确定 sends first (BitBtn1Click)

  // The band under the page: the boxes on the left, the free text and the
  // buttons on the right.
  auto *band = new QWidget(this);
  band->setFixedHeight(kBandHeight);
  auto *bandLayout = new QHBoxLayout(band);
  bandLayout->setContentsMargins(4, 2, 4, 4);
  auto *right = new QVBoxLayout;
  right->addWidget(GroupBox2, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  right->addLayout(buttons);
  bandLayout->addWidget(GroupBox1, 1);
  bandLayout->addLayout(right, 1);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(WebBrowser1, 1);
  layout->addWidget(band);

  resize(750, 478);
}

TFrmErrorReport::~TFrmErrorReport() {
  if (m_submitting)
    QGuiApplication::restoreOverrideCursor();
}

ErrorReportLogic::Ticks TFrmErrorReport::ticked() const {
  ErrorReportLogic::Ticks ticks{};
  for (int i = 0; i < ErrorReportLogic::BoxCount; ++i)
    ticks[i] = CheckBoxes[i]->isChecked();
  return ticks;
}

void TFrmErrorReport::BitBtn1Click() {
  if (m_submitting)
    return;
  const auto outcome = ErrorReportLogic::submit(m_XiaoTiHao, ticked(), Memo1->toPlainText(), m_dm,
                                                [this](bool busy) { setSubmitting(busy); });
  if (outcome == ErrorReportLogic::Outcome::Sent)
    done(QDialog::Accepted);
}

void TFrmErrorReport::setSubmitting(bool submitting) {
  if (submitting == m_submitting)
    return;
  m_submitting = submitting;
  BitBtn1->setEnabled(!submitting);
  BitBtn2->setEnabled(!submitting);
  if (submitting)
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QGuiApplication::restoreOverrideCursor();
}

void TFrmErrorReport::reject() {
  if (!m_submitting)
    QDialog::reject();
}

void TFrmErrorReport::closeEvent(QCloseEvent *event) {
  if (m_submitting)
    event->ignore();
  else
    QDialog::closeEvent(event);
}

void TFrmErrorReport::Open(int XiaoTiHao, TDataModule1 &dm, const ProgramDir &dir, QWidget *parent) {
  // One form at a time: the page can ask again while one is up (its own
  // event loop delivers the calls), and a second form would take the page
  // file of the first. The form up is modal: it stays in front as it is.
  static QPointer<TFrmErrorReport> open;
  if (open)
    return;
  const QString page = BuildFeedbackPage(XiaoTiHao, dm, dir);
  auto *form = new TFrmErrorReport(dm, XiaoTiHao, parent);
  open = form;
  form->WebBrowser1->navigate(page);
  execOwned(form);
}
