#pragma once
// TFrmWGZX: the past tests window (温故知新). Names in plain words: docs/NAMES.md
// "温故知新": the stored tests, the questions of one test, and a new paper of
// all of them or of one question. The dialog is a shell over PastTests.

#include "app/ui/FrmBase.h"
#include "review/PastTests.h"

#include <memory>

class QPushButton;
class QTableView;
class RowsTableModel;
class TDataModule1;

class TFrmWGZX : public TFrmBase {
  Q_OBJECT
public:
  explicit TFrmWGZX(TDataModule1 &dm, QWidget *parent = nullptr);
  ~TFrmWGZX() override;

  QTableView *StringGrid1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // 显示全部测试
  QPushButton *BitBtn2 = nullptr; // 显示试题 / 生成试卷
  QPushButton *BitBtn3 = nullptr; // 关闭

  const PastTests &logic() const { return m_logic; }
  // The paper chosen when the dialog ended with OK.
  const std::vector<TXiaoTi> &paper() const { return m_paper; }
  int buttonTag() const { return m_buttonTag; }

private:
  void refill();
  void activate(PastTests::Control control);
  int selectedRow() const;

  PastTests m_logic;
  RowsTableModel *m_model = nullptr;
  int m_buttonTag = 0;
  std::vector<TXiaoTi> m_paper;
};
