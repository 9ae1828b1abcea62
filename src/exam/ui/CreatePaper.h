#pragma once
// TFrmCreatePaper: "please wait" while a mock exam paper is drawn (生成试卷). Names in plain words: docs/NAMES.md
// "生成试卷": stands while a mock exam's candidates are read again on a
// worker thread for the random paper; a busy bar.

#include "exam/MockExamSetup.h"
#include "exam/ui/BankReadDialog.h"

#include <memory>

class TFrmCreatePaper : public BankReadDialog {
  Q_OBJECT
public:
  TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent);

  // The candidates read, once the dialog was accepted.
  std::vector<ExamCandidate> &candidates() { return *m_candidates; }

private:
  TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent,
                  std::shared_ptr<std::vector<ExamCandidate>> candidates);
  // Shared with the read, which may outlive the dialog's members.
  std::shared_ptr<std::vector<ExamCandidate>> m_candidates;
};
