#pragma once
// TFrmJMSZ: the score dialog (软件设置). Names in plain words: docs/NAMES.md
// "软件设置": the score of each question type (page 分数设置, three types a
// line with up/down arrows) and the way to the display settings (page
// 界面设置). 确定 stores every score in one transaction.

#include "render/HtmlView.h"
#include "app/ui/FrmBase.h"
#include "settings/Scores.h"

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TDataModule1;

class TFrmJMSZ : public TFrmBase {
  Q_OBJECT
public:
  // `openDisplay` runs for "答题界面设置".
  TFrmJMSZ(TDataModule1 &dm, std::function<void()> openDisplay, QWidget *parent = nullptr);

  QTabWidget *PageControl1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // 确定
  QPushButton *BitBtn2 = nullptr; // 取消
  QPushButton *BitBtn3 = nullptr; // 答题界面设置
  std::vector<QLabel *> labels;
  std::vector<QLineEdit *> edits;
  std::vector<QPushButton *> ups, downs;

  void ActUP(int i);
  void ActDown(int i);

private:
  void ActChange(int i);
  void confirm();

  TDataModule1 &m_dm;
  std::vector<TypeScore> m_rows;
};
