// Opens the bank of a program directory, moves the folder "prepared" (the
// checked files of an update) into the update's staging place, runs the update's swap and kills itself with SIGKILL at the step
// named by its number (UpdateSwapStep). Used by the update's crash test.

#include "BankFixture.h"
#include "maintenance/UpdateSwap.h"
#include "app/AppContext.h"
#include "app/PaperState.h"
#include "app/AppEvents.h"
#include "store/DM.h"
#include "store/PendingRestore.h"
#include "store/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3)
    return 2;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const int where = QByteArray(argv[2]).toInt();
  TDataModule1 dm;
  if (OpenBankAtStartup(dm, dir) != StartupResult::Opened)
    return 3;
  // The test fills "prepared/": the start would discard a staging folder.
  QDir().rename(dir + QStringLiteral("prepared"), UpdateStagingPath(dir));
  RecordingPresenter presenter;
  PaperState paper;
  AppEvents events;
  AppContext context{dm, ProgramDir(dir), {}, presenter, paper, events, nullptr};
  try {
    ApplyStagedUpdate(context, UpdateStagingPath(dir), [&](UpdateSwapStep s) {
      if (int(s) == where)
        ::kill(::getpid(), SIGKILL);
    });
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 5;
  }
  return 0;
}
