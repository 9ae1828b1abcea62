#pragma once
// TFrmDBBackup, TFrmDBRestore: the bank backup and restore dialogs (数据备份, 数据还原). Names in plain words: docs/NAMES.md
// "数据备份" and "数据还原": a path field with "浏览", the explanation, "确定"
// and "取消". The restore dialog also lists the backups the program keeps.

#include "app/ui/FrmBase.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;
class TDataModule1;
struct AppContext;

class TFrmDBBackup : public TFrmBase {
  Q_OBJECT
public:
  TFrmDBBackup(TDataModule1 &dm, QWidget *parent = nullptr);

  QLineEdit *LabeledEdit1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // 浏览
  QTextEdit *RichEdit1 = nullptr;
  QPushButton *BitBtn2 = nullptr; // 确定
  QPushButton *BitBtn3 = nullptr; // 取消

private:
  void backup();
  TDataModule1 &m_dm;
};

class TFrmDBRestore : public TFrmBase {
  Q_OBJECT
public:
  // A confirmed restore puts the chosen bank in place at once (the bank it
  // replaces is kept in the program's backup folder) and the program goes
  // on with it: nothing done afterwards is lost at the next start.
  TFrmDBRestore(AppContext &context, QWidget *parent = nullptr);

  QLineEdit *LabeledEdit1 = nullptr;
  QPushButton *BitBtn1 = nullptr; // 浏览
  QListWidget *ListBackups = nullptr; // the program's own backups, newest first
  QTextEdit *RichEdit1 = nullptr;
  QPushButton *BitBtn2 = nullptr; // 确定
  QPushButton *BitBtn3 = nullptr; // 取消

private:
  void restore();
  AppContext &m_context;
};
