#pragma once
// TFrmErrorReport: the question fault report dialog (错题反馈). Names in plain words: docs/NAMES.md
// The error feedback form: the reported sub-question on a page of its own,
// ten ready-made fault descriptions, a free text, and "确定" to send the
// report to the vendor's feedback database (ErrorReportLogic, FeedbackStore).

#include "feedback/ErrorReportLogic.h"

#include "app/ui/FrmBase.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class ProgramDir;
class TDataModule1;
class WebHtmlView;

class TFrmErrorReport : public TFrmBase {
  Q_OBJECT
public:
  // A report on sub-question `XiaoTiHao` (below 1: none, sending fails).
  explicit TFrmErrorReport(TDataModule1 &dm, int XiaoTiHao = 0, QWidget *parent = nullptr);
  int reportedQuestion() const { return m_XiaoTiHao; }
  ~TFrmErrorReport() override;

  WebHtmlView *WebBrowser1 = nullptr; // shows the page the opener built
  QGroupBox *GroupBox1 = nullptr;     // "其他错误反馈"
  QGroupBox *GroupBox2 = nullptr;     // "错误的附加说明"
  std::array<QCheckBox *, ErrorReportLogic::BoxCount> CheckBoxes{}; // CheckBox1 .. CheckBox10
  QPlainTextEdit *Memo1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // "确定", default
  QPushButton *BitBtn2 = nullptr; // "关闭"

  // Error feedback for one sub-question: the question alone (or its whole
  // case question) on a page of its own (css/Feedback.html), the form shown
  // modally and freed. The paper on display and its state stay as they were.
  // While a form opened here is up, a further call does nothing: one form
  // at a time.
  static void Open(int XiaoTiHao, TDataModule1 &dm, const ProgramDir &dir, QWidget *parent);

  ErrorReportLogic::Ticks ticked() const;
  // True while a report is on its way; the form cannot be closed then.
  bool isSubmitting() const { return m_submitting; }

public slots:
  // Sends the report; closes the form with Accepted when it arrived.
  void BitBtn1Click();
  void reject() override;

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void setSubmitting(bool submitting);

  TDataModule1 &m_dm;
  int m_XiaoTiHao = 0;
  bool m_submitting = false;
};
