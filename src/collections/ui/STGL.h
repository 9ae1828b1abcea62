#pragma once
// TFrmSTGL: the question filter dialog (试题过滤). Names in plain words: docs/NAMES.md
// "试题过滤": the range (全部试题, 收藏夹, 错题重做) and the question types
// (all ticked). 确定 narrows a copy of the paper it was given and closes
// with OK only when something is left; a refusal says why and stays open.
// The paper on display is rebuilt by the command, from paper(), after OK.

#include "collections/QuestionFilter.h"
#include "render/Global.h"
#include "app/ui/FrmBase.h"

#include <vector>

class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;
struct AppContext;

class TFrmSTGL : public TFrmBase {
  Q_OBJECT
public:
  TFrmSTGL(TDataModule1 &dm, std::vector<TXiaoTi> paper, QWidget *parent = nullptr);

  QGroupBox *RadioGroup1 = nullptr; // 试题范围
  std::vector<QRadioButton *> ranges; // in FilterRange order
  QListWidget *CheckListBox1 = nullptr; // 选择题型
  QPushButton *BitBtn1 = nullptr; // 确定
  QPushButton *BitBtn2 = nullptr; // 取消

  FilterRange range() const;
  QStringList tickedTypes() const;
  // The narrowed paper once the dialog closed with OK.
  const std::vector<TXiaoTi> &paper() const { return m_paper; }

  void apply();

private:
  TDataModule1 &m_dm;
  std::vector<TXiaoTi> m_source; // the paper on display, never changed here
  std::vector<TXiaoTi> m_paper;
};

// The question filter command: without a paper on display the no-paper
// message; otherwise asks first, then the dialog; after OK the narrowed
// paper is shown as "试题过滤" with the kind, chapter and redo target of
// the paper on display. Cancel changes nothing.
void ActSTGL(AppContext &context);
