#include "exam/ui/MLKC.h"
#include "common/ErrorHandler.h"
#include "store/BankWorker.h"
#include "exam/ui/CreatePaper.h"
#include "exam/ui/MLKCPre.h"
#include "store/DM.h"

#include <QAction>
#include <QButtonGroup>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

TFrmMLKC::TFrmMLKC(TDataModule1 &dm, QWidget *parent)
    : TFrmBase(MockExamText::Caption, parent), m_dm(dm), m_setup(dm.ADOConnection1), m_random(&ExamRandom()) {
  setObjectName(QStringLiteral("FrmMLKC"));
  buildUi();
}

TFrmMLKC::~TFrmMLKC() { delete m_worker; }

void TFrmMLKC::buildUi() {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->setSpacing(10);
  auto *columns = new QHBoxLayout;
  columns->setSpacing(12);
  outer->addLayout(columns, 1);

  // Left: where the questions come from.
  auto *left = new QVBoxLayout;
  left->setSpacing(8);
  columns->addLayout(left, 1);
  RadioGroup1 = new QGroupBox(QStringLiteral("试题范围"), this);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  auto *radios = new QHBoxLayout(RadioGroup1);
  RangeButtons = new QButtonGroup(this);
  const QStringList ranges = {QStringLiteral("全部试题"), QStringLiteral("收藏试题"), QStringLiteral("错题重做")};
  for (int i = 0; i < ranges.size(); ++i) {
    auto *b = new QRadioButton(ranges[i], RadioGroup1);
    b->setObjectName(QStringLiteral("RadioRange%1").arg(i));
    RangeButtons->addButton(b, i);
    radios->addWidget(b);
  }
  RangeButtons->button(0)->setChecked(true);
  left->addWidget(RadioGroup1);

  const auto listBox = [this, left](const QString &title, const QString &name, int stretch) {
    auto *box = new QGroupBox(title, this);
    auto *l = new QVBoxLayout(box);
    auto *list = new QListWidget(box);
    list->setObjectName(name);
    l->addWidget(list);
    left->addWidget(box, stretch);
    return list;
  };
  CheckListBoxSTLY = listBox(QStringLiteral("试题来源"), QStringLiteral("CheckListBoxSTLY"), 2);
  CheckListBoxSTKM = listBox(QStringLiteral("试题科目"), QStringLiteral("CheckListBoxSTKM"), 3);

  // Right: how many questions, how long.
  auto *countBox = new QGroupBox(QStringLiteral("设置题量"), this);
  auto *right = new QVBoxLayout(countBox);
  ScrollBox1 = new QScrollArea(countBox);
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  m_rowArea = new QWidget;
  m_rowArea->resize(kEditLeft + kEditWidth + 16, kRowTop);
  ScrollBox1->setWidget(m_rowArea);
  right->addWidget(ScrollBox1, 1);

  auto *timeRow = new QHBoxLayout;
  auto *timeLabel = new QLabel(QStringLiteral("考试时间"), countBox);
  SpinEditTime = new QSpinBox(countBox);
  SpinEditTime->setObjectName(QStringLiteral("SpinEditTime"));
  SpinEditTime->setRange(0, kMaxExamMinutes);
  SpinEditTime->setSuffix(QStringLiteral(" 分钟"));
  SpinEditTime->setSpecialValueText(QStringLiteral("不限时"));
  SpinEditTime->setToolTip(QStringLiteral("到时自动交卷；0 为不限时"));
  timeLabel->setBuddy(SpinEditTime);
  timeRow->addWidget(timeLabel);
  timeRow->addWidget(SpinEditTime, 1);
  right->addLayout(timeRow);
  LabelSummary = new QLabel(countBox);
  LabelSummary->setObjectName(QStringLiteral("LabelSummary"));
  LabelSummary->setWordWrap(true); // a range of full marks comes with its reason
  right->addWidget(LabelSummary);
  countBox->setFixedWidth(230);
  columns->addWidget(countBox);

  std::tie(BitBtn1, BitBtn2) = addButtonRow(outer, QStringLiteral("开始考试"));
  resize(560, 440);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { RunCommand([this] { start(); }); });

  const auto step = [this](const char *name, const QString &caption, SetupStep from) {
    auto *a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, [this, from] { queue([from] { return from; }); });
    return a;
  };
  ActReadKM = step("ActReadKM", QStringLiteral("读取试题科目"), SetupStep::ReadKM);
  ActReadZJ = step("ActReadZJ", QStringLiteral("读取试题章节"), SetupStep::ReadZJ);
  ActGetAllXiaoTiHao = step("ActGetAllXiaoTiHao", QStringLiteral("取得全部小题编号"), SetupStep::GetAllXiaoTiHao);
  ActSetTXTL = step("ActSetTXTL", QStringLiteral("生成题型题量选择项"), SetupStep::SetTXTL);

  // The event wiring: the range and a subject re-read the chapters, a
  // chapter the candidates; the count rows follow either way.
  connect(RangeButtons, &QButtonGroup::idClicked, this, [this](int id) {
    const auto r = QuestionRange(id);
    if (r != m_setup.range)
      queue([this, r] { return m_setup.chooseRange(r); });
  });
  const auto wireTicks = [this](QListWidget *list, SetupStep (MockExamSetup::*tick)(int, bool)) {
    connect(list, &QListWidget::itemChanged, this, [this, list, tick](QListWidgetItem *item) {
      const int row = list->row(item);
      const bool ticked = item->checkState() == Qt::Checked;
      queue([this, list, tick, row, ticked] {
        // The list may have been filled anew since: it shows the tick made.
        if (QListWidgetItem *now = list->item(row)) {
          const QSignalBlocker block(list);
          now->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        }
        return (m_setup.*tick)(row, ticked);
      });
    });
  };
  wireTicks(CheckListBoxSTLY, &MockExamSetup::tickSubject);
  wireTicks(CheckListBoxSTKM, &MockExamSetup::tickChapter);
}

