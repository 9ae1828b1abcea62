#pragma once
// TFrmMLKCPre: "please wait" while the mock exam reads the bank (读取数据). Names in plain words: docs/NAMES.md
// "读取数据": stands, centred on the screen, while the mock exam's first load
// reads the bank on a worker thread; its bar moves every half second.

#include "exam/MockExamSetup.h"
#include "exam/ui/BankReadDialog.h"

#include <memory>

class TFrmMLKCPre : public BankReadDialog {
  Q_OBJECT
public:
  TFrmMLKCPre(TADOConnection &connection, QWidget *parent);

  // What was read, once the dialog was accepted.
  SetupRead &load() { return *m_load; }

protected:
  void showEvent(QShowEvent *e) override;

private:
  TFrmMLKCPre(TADOConnection &connection, QWidget *parent, std::shared_ptr<SetupRead> load);
  // Shared with the read, which may outlive the dialog's members.
  std::shared_ptr<SetupRead> m_load;
};
