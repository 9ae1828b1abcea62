#pragma once
#include "common/ProgramDir.h"

#include <QWidget>
#include <memory>

class QLabel;
class TDataModule1;

// The main window. Creating it opens the question bank (unmask, open, mask)
// and loads the system parameters; when that fails the learner is told and
// startupFailed() is true, and the program ends.
class TFrmMain : public QWidget {
  Q_OBJECT
public:
  explicit TFrmMain(const ProgramDir &programDir, QWidget *parent = nullptr);
  ~TFrmMain() override;

  bool startupFailed() const { return m_startupFailed; }
  const ProgramDir &programDir() const { return m_programDir; }
  TDataModule1 *dataModule() const { return m_dm.get(); }

private:
  bool openDatabase();

  ProgramDir m_programDir;
  std::unique_ptr<TDataModule1> m_dm;
  bool m_startupFailed = false;
  QLabel *LabTitle = nullptr;
};
