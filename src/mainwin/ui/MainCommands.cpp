#include "mainwin/ui/MainCommands.h"
#include "common/Dialogs.h"
#include "exam/Grading.h"
#include "exam/ui/ShowTestResult.h"
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
#include <QUrl>

void ActSummitPaper(HtmlView &page, TDataModule1 &dm, QWidget *parent, const HtmlViewFactory &reportView) {
  if (GradePaper(page, dm) != GradeStatus::Graded)
    return;
  execOwned(new TFrmShowTestResult(dm, parent, reportView));
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
    dialogs().information(QStringLiteral("无法打开：") + target, QStringLiteral("提示"));
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

void openBankAddress(const QString &address) {
  if (address.trimmed().isEmpty())
    return;
  if (!isWebAddress(address)) {
    dialogs().information(QStringLiteral("无法打开：") + address, QStringLiteral("提示"));
    return;
  }
  openInShell(address.trimmed());
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
                       const QList<QKeySequence> &keys, std::function<void()> handler) {
    commands.add(Command{name, caption, category, keys, std::move(handler)});
  };
  const ProgramDir dir = w.programDir();

  add(QStringLiteral("ActShiTiKu"), QStringLiteral("试题库"), CommandCategory::MainMenu, {}, [&w] { ActShiTiKu(w); });
  add(QStringLiteral("ActShiTiJiQiao"), QStringLiteral("考试大纲"), CommandCategory::MainMenu, {},
      [] { openBankAddress(FeedbackUrl); });
  add(QStringLiteral("ActSCSTKST"), QStringLiteral("生成试题库试题"), CommandCategory::Tree, {},
      [&w] { ActSCSTKST(w); });

  add(QStringLiteral("ActAbout"), QStringLiteral("联系我们(&A)"), CommandCategory::HelpMenu, {},
      [&w] { execOwned(new TFrmAbout(&w)); });
  add(QStringLiteral("ActSite"), QStringLiteral("官方网站(&S)"), CommandCategory::HelpMenu, {},
      [] { openInShell(VendorInfo::SiteUrl); });
  add(QStringLiteral("ActHelp"), QStringLiteral("使用帮助(&H)"), CommandCategory::HelpMenu, key(Qt::Key_F1),
      [dir] { openInShell(dir.resolve(QStringLiteral("css/help/help.html"))); });

  add(QStringLiteral("ActCWFK"), QStringLiteral("错误反馈"), CommandCategory::Links, {},
      [] { openInShell(VendorInfo::FeedbackPageUrl); });
  add(QStringLiteral("ActZZFW"), QStringLiteral("增值服务"), CommandCategory::Links, {},
      [] { openBankAddress(ValueAddedUrl); });
  add(QStringLiteral("ActZWCX"), QStringLiteral("职位查询"), CommandCategory::Links, {},
      [&w] { openBankAddress(parameter(w, QStringLiteral("职位查询"))); });
  add(QStringLiteral("ActZKXX"), QStringLiteral("招考信息"), CommandCategory::Links, {}, [&w] {
    const QString address = parameter(w, QStringLiteral("招考信息"));
    if (address.trimmed().isEmpty())
      return;
    if (!isWebAddress(address)) {
      dialogs().information(QStringLiteral("无法打开：") + address, QStringLiteral("提示"));
      return;
    }
    w.Panel6->setVisible(false);
    w.WebBrowser1->navigate(address.trimmed());
  });
  add(QStringLiteral("ActBMBZ"), QStringLiteral("报名帮助"), CommandCategory::Links, {}, [&w, dir] {
    if (!w.fullScreenMode())
      w.Panel6->setVisible(true);
    w.WebBrowser1->navigate(dir.resolve(QStringLiteral("css/BaoKao/baokao.html")));
  });

  // The paper toolbar.
  const Cat tb = CommandCategory::PaperToolbar;
  add(QStringLiteral("ActReAnswer"), QStringLiteral("重新答题"), tb, key(Qt::CTRL | Qt::Key_R),
      [&w] { ActReAnswer(w); });
  add(QStringLiteral("ActShowAllAnswer"), QStringLiteral("显示答案"), tb, key(Qt::CTRL | Qt::Key_H),
      [&w] { ActShowAllAnswer(w); });
  add(QStringLiteral("ActSummitPaper"), QStringLiteral("批阅试卷"), tb,
      {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
      [&w] { ActSummitPaper(*w.WebBrowser1, *w.dataModule(), &w); });
  add(QStringLiteral("ActPrint"), QStringLiteral("打印"), tb, key(Qt::CTRL | Qt::Key_P),
      [&w] { w.WebBrowser1->printPreview(); });
  add(QStringLiteral("ActZoomIn"), QStringLiteral("放大"), tb,
      {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
      [&w] { w.WebBrowser1->runScript(QStringLiteral("changeFont(1)")); });
  add(QStringLiteral("ActZoomOut"), QStringLiteral("缩小"), tb, key(Qt::CTRL | Qt::Key_Minus),
      [&w] { w.WebBrowser1->runScript(QStringLiteral("changeFont(0)")); });
  add(QStringLiteral("ActFullScreen"), QStringLiteral("全屏"), tb, key(Qt::Key_F11), [&w] { ActFullScreen(w); });
}

QMenu *makeHelpMenu(const TActionList &commands, QWidget *parent) {
  auto *menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("PopupMenuHelp"));
  const auto addAll = [&](std::initializer_list<const char *> names) {
    for (const char *name : names)
      menu->addAction(commands.action(QLatin1String(name)));
  };
  addAll({"ActShuJuBeiFen", "ActShuJuHuanYuan", "ActAbout", "ActSite"});
  // The commands that have no button of their own.
  menu->addSeparator();
  addAll({"ActHelp", "ActUpdate", "ActWGZX", "ActSTGL", "ActCWFK"});
  menu->addSeparator();
  addAll({"ActZKXX", "ActBMBZ", "ActZWCX", "ActZZFW"});
  menu->addSeparator();
  addAll({"ActFullScreen"});
  return menu;
}
