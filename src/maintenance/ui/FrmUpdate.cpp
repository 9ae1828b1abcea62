#include "maintenance/ui/FrmUpdate.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateJob.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

TFrmUpdate::TFrmUpdate(AppContext &context, QWidget *parent) : TFrmBase(UpdateText::Caption, parent) {
  setObjectName(QStringLiteral("FrmUpdate"));
  resize(480, 320);
  auto *layout = new QVBoxLayout(this);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  layout->addWidget(Memo1, 1);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 1000);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  layout->addWidget(ProgressBar1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  BitBtn1 = new QPushButton(QStringLiteral("关闭"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  buttons->addWidget(BitBtn1);
  layout->addLayout(buttons);
  connect(BitBtn1, &QPushButton::clicked, this, &TFrmUpdate::requestClose);

  m_job = new UpdateJob(context, this);
  connect(m_job, &UpdateJob::line, this, [this](const QString &text) { Memo1->appendPlainText(text); });
  connect(m_job, &UpdateJob::progress, this, [this](qint64 value, qint64 maximum) {
    if (maximum <= 0) {
      ProgressBar1->setRange(0, 0); // busy: the size is not known
      return;
    }
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(int(std::clamp<qint64>(value * 1000 / maximum, 0, 1000)));
  });
  connect(m_job, &UpdateJob::ended, this, [this](bool updated) {
    updateStatus = updated;
    if (m_closeWanted)
      done(CloseResult);
  });

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] {
    Timer1->stop();
    m_job->start();
  });
  Timer1->start();
}

TFrmUpdate::~TFrmUpdate() = default;

// Closing stops the work: asked for while it runs, the dialog closes as
// soon as the work has stopped (its last line says so).
void TFrmUpdate::requestClose() {
  if (m_job->running()) {
    m_closeWanted = true;
    m_job->cancel();
    return;
  }
  done(CloseResult);
}

// Escape and the close box come here too (QDialog::closeEvent).
void TFrmUpdate::reject() { requestClose(); }
