#pragma once
// TFrmMLKC: the mock exam setup dialog (模拟考场). Names in plain words: docs/NAMES.md
// "模拟考场": the mock exam's setup dialog. The learner picks the question
// range, the subjects and chapters and how many questions of each type the
// paper holds, and the time limit; "开始考试" draws the paper and ends the
// dialog with it, "取消" ends it with nothing. A thin shell over
// MockExamSetup: every change of the learner runs the setup's steps once, in
// the order of the changes, and shows their outcome. The steps read on a
// worker thread (the dialog keeps painting) and are applied here.

#include "exam/MockExamSetup.h"
#include "app/ui/FrmBase.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

class BankWorker;
class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;

class TFrmMLKC : public TFrmBase {
  Q_OBJECT
public:
  TFrmMLKC(TDataModule1 &dm, QWidget *parent);
  // Waits for a read still running.
  ~TFrmMLKC() override;

  // The first load under the loading dialog "读取数据"; false (after one
  // message when it failed) when the setup cannot be shown.
  bool load();

  // The paper drawn by "开始考试", once the dialog was accepted.
  const std::optional<PaperRequest> &request() const { return m_request; }
  // The time limit chosen, in minutes (0: none).
  int examMinutes() const;

  // The draws use this generator (tests give a seeded one).
  void setRandom(std::mt19937_64 &random) { m_random = &random; }
  MockExamSetup &setup() { return m_setup; }
  // A read of the steps is running or waiting.
  bool busy() const { return m_worker || !m_changes.empty(); }

  // Geometry of the count rows.
  static constexpr int kRowTop = 16, kRowStep = 29, kLabelLeft = 16, kLabelWidth = 60, kEditLeft = 84,
                       kEditWidth = 51;

  QGroupBox *RadioGroup1 = nullptr; // 试题范围
  QButtonGroup *RangeButtons = nullptr;
  QListWidget *CheckListBoxSTLY = nullptr; // 试题来源: the subjects
  QListWidget *CheckListBoxSTKM = nullptr; // 试题科目: their chapters
  QScrollArea *ScrollBox1 = nullptr;       // 设置题量
  std::vector<QLabel *> TypeCountLabels;
  std::vector<QSpinBox *> TypeCountEdits;
  QSpinBox *SpinEditTime = nullptr; // 考试时间, minutes
  QLabel *LabelSummary = nullptr;   // 共 N 题，满分 M 分
  QPushButton *BitBtn1 = nullptr;   // 开始考试
  QPushButton *BitBtn2 = nullptr;   // 取消
  // The loading steps; each runs the steps after it too.
  QAction *ActReadKM = nullptr, *ActReadZJ = nullptr, *ActGetAllXiaoTiHao = nullptr, *ActSetTXTL = nullptr;

private:
  void buildUi();
  void start();
  // A learner's change of the choice, returning the step to run from. The
  // changes go one after the other: a change made while a read runs is made
  // when that read was applied (the steps of the one before may have re-read
  // the chapters it refers to).
  void queue(std::function<SetupStep()> change);
  void nextChange();
  void readDone();
  void showChapters();
  void showSubjects();
  void showRows();
  void showSummary();
  static void fill(QListWidget *list, const std::vector<ExamCategory> &items);

  TDataModule1 &m_dm;
  MockExamSetup m_setup;
  std::mt19937_64 *m_random;
  std::optional<PaperRequest> m_request;
  QWidget *m_rowArea = nullptr;
  std::deque<std::function<SetupStep()>> m_changes;
  BankWorker *m_worker = nullptr;
  std::shared_ptr<SetupRead> m_read; // shared with the read on the worker
  bool m_startWhenReady = false;      // 开始考试 was pressed during a read
};
