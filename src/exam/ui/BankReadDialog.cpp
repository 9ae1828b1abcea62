#include "exam/ui/BankReadDialog.h"
#include "store/BankWorker.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

BankReadDialog::BankReadDialog(const QString &caption, const QString &text, TADOConnection &connection,
                               std::function<void()> read, QWidget *parent)
    : TFrmBase(caption, parent) {
  // No close box: the dialog goes when the work is done.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 18);
  layout->setSpacing(10);
  Label1 = new QLabel(text, this);
  Label1->setObjectName(QStringLiteral("Label1"));
  layout->addWidget(Label1);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setFixedHeight(16);
  layout->addWidget(ProgressBar1);
  setFixedSize(320, 90);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  m_worker = new BankWorker(&connection, std::move(read), this);
  connect(m_worker, &BankWorker::finished, this, &BankReadDialog::finished);
}

BankReadDialog::~BankReadDialog() = default;

void BankReadDialog::showEvent(QShowEvent *e) {
  TFrmBase::showEvent(e);
  if (m_started)
    return;
  m_started = true;
  Timer1->start();
  try {
    m_worker->start();
  } catch (...) {
    m_error = std::current_exception();
    m_done = true;
    QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
  }
}

void BankReadDialog::finished() {
  m_done = true;
  Timer1->stop();
  m_error = m_worker->error();
  done(m_error ? QDialog::Rejected : QDialog::Accepted);
}

void BankReadDialog::reject() {
  if (m_started && !m_done)
    return;
  TFrmBase::reject();
}