bool TFrmMLKC::load() {
  std::optional<SetupRead> read;
  std::exception_ptr error;
  execOwned(new TFrmMLKCPre(m_dm.ADOConnection1, parentWidget()), [&](TFrmMLKCPre &pre) {
    error = pre.error();
    if (pre.result() == QDialog::Accepted)
      read = std::move(pre.load());
  });
  // An engine error: one message; neither dialog stays.
  if (error) {
    RunCommand([&] { std::rethrow_exception(error); });
    return false;
  }
  if (!read)
    return false;
  m_setup.apply(std::move(*read));
  SpinEditTime->setValue(m_setup.examMinutes);
  showSubjects();
  showChapters();
  showRows();
  return true;
}

int TFrmMLKC::examMinutes() const { return SpinEditTime->value(); }

void TFrmMLKC::queue(std::function<SetupStep()> change) {
  m_changes.push_back(std::move(change));
  if (!m_worker)
    nextChange();
}

void TFrmMLKC::nextChange() {
  if (m_worker)
    return;
  if (m_changes.empty()) {
    if (std::exchange(m_startWhenReady, false))
      RunCommand([this] { start(); });
    return;
  }
  const SetupStep from = m_changes.front()();
  m_changes.pop_front();
  m_read = std::make_shared<SetupRead>();
  m_worker = new BankWorker(
      &m_dm.ADOConnection1,
      [&connection = m_dm.ADOConnection1, into = m_read, choice = m_setup.choice(), from] {
        *into = MockExamSetup::read(connection, choice, from);
      },
      this);
  connect(m_worker, &BankWorker::finished, this, &TFrmMLKC::readDone);
  try {
    m_worker->start();
  } catch (...) {
    delete std::exchange(m_worker, nullptr);
    m_changes.clear();
    m_setup.dropCandidates();
    showRows();
    throw;
  }
}

