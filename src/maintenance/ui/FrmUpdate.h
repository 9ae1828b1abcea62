#pragma once
// TFrmUpdate: the online update dialog (在线升级). Names in plain words: docs/NAMES.md
// "在线升级": the update's lines in a text box, a progress bar and "关闭".
// The work starts one second after the dialog opens and runs without
// blocking the window. "关闭", Escape and the close box while it works stop
// it (UpdateJob::cancel: the old bank and files stay) and close the dialog
// as soon as it has stopped, which is at once during a transfer and within
// a moment during an unpacking.

#include "app/ui/FrmBase.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class UpdateJob;

class TFrmUpdate : public TFrmBase {
  Q_OBJECT
public:
  static constexpr int CloseResult = 11; // the modal result of "关闭"

  TFrmUpdate(AppContext &context, QWidget *parent = nullptr);
  ~TFrmUpdate() override;

  QPlainTextEdit *Memo1 = nullptr;
  QProgressBar *ProgressBar1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // 关闭
  QTimer *Timer1 = nullptr;       // one second, then the work starts
  bool updateStatus = false;      // the whole update ran to its end

  UpdateJob &job() { return *m_job; }

  void reject() override;

private:
  void requestClose();
  UpdateJob *m_job = nullptr;
  bool m_closeWanted = false;
};
