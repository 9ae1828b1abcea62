#include "maintenance/ui/DBBackup.h"
#include "common/AppError.h"
#include "common/Dialogs.h"
#include "maintenance/BackupRestore.h"
#include "app/AppContext.h"
#include "store/BankWorker.h"
#include "store/PendingRestore.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <exception>
#include <memory>

namespace {

struct Parts {
  QLineEdit *edit;
  QPushButton *browse, *ok, *cancel;
  QTextEdit *text;
  QVBoxLayout *layout;
};

// The shared shape: a labelled path with "浏览", the explanation, the buttons.
Parts buildForm(QDialog *form, const QString &label, const QStringList &lines) {
  Parts p{};
  form->resize(560, 300);
  p.layout = new QVBoxLayout(form);
  auto *row = new QHBoxLayout;
  auto *caption = new QLabel(label, form);
  p.edit = new QLineEdit(form);
  p.edit->setObjectName(QStringLiteral("LabeledEdit1"));
  caption->setBuddy(p.edit);
  p.browse = new QPushButton(QStringLiteral("浏览"), form);
  p.browse->setObjectName(QStringLiteral("BitBtn1"));
  p.browse->setAutoDefault(false);
  row->addWidget(caption);
  row->addWidget(p.edit, 1);
  row->addWidget(p.browse);
  p.layout->addLayout(row);
  p.text = new QTextEdit(form);
  p.text->setObjectName(QStringLiteral("RichEdit1"));
  p.text->setReadOnly(true);
  p.text->setFocusPolicy(Qt::NoFocus);
  p.text->setPlainText(lines.join(QLatin1Char('\n')));
  p.layout->addWidget(p.text, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  p.ok = new QPushButton(QStringLiteral("确定"), form);
  p.ok->setObjectName(QStringLiteral("BitBtn2"));
  p.ok->setDefault(true);
  p.cancel = new QPushButton(QStringLiteral("取消"), form);
  p.cancel->setObjectName(QStringLiteral("BitBtn3"));
  buttons->addWidget(p.ok);
  buttons->addWidget(p.cancel);
  p.layout->addLayout(buttons);
  QObject::connect(p.cancel, &QPushButton::clicked, form, &QDialog::reject);
  return p;
}

// Copies take a moment on a large bank: the window shows it is working.
template <class F> void busy(QWidget *w, F work) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  w->setEnabled(false);
  struct Restore {
    QWidget *w;
    ~Restore() {
      w->setEnabled(true);
      QApplication::restoreOverrideCursor();
    }
  } restore{w};
  work();
}

} // namespace

TFrmDBBackup::TFrmDBBackup(TDataModule1 &dm, QWidget *parent) : TFrmBase(QStringLiteral("数据备份"), parent), m_dm(dm) {
  setObjectName(QStringLiteral("FrmDBBackup"));
  const Parts p = buildForm(this, QStringLiteral("数据文件备份到"),
                            {QStringLiteral("    说明："),
                             QStringLiteral("    1、数据备份——可以保留原来的答题历史记录等重要数据。"),
                             QStringLiteral("    2、将备份的数据，还原到另外一台电脑的同一科目上，这样就可以数据共享。"),
                             QStringLiteral("    3、重装系统或者重新安装本软件前，请进行数据备份操作，重新安装本软件后，"),
                             QStringLiteral("再进行数据还原操作。")});
  LabeledEdit1 = p.edit;
  BitBtn1 = p.browse;
  RichEdit1 = p.text;
  BitBtn2 = p.ok;
  BitBtn3 = p.cancel;
  LabeledEdit1->setPlaceholderText(ProposedBackupPath(QDate::currentDate()));
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    const QString start = LabeledEdit1->text().isEmpty() ? LabeledEdit1->placeholderText() : LabeledEdit1->text();
    const QString chosen = dialogs().saveFileName(QStringLiteral("数据备份"), start, BackupText::Filter,
                                                  QStringLiteral("db"));
    if (!chosen.isEmpty())
      LabeledEdit1->setText(chosen);
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { backup(); });
}

