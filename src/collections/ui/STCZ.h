#pragma once
// TFrmSTCZ: the question search dialog (试题查找). Names in plain words: docs/NAMES.md
// "试题查找": the search text (page 查找内容) and the subjects' chapters to
// search (page 查找范围, all ticked at every opening). "开始查找" searches;
// a refused search says why and the dialog stays open. Found questions go to
// the result list (the favourites window in search mode); a paper chosen
// there becomes the dialog's request() — "试题查找" (kind 3) with the found
// text marked, which its command shows — and the dialog then closes with OK,
// paper or not. Cancel changes nothing: the paper on display keeps its kind
// and title.

#include "collections/QuestionSearch.h"
#include "app/PaperPresenter.h"
#include "app/ui/FrmBase.h"

#include <optional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

class TFrmSTCZ : public TFrmBase {
  Q_OBJECT
public:
  explicit TFrmSTCZ(AppContext &context, QWidget *parent = nullptr);

  QTabWidget *PageControl1 = nullptr;
  QWidget *TabSheet1 = nullptr;       // 查找内容
  QWidget *TabSheet2 = nullptr;       // 查找范围
  QLineEdit *LabeledEdit1 = nullptr;  // 要查找的内容
  QListWidget *CheckListBox1 = nullptr; // one item per scope node, its 编号 as data
  QPushButton *BitBtn1 = nullptr;     // 开始查找 (default)
  QPushButton *BitBtn2 = nullptr;     // 取消

  // "开始查找". Throws what the bank throws; once the result list has opened
  // the dialog closes with OK even then.
  void Search();
  // The paper of the questions the learner took from the result list (kind
  // 3, marking the text searched for); empty when none was taken. Its
  // command shows it.
  const std::optional<PaperRequest> &request() const { return m_request; }

private:
  AppContext &m_context;
  std::optional<PaperRequest> m_request;
  QuestionSearch m_search;
};
