#pragma once
// A feature as the program assembles it, on a bank of the test's own: the
// bank opened as the start opens it, the dialogs (the scripted fake or the
// production ones), a fresh paper state, a presenter that records the
// papers handed to it, the program's events, a window for the dialogs, the
// context and a command list for the feature's register call.
//
// For page tests and benchmarks it also shows a paper: the page built from
// it and loaded in the real view with the main window's page bridge (and,
// on request, the favourites writer behind the bridge).
//
//   FeatureHarness h({kBank}, FeatureHarness::RealDialogs);
//   h.registerCommands(registerReviewCommands);
//   h.command("ActWGZX")->trigger();

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "TestEnv.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "app/ui/WidgetDialogs.h"
#include "common/ProgramDir.h"
#include "store/DM.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FavouritesWriter;
class TExternalContainer;
class WebHtmlView;

class FeatureHarness {
public:
  enum DialogsKind { FakeDialogsKind, RealDialogs };

  // `sql`: the bank's SQL (the demo bank when empty); `prepare` runs on the
  // program directory's root before the bank is opened (a test puts its own
  // bank there). The dialogs are installed at once and the fallback comes
  // back when the harness goes.
  explicit FeatureHarness(const QStringList &sql = {}, DialogsKind dialogs = FakeDialogsKind,
                          const std::function<void(const QString &root)> &prepare = {});
  ~FeatureHarness();
  FeatureHarness(const FeatureHarness &) = delete;
  FeatureHarness &operator=(const FeatureHarness &) = delete;

  // A feature's register function, e.g. registerReviewCommands.
  template <class Register> void registerCommands(Register r) { r(commands, context); }
  // The registered command of that name; fails the test's expectations
  // with nullptr when there is none.
  QAction *command(const QString &name) const { return commands.action(name); }

  // The fake, when the harness has it (nullptr with the real dialogs).
  FakeDialogs *fake() { return m_fake ? &*m_fake : nullptr; }
  QString root() const { return dir.root(); }
  // A value of 系统参数.
  QString parameter(const QString &key);
  // The first column of the first row of `sql`, as an integer.
  int count(const QString &sql);

  // Reads 系统参数 into the program's settings (as the start does).
  void loadParameters();

  // The paper view: the style sheet written from the settings, a real view
  // of 900×700 shown with the main window's bridge. Once.
  WebHtmlView &openView();
  // The favourites writer behind the bridge, on this paper state.
  FavouritesWriter &connectFavourites();
  // A fresh paper state of `numbers` as `kind`, its page built and loaded
  // in the view (opened when it is not yet). False when it did not load.
  [[nodiscard]] bool showPaper(const std::vector<TXiaoTi> &items, qint16 kind,
                               const QString &title = QStringLiteral("第一章"), int loadTimeoutMs = 15000);
  // The same without the view: the page is built and written only.
  void buildPaper(const std::vector<TXiaoTi> &items, qint16 kind, const QString &title = QStringLiteral("第一章"));

  WebHtmlView &view() { return *m_view; }
  TExternalContainer &container() { return *m_container; }

  // Members go in reverse order: the view and the commands before the bank.
  TestEnv::ProgramDirFixture dir;
  ProgramDir programDir;
  TDataModule1 dm;

private:
  std::optional<FakeDialogs> m_fake;
  std::optional<WidgetDialogs> m_real;

public:
  PaperState paper;
  AppEvents events;
  RecordingPresenter presenter;
  QWidget window;
  AppContext context;
  TActionList commands;

private:
  std::unique_ptr<WebHtmlView> m_view;
  std::unique_ptr<TExternalContainer> m_container;
  std::unique_ptr<FavouritesWriter> m_writer;
};
