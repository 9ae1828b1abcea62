#pragma once
// TFrmUISet: the display settings dialog (考试界面设置). Names in plain words: docs/NAMES.md
// "考试界面设置": font, size, colours and line spacing of the pages, with a
// live preview. The dialog edits DisplaySettings in memory as the learner
// changes a control; 确定 stores the five values in one transaction and
// rewrites the style sheet; 取消 puts every value it changed back.

#include "render/HtmlView.h"
#include "app/ui/FrmBase.h"
#include "store/SystemParameters.h"

class QComboBox;
class QPushButton;
class QSpinBox;
class QTimer;
class TDataModule1;

class TFrmUISet : public TFrmBase {
  Q_OBJECT
public:
  // `fonts`: the names the font list offers.
  TFrmUISet(TDataModule1 &dm, const ProgramDir &dir, const QStringList &fonts, const HtmlViewFactory &makeView,
            QWidget *parent = nullptr);

  HtmlView *WebBrowser1 = nullptr;
  QComboBox *ComboBox1 = nullptr; // 字体
  QSpinBox *SpinEdit2 = nullptr;  // 字号
  QSpinBox *SpinEdit1 = nullptr;  // 行间距
  QPushButton *Panel2 = nullptr;  // 字体颜色
  QPushButton *Panel3 = nullptr;  // 背景色
  QPushButton *BitBtn1 = nullptr; // 恢复默认值
  QPushButton *BitBtn2 = nullptr; // 确定
  QPushButton *BitBtn3 = nullptr; // 取消
  QPushButton *BitBtn4 = nullptr; // 夜间

  void done(int result) override;
  // Rebuilds the preview now (changes coalesce into one rebuild otherwise).
  void rebuildPreview();

private:
  void spacingRefused();
  void showSwatches();
  void pickColour(bool text);
  void confirm();
  void schedulePreview();

  TDataModule1 &m_dm;
  ProgramDir m_dir;
  TDisplaySettings m_atOpen; // what 取消 puts back
  QTimer *m_previewTimer = nullptr;
  bool m_spacingRefused = false; // "请输入正确的行间距值!" is on its way
};

// Opens the dialog as both its openers do; true when it closed with OK (the
// caller then announces settingsChanged).
bool OpenDisplaySettings(TDataModule1 &dm, const ProgramDir &dir, const HtmlViewFactory &makeView, QWidget *parent);