void TFrmMLKC::readDone() {
  // The worker stays set while the outcome is applied: a change made in the
  // meantime (under a message box) waits its turn.
  const std::shared_ptr<SetupRead> read = std::move(m_read);
  const std::exception_ptr error = m_worker->error();
  if (error) {
    m_setup.dropCandidates();
    showRows();
    RunCommand([&] { std::rethrow_exception(error); });
  } else {
    const SetupStep from = read->from;
    m_setup.apply(std::move(*read));
    if (from <= SetupStep::ReadKM)
      showSubjects();
    if (from <= SetupStep::ReadZJ)
      showChapters();
    showRows();
  }
  std::exchange(m_worker, nullptr)->deleteLater();
  nextChange();
}

void TFrmMLKC::fill(QListWidget *list, const std::vector<ExamCategory> &items) {
  // Adding a checkable item reports a change: none of them is the learner's.
  const QSignalBlocker block(list);
  list->clear();
  for (const ExamCategory &c : items) {
    auto *item = new QListWidgetItem(c.name, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(c.ticked ? Qt::Checked : Qt::Unchecked);
  }
}

void TFrmMLKC::showSubjects() { fill(CheckListBoxSTLY, m_setup.subjects); }
void TFrmMLKC::showChapters() { fill(CheckListBoxSTKM, m_setup.chapters); }

void TFrmMLKC::showRows() {
  for (QLabel *l : TypeCountLabels)
    delete l;
  for (QSpinBox *e : TypeCountEdits)
    delete e;
  TypeCountLabels.clear();
  TypeCountEdits.clear();
  int top = kRowTop;
  for (std::size_t i = 0; i < m_setup.rows.size(); ++i, top += kRowStep) {
    const CountRow &row = m_setup.rows[i];
    auto *label = new QLabel(m_rowArea);
    label->setGeometry(kLabelLeft, top, kLabelWidth, kRowStep - 12);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setText(label->fontMetrics().elidedText(row.label, Qt::ElideRight, kLabelWidth));
    label->setToolTip(row.label);
    auto *edit = new QSpinBox(m_rowArea);
    edit->setObjectName(QStringLiteral("TypeCountEdit%1").arg(i));
    edit->setGeometry(kEditLeft, top - 4, kEditWidth, kRowStep - 4);
    edit->setRange(0, row.maximum);
    edit->setValue(row.value);
    edit->setToolTip(QStringLiteral("最多 %1 题").arg(row.maximum));
    label->setBuddy(edit);
    connect(edit, &QSpinBox::valueChanged, this, [this, i](int value) {
      m_setup.setCount(int(i), value);
      showSummary();
    });
    label->show();
    edit->show();
    TypeCountLabels.push_back(label);
    TypeCountEdits.push_back(edit);
  }
  m_rowArea->resize(kEditLeft + kEditWidth + 16, top);
  showSummary();
}

void TFrmMLKC::showSummary() { LabelSummary->setText(SummaryText(m_setup.summary())); }

void TFrmMLKC::start() {
  // The counts shown may be about to change: start once they have.
  if (busy()) {
    m_startWhenReady = true;
    return;
  }
  if (!m_setup.hasCounts()) {
    dialogs().information(MockExamText::NoCounts, MockExamText::NoCountsCaption);
    return;
  }
  std::vector<ExamCandidate> fresh;
  std::exception_ptr error;
  bool read = false;
  execOwned(new TFrmCreatePaper(m_setup, m_dm.ADOConnection1, this), [&](TFrmCreatePaper &gen) {
    error = gen.error();
    read = gen.result() == QDialog::Accepted;
    fresh = std::move(gen.candidates());
  });
  // An engine error: one message (the general handler's), the dialog stays
  // and the paper on display is untouched.
  if (error)
    std::rethrow_exception(error);
  if (!read)
    return;
  PaperRequest request = m_setup.drawRequest(std::move(fresh), *m_random, QDateTime::currentDateTime());
  if (request.paper.empty()) {
    dialogs().information(MockExamText::NoQuestions, MockExamText::NoQuestionsCaption);
    return;
  }
  m_request = std::move(request);
  accept();
}
