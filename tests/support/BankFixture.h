#pragma once
// A bank of the test's own, opened as the start opens it, and a presenter
// that records the papers a command hands over instead of showing them.

#include "TestEnv.h"
#include "app/PaperPresenter.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QList>

// While it lives, every connection the program opens runs `hook` right
// after its checks (TADOConnection::setOpenedHookForTests): a test injects a
// fault there with a TEMP trigger.
struct OpenedHook {
  explicit OpenedHook(std::function<void(TADOConnection &)> hook) {
    TADOConnection::setOpenedHookForTests(std::move(hook));
  }
  ~OpenedHook() { TADOConnection::setOpenedHookForTests({}); }
  OpenedHook(const OpenedHook &) = delete;
  OpenedHook &operator=(const OpenedHook &) = delete;
};

struct OpenedBank {
  TestEnv::ProgramDirFixture dir;
  TDataModule1 dm;
  // The schema and `sql` (the demo bank when empty), opened.
  explicit OpenedBank(const QStringList &sql = {}) : dir(sql) {
    if (OpenBankAtStartup(dm, dir.root()) != StartupResult::Opened)
      qFatal("the test bank did not open");
  }
  // The first column of the first row of `sql`, as an integer.
  int count(const QString &sql) {
    TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
    q.SQL.Add(sql);
    q.Open();
    return q.Fields(0).AsInteger();
  }
};

class RecordingPresenter : public PaperPresenter {
public:
  QList<PaperRequest> shown;
  bool showPaper(const PaperRequest &r) override {
    shown.append(r);
    return true;
  }
  void reloadPaper() override {}
};
