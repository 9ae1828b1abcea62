#pragma once
// TFrmShowTestResult: the test result dialog (测试结果). Names in plain words: docs/NAMES.md
// The result report: a small modal dialog that shows the graded paper by
// question type (PaperState::typeResults) and, whenever it closes, offers to keep the
// outcome in the test history.

#include "exam/TestReport.h"
#include "render/HtmlView.h"
#include "app/ui/FrmBase.h"

#include <QDialog>
#include <memory>

class HtmlView;
class QPushButton;
class QWidget;
class TDataModule1;
struct PaperState;

class TFrmShowTestResult : public TFrmBase {
  Q_OBJECT
public:
  // Writes the report of paper.typeResults into a new HTML view made by
  // `makeView` (default: the real web view), which the dialog owns. `paper`
  // outlives the dialog.
  explicit TFrmShowTestResult(const PaperState &paper, TDataModule1 &dm, QWidget *parent = nullptr,
                              const HtmlViewFactory &makeView = {});
  ~TFrmShowTestResult() override;

  const TestTotals &totals() const { return m_totals; }
  HtmlView &view() { return *m_view; }
  QPushButton *closeButton() const { return BitBtn1; }

  // Every close (the button, the close box, Escape) stores the outcome first.
  void done(int result) override;

private:
  void writeReport();

  const PaperState &m_paper;
  TDataModule1 &m_dm;
  HtmlView *m_view = nullptr;
  TestTotals m_totals;
  QWidget *Panel1 = nullptr;
  QPushButton *BitBtn1 = nullptr;
};
