#include "mainwin/Main.h"
#include "common/AppTitle.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QLabel>
#include <QVBoxLayout>

TFrmMain::TFrmMain(const ProgramDir &programDir, QWidget *parent)
    : QWidget(parent), m_programDir(programDir) {
  setMinimumSize(800, 600);
  resize(1024, 650);
  LabTitle = new QLabel(this);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(LabTitle);
  layout->addStretch();

  if (!openDatabase()) {
    m_startupFailed = true;
    return;
  }
  ApplicationTitle = SoftTitle;
  setWindowTitle(SoftTitle);
  LabTitle->setText(SoftTitle);
}

TFrmMain::~TFrmMain() {
  if (DataModule1 == m_dm.get())
    DataModule1 = nullptr;
}

bool TFrmMain::openDatabase() {
  return RunCommand([this] {
           m_dm = std::make_unique<TDataModule1>();
           DataModule1 = m_dm.get();
           const StartupResult result = OpenBankAtStartup(*m_dm, m_programDir.root());
           if (result != StartupResult::Opened) {
             dialogs().error(QStringLiteral("打开数据库出现严重的错误，程序将中止！"), QStringLiteral("错误"));
             m_startupFailed = true;
             return;
           }
           LoadSystemParameters(*m_dm);
         }) &&
         !m_startupFailed;
}