void TFrmDBBackup::backup() {
  const QString target = LabeledEdit1->text().trimmed();
  if (!HasBankExtension(target)) {
    dialogs().warning(BackupText::BadName, BackupText::BadNameCaption);
    return;
  }
  try {
    busy(this, [&] { BackupBank(m_dm, target); });
  } catch (const AppError &e) {
    dialogs().warning(e.message(), BackupText::ErrorCaption);
    return;
  }
  dialogs().information(BackupText::BackedUp, BackupText::DoneCaption);
  accept();
}

TFrmDBRestore::TFrmDBRestore(AppContext &context, QWidget *parent)
    : TFrmBase(QStringLiteral("数据还原"), parent), m_context(context) {
  const ProgramDir &dir = context.programDir;
  setObjectName(QStringLiteral("FrmDBRestore"));
  const Parts p = buildForm(this, QStringLiteral("要还原的数据文件"),
                            {QStringLiteral("    说明："),
                             QStringLiteral("    1、数据还原——可以恢复原来的答题历史记录等重要数据。"),
                             QStringLiteral("    2、将备份的数据，还原到电脑的同一科目上，这样就可以数据共享。"),
                             QStringLiteral("    3、如果要进行数据还原操作，将覆盖当前的数据文件，而且不能恢复。")});
  LabeledEdit1 = p.edit;
  BitBtn1 = p.browse;
  RichEdit1 = p.text;
  BitBtn2 = p.ok;
  BitBtn3 = p.cancel;
  const std::vector<BackupEntry> backups = ::ListBackups(dir);
  if (!backups.empty()) {
    auto *label = new QLabel(QStringLiteral("程序保存的备份（最新的在前）："), this);
    ListBackups = new QListWidget(this);
    ListBackups->setObjectName(QStringLiteral("ListBackups"));
    for (const BackupEntry &b : backups) {
      auto *item = new QListWidgetItem(QFileInfo(b.path).fileName() + QStringLiteral("    ") +
                                           b.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                       ListBackups);
      item->setData(Qt::UserRole, b.path);
    }
    p.layout->insertWidget(1, label);
    p.layout->insertWidget(2, ListBackups, 1);
    connect(ListBackups, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
      if (item)
        LabeledEdit1->setText(item->data(Qt::UserRole).toString());
    });
  }
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    const QString chosen = dialogs().openFileName(QStringLiteral("数据还原"), LabeledEdit1->text(), BackupText::Filter);
    if (!chosen.isEmpty())
      LabeledEdit1->setText(chosen);
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { restore(); });
}

void TFrmDBRestore::restore() {
  const QString source = LabeledEdit1->text().trimmed();
  if (!HasBankExtension(source)) {
    dialogs().warning(BackupText::BadName, BackupText::BadNameCaption);
    return;
  }
  QString kept;
  try {
    // The check and the copy read the whole file: on a worker, while the
    // window goes on painting.
    busy(this, [&] {
      const ProgramDir dir = m_context.programDir;
      QEventLoop loop;
      // The copy works on files only: a worker without the connection.
      BankWorker worker(nullptr, [source, dir] { StageRestore(source, dir); });
      connect(&worker, &BankWorker::finished, &loop, &QEventLoop::quit);
      worker.start();
      loop.exec();
      worker.wait();
      if (worker.error())
        std::rethrow_exception(worker.error());
    });
    // The file is a bank of ours: the learner decides before anything of
    // the bank in use changes.
    if (!dialogs().question(BackupText::ConfirmRestore, BackupText::ConfirmCaption)) {
      QFile::remove(PendingRestorePath(m_context.programDir.root()));
      return;
    }
    // The bank is replaced on this thread, which holds the connection.
    busy(this, [&] { kept = RestoreNow(m_context); });
  } catch (const AppError &e) {
    dialogs().warning(e.message(), BackupText::ErrorCaption);
    return;
  }
  dialogs().information(BackupText::Restored + QLatin1Char('\n') + BackupText::KeptAt + kept,
                        BackupText::DoneCaption);
  accept();
}
