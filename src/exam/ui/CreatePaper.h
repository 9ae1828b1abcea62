#pragma once
// "生成试卷": stands while a mock exam's candidates are read again on a
// worker thread for the random paper; a busy bar.

#include "exam/MockExamSetup.h"
#include "exam/ui/BankReadDialog.h"

class TFrmCreatePaper : public BankReadDialog {
  Q_OBJECT
public:
  TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent);

  // The candidates read, once the dialog was accepted.
  std::vector<ExamCandidate> candidates;
};
