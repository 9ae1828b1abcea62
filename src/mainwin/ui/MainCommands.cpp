#include "mainwin/ui/MainCommands.h"
#include "common/Dialogs.h"
#include "exam/Grading.h"
#include "exam/ui/ShowTestResult.h"
#include "mainwin/LinkTrouble.h"
#include "mainwin/StartPaper.h"
#include "mainwin/VendorInfo.h"
#include "mainwin/ui/About.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "app/ActionList.h"
#include "app/ui/FrmBase.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"
#include "store/SystemParameters.h"

#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>

void ActSummitPaper(PaperState &paper, HtmlView &page, TDataModule1 &dm, QWidget *parent,
                    const HtmlViewFactory &reportView) {
  if (GradePaper(paper, page, dm) != GradeStatus::Graded)
    return;
  execOwned(new TFrmShowTestResult(paper, dm, parent, reportView));
}

namespace {

using Command = TActionList::Command;
using Cat = QString;

// Chapter practice of the tree's selected node.
void ActSCSTKST(TFrmMain &w) {
  w.selectMainMenu(0);
  CategoryTreeView *tree = w.TreeView1;
  QTreeWidgetItem *item = tree->currentItem();
  if (!item || !item->isSelected() || tree->level(item) <= 1)
    return;
  const TTreeNodeInfo *node = tree->info(item);
  if (!node)
    return;
  if (w.showPaper(ChapterPaperRequest(*w.dataModule(), *node)))
    w.storeTreePosition(tree->absoluteIndex(item));
}

void ActShiTiKu(TFrmMain &w) { w.showPreparedBank(PrepareBank(*w.dataModule(), w.TreeViewIndex)); }

void openInShell(const QString &target) {
  if (target.trimmed().isEmpty())
    return;
  if (!dialogs().openUrl(target))
    dialogs().messageWithAddress(LinkTrouble::cannotOpenText(target), QStringLiteral("无法打开"), target,
                                 Dialogs::Icon::Information);
}

// An address the bank gives (its parameters come with a restored or updated
// bank) is a web page: http or https, nothing the shell would run or the
// view would take as script or a local file.
bool isWebAddress(const QString &address) {
  const QUrl url(address.trimmed(), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  return url.isValid() && !url.host().isEmpty() &&
         (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// An address the vendor left empty: the command says it is not configured.
bool configured(const QString &address, const QString &command) {
  if (!address.trimmed().isEmpty())
    return true;
  dialogs().information(VendorInfo::NotConfigured(command), QStringLiteral("提示"));
  return false;
}

void openBankAddress(const QString &address, const QString &command) {
  if (!configured(address, command))
    return;
  if (!isWebAddress(address)) {
    dialogs().information(QStringLiteral("无法打开：") + address, QStringLiteral("提示"));
    return;
  }
  openInShell(address.trimmed());
}

// The fragment of the "返回试卷" link of the page shown in place of a web
// page that did not load. The view refuses every link of a local page; the
// window takes the refusal of this one as the way back.
const QString BackToPaper = QStringLiteral("back-to-paper");

QUrl backToPaperUrl(TFrmMain &w) {
  QUrl url = QUrl::fromLocalFile(w.programDir().questionPagePath());
  url.setFragment(BackToPaper);
  return url;
}

void backToPaper(TFrmMain &w) {
  if (!w.fullScreenMode())
    w.Panel6->setVisible(true);
  if (!w.paperState().onDisplay) {
    w.WebBrowser1->navigate(QStringLiteral("about:blank"));
    return;
  }
  w.PanelPaperToolBar->showPaperGroup();
  w.WebBrowser1->navigate(w.programDir().questionPagePath());
  w.PanelPaperToolBar->InitShowAnswer();
}

// Shows the web page at `address` in the window's view. When it does not
// load, a page of ours says so in Chinese, with the reason, the address and
// the way back to the paper (the engine's own error page is switched off).
void showWebPage(TFrmMain &w, const QString &title, const QString &address) {
  WebHtmlView *view = w.WebBrowser1;
  QWebEnginePage *page = view->page();
  page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  const QUrl target(address);
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(
      page, &QWebEnginePage::loadingChanged, view, [&w, view, title, address, target, connection](
                                                       const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
          return;
        // An earlier load that this one stopped.
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus && info.url() != target)
          return;
        QObject::disconnect(*connection);
        if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
          return;
        const QString reason = LinkTrouble::loadFailureReason(info.errorCode(), int(info.errorDomain()));
        const QStringList lines =
            LinkTrouble::unreachablePage(title, address, reason, backToPaperUrl(w).toString(QUrl::FullyEncoded));
        // Out of the engine's signal before the view loads again.
        QTimer::singleShot(0, view, [view, lines] {
          view->navigate(QStringLiteral("about:blank"));
          for (const QString &line : lines)
            view->writeln(line);
        });
      });
  view->navigate(address);
}

QString parameter(TFrmMain &w, const QString &key) {
  return ParametersRepository(*w.dataModule()).value(key);
}

void ActReAnswer(TFrmMain &w) {
  if (!w.paperOnDisplay())
    return;
  if (!dialogs().question(QStringLiteral("重新答题会清空当前的回答,继续吗?"), QStringLiteral("重新答题")))
    return;
  w.WebBrowser1->runScript(QStringLiteral("answerAgain()"));
  // The page has hidden every answer: the show-answer button says so too.
  w.PanelPaperToolBar->InitShowAnswer();
}

void ActShowAllAnswer(TFrmMain &w) {
  if (!w.paperOnDisplay())
    return;
  QAction *a = w.command(QStringLiteral("ActShowAllAnswer"));
  const int tag = PaperToolbar::nextShowAnswerTag(TActionList::Tag(a));
  // The state changes once the page has done it; when the script fails
  // (a page without the paper's functions) the button goes back to the
  // command's state.
  try {
    w.WebBrowser1->runScript(PaperToolbar::showAllAnswerScript(tag));
  } catch (...) {
    w.PanelPaperToolBar->showAnswerState(TActionList::Tag(a));
    throw;
  }
  TActionList::setTag(a, tag);
  a->setText(PaperToolbar::showAnswerCaption(tag));
  // From the keyboard the button has not flipped yet.
  w.PanelPaperToolBar->showAnswerState(tag);
}

void ActFullScreen(TFrmMain &w) {
  QAction *a = w.command(QStringLiteral("ActFullScreen"));
  const bool full = !w.fullScreenMode();
  TActionList::setTag(a, full ? 1 : 0);
  a->setText(full ? QStringLiteral("窗口") : QStringLiteral("全屏"));
  w.Panel1->setVisible(!full);
  w.Panel6->setVisible(!full);
  // The full-screen button shows the mode however it changed (its own
  // release, F11, Escape, the help menu).
  w.PanelPaperToolBar->showFullScreenState(full);
}

} // namespace

void registerMainCommands(TActionList &commands, TFrmMain &w) {
  const auto key = [](int k) { return QList<QKeySequence>{QKeySequence(k)}; };
  const auto add = [&](const QString &name, const QString &caption, const Cat &category,
                       const QList<QKeySequence> &keys, CommandPlace place, std::function<void()> handler) {
    commands.add(Command{name, caption, category, keys, std::move(handler), place});
  };
  const ProgramDir dir = w.programDir();
  using P = CommandPlace;
  using B = PaperToolbarButton;

  add(QStringLiteral("ActShiTiKu"), QStringLiteral("试题库"), CommandCategory::MainMenu, {}, P::menu(0),
      [&w] { ActShiTiKu(w); });
  add(QStringLiteral("ActShiTiJiQiao"), QStringLiteral("考试大纲"), CommandCategory::MainMenu, {}, P::menu(3),
      [] { openBankAddress(FeedbackUrl, QStringLiteral("考试大纲")); });
  add(QStringLiteral("ActSCSTKST"), QStringLiteral("生成试题库试题"), CommandCategory::Tree, {}, {},
      [&w] { ActSCSTKST(w); });

  add(QStringLiteral("ActAbout"), QStringLiteral("联系我们(&A)"), CommandCategory::HelpMenu, {},
      P::help(HelpGroup::Data, 2), [&w] { execOwned(new TFrmAbout(&w)); });
  add(QStringLiteral("ActSite"), QStringLiteral("官方网站(&S)"), CommandCategory::HelpMenu, {},
      P::help(HelpGroup::Data, 3), [] {
        if (configured(VendorInfo::SiteUrl, QStringLiteral("官方网站")))
          openInShell(VendorInfo::SiteUrl);
      });
  add(QStringLiteral("ActHelp"), QStringLiteral("使用帮助(&H)"), CommandCategory::HelpMenu, key(Qt::Key_F1),
      P::help(HelpGroup::Tools, 0), [dir] { openInShell(dir.resolve(QStringLiteral("css/help/help.html"))); });

  add(QStringLiteral("ActCWFK"), QStringLiteral("错误反馈"), CommandCategory::Links, {}, P::help(HelpGroup::Tools, 4),
      [] {
        if (configured(VendorInfo::FeedbackPageUrl, QStringLiteral("错误反馈")))
          openInShell(VendorInfo::FeedbackPageUrl);
      });
  add(QStringLiteral("ActZZFW"), QStringLiteral("增值服务"), CommandCategory::Links, {}, P::help(HelpGroup::Links, 3),
      [] { openBankAddress(ValueAddedUrl, QStringLiteral("增值服务")); });
  add(QStringLiteral("ActZWCX"), QStringLiteral("职位查询"), CommandCategory::Links, {}, P::help(HelpGroup::Links, 2),
      [&w] { openBankAddress(parameter(w, QStringLiteral("职位查询")), QStringLiteral("职位查询")); });
  add(QStringLiteral("ActZKXX"), QStringLiteral("招考信息"), CommandCategory::Links, {}, P::help(HelpGroup::Links, 0),
      [&w] {
        const QString address = parameter(w, QStringLiteral("招考信息"));
        if (!configured(address, QStringLiteral("招考信息")))
          return;
        if (!isWebAddress(address)) {
          dialogs().information(QStringLiteral("无法打开：") + address, QStringLiteral("提示"));
          return;
        }
        w.Panel6->setVisible(false);
        showWebPage(w, QStringLiteral("招考信息"), address.trimmed());
      });

  add(QStringLiteral("ActBMBZ"), QStringLiteral("报名帮助"), CommandCategory::Links, {}, P::help(HelpGroup::Links, 1),
      [&w, dir] {
        if (!w.fullScreenMode())
          w.Panel6->setVisible(true);
        w.WebBrowser1->navigate(dir.resolve(QStringLiteral("css/BaoKao/baokao.html")));
      });

  // The paper toolbar.
  const Cat tb = CommandCategory::PaperToolbar;
  add(QStringLiteral("ActReAnswer"), QStringLiteral("重新答题"), tb, key(Qt::CTRL | Qt::Key_R),
      P::paperToolbar(B::ReAnswer), [&w] { ActReAnswer(w); });
  add(QStringLiteral("ActShowAllAnswer"), QStringLiteral("显示答案"), tb, key(Qt::CTRL | Qt::Key_H),
      P::paperToolbar(B::ShowAllAnswer), [&w] { ActShowAllAnswer(w); });
  add(QStringLiteral("ActSummitPaper"), QStringLiteral("批阅试卷"), tb,
      {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
      P::paperToolbar(B::SummitPaper),
      [&w] {
        ActSummitPaper(w.paperState(), *w.WebBrowser1, *w.dataModule(), &w);
        emit w.events().historyChanged();
      });
  add(QStringLiteral("ActPrint"), QStringLiteral("打印"), tb, key(Qt::CTRL | Qt::Key_P), P::paperToolbar(B::Print),
      [&w] { w.WebBrowser1->printPreview(); });
  add(QStringLiteral("ActZoomIn"), QStringLiteral("放大"), tb,
      {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)}, P::paperToolbar(B::ZoomIn),
      [&w] { w.WebBrowser1->runScript(QStringLiteral("changeFont(1)")); });
  add(QStringLiteral("ActZoomOut"), QStringLiteral("缩小"), tb, key(Qt::CTRL | Qt::Key_Minus),
      P::paperToolbar(B::ZoomOut), [&w] { w.WebBrowser1->runScript(QStringLiteral("changeFont(0)")); });
  add(QStringLiteral("ActFullScreen"), QStringLiteral("全屏"), tb, key(Qt::Key_F11),
      P::paperToolbar(B::FullScreen).andHelp(HelpGroup::View, 0), [&w] { ActFullScreen(w); });
}

QMenu *makeHelpMenu(const TActionList &commands, QWidget *parent) {
  auto *menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("PopupMenuHelp"));
  const QList<QList<QAction *>> groups = commands.helpMenuGroups();
  for (const QList<QAction *> &group : groups) {
    if (!menu->actions().isEmpty())
      menu->addSeparator();
    menu->addActions(group);
  }
  return menu;
}

void installLinkPages(TFrmMain &w) {
  QObject::connect(w.WebBrowser1, &WebHtmlView::navigationRefused, &w, [&w](const QUrl &url) {
    if (url.fragment() == BackToPaper &&
        QUrl::fromLocalFile(w.programDir().questionPagePath()).matches(url, QUrl::RemoveFragment))
      QTimer::singleShot(0, &w, [&w] { backToPaper(w); }); // out of the engine's navigation request
  });
}

void installWindowKeys(TFrmMain &w) {
  auto *help = new QShortcut(QKeySequence(Qt::Key_F10), &w);
  QObject::connect(help, &QShortcut::activated, w.Panel1, &TitleStrip::popupHelpMenu);
  auto *focus = new QShortcut(QKeySequence(Qt::Key_F6), &w);
  QObject::connect(focus, &QShortcut::activated, &w, [&w] {
    if (w.TreeView1->hasFocus() || !w.TreeView1->isVisible()) {
      if (QWebEngineView *v = w.WebBrowser1->engineView())
        v->setFocus(Qt::ShortcutFocusReason);
    } else {
      w.TreeView1->setFocus(Qt::ShortcutFocusReason);
    }
  });
  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), &w);
  QObject::connect(escape, &QShortcut::activated, &w, [&w] {
    if (w.fullScreenMode())
      w.command(QStringLiteral("ActFullScreen"))->trigger();
  });
}
