#pragma once
// TFrmSTCZ: the question search dialog (试题查找). Names in plain words: docs/NAMES.md
// "试题查找": the search text (page 查找内容) and the subjects' chapters to
// search (page 查找范围, all ticked at every opening). "开始查找" searches;
// a refused search says why and the dialog stays open. Found questions go to
// the result list (the favourites window in search mode); a paper chosen
// there is built and shown from here as "试题查找" (kind 3) with the found
// text marked, and the dialog then closes with OK, paper or not. Cancel
// changes nothing: the paper on display keeps its kind and title.

#include "collections/QuestionSearch.h"
#include "app/ui/FrmBase.h"

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

  // "开始查找". Throws what the bank or the presenter throws; once the
  // result list has opened the dialog closes with OK even then.
  void Search();

private:
  AppContext &m_context;
  QuestionSearch m_search;
};
