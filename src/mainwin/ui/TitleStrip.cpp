#include "mainwin/ui/TitleStrip.h"
#include "mainwin/TitleBarLogic.h"
#include "mainwin/ui/PictureButton.h"
#include "mainwin/ui/Pictures.h"
#include "app/ActionList.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

TitleStrip::TitleStrip(const TActionList &commands, QWidget *parent) : QWidget(parent) {
  for (int i = 0; i < 8; ++i)
    m_menuActions[std::size_t(i)] = commands.inMenuSlot(i);
  setObjectName(QStringLiteral("Panel1"));
  setFixedHeight(100);
  // Panel1 > Panel2 (the frame colour) > Panel3 (pictures).
  auto *p1 = new QVBoxLayout(this);
  p1->setContentsMargins(0, 0, 0, 0);
  auto *panel2 = new QWidget(this);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setAutoFillBackground(true);
  QPalette frame = panel2->palette();
  frame.setColor(QPalette::Window, Pictures::accentColor().darker(140));
  panel2->setPalette(frame);
  p1->addWidget(panel2);
  auto *p2 = new QVBoxLayout(panel2);
  p2->setContentsMargins(0, 0, 0, 0);
  Panel3 = new QWidget(panel2);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  p2->addWidget(Panel3);
  Image3 = new QLabel(Panel3);
  Image3->setObjectName(QStringLiteral("Image3"));
  Image3->setScaledContents(true);
  Image3->setPixmap(Pictures::stripBackground());
  LabTitle = new QLabel(Panel3);
  LabTitle->setObjectName(QStringLiteral("LabTitle"));
  LabTitle->move(13, 6);
  QFont titleFont(QStringLiteral("宋体"));
  titleFont.setPixelSize(14);
  LabTitle->setFont(titleFont);
  QPalette white = LabTitle->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  LabTitle->setPalette(white);
  LabTitle->installEventFilter(this);
  LabTitle->setToolTip(QStringLiteral("按住标题拖动窗口"));

  buildSysIcons();
  buildMenuImages();
}

void TitleStrip::setTitle(const QString &title) { LabTitle->setText(title); }

void TitleStrip::buildSysIcons() {
  static const char *const tips[] = {"帮助菜单", "最小化", "还原", "关闭"};
  static const char *const firstPictures[] = {"SysHelp1", "SysMin1", "SysNom1", "SysClose1"};
  for (int i = 0; i < 4; ++i) {
    auto *b = new PictureButton(Panel3);
    b->setObjectName(QStringLiteral("SysIcon%1").arg(i));
    b->Tag = i;
    b->setFixedSize(TitleBar::kButtonWidths[std::size_t(i)], TitleBar::kButtonHeight);
    b->setPixmap(Pictures::sysBitmap(QLatin1String(firstPictures[i])));
    b->setProperty("picture", QLatin1String(firstPictures[i]));
    b->setToolTip(QString::fromUtf8(tips[i]));
    b->setAccessibleName(QString::fromUtf8(tips[i]));
    connect(b, &PictureButton::mouseMoved, this, [this, i] { sysIconEvent(i, TitleBar::Over); });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { sysIconEvent(i, TitleBar::Leave); });
    connect(b, &PictureButton::mousePressed, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        sysIconEvent(i, TitleBar::Down);
    });
    connect(b, &PictureButton::mouseReleased, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        sysIconReleased(i);
    });
    SysIcons[std::size_t(i)] = b;
  }
  SysIcons[0]->setToolTip(TActionList::withKey(QStringLiteral("帮助菜单"), QKeySequence(Qt::Key_F10)));
  // The help button's context menu is the help menu.
  SysIcons[0]->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SysIcons[0], &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
    if (m_helpMenu)
      m_helpMenu->popup(SysIcons[0]->mapToGlobal(pos));
  });
}

void TitleStrip::buildMenuImages() {
  menuState.MenuHoverShown = false;
  menuState.MenuPressed = false;
  const QStringList labels = Pictures::menuLabels();
  for (int i = 0; i < 8; ++i) {
    auto *b = new PictureButton(Panel3);
    b->setObjectName(QStringLiteral("MenuImage%1").arg(i));
    b->Tag = i;
    b->setGeometry(2 + 73 * i, 24, Pictures::kMenuSize.width(), Pictures::kMenuSize.height());
    b->setPixmap(Pictures::menuPicture(i, MainMenuState::Normal));
    b->setAccessibleName(labels.value(i));
    QAction *a = m_menuActions[std::size_t(i)];
    connect(b, &PictureButton::mouseMoved, this, [this, i, a] {
      if (a && a->isEnabled())
        applyMenuChanges(menuState.mouseMove(i));
    });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { applyMenuChanges(menuState.mouseLeave(i)); });
    connect(b, &PictureButton::mousePressed, this, [this, i, a](Qt::MouseButton button) {
      if (button == Qt::LeftButton && a && a->isEnabled())
        applyMenuChanges(menuState.mouseDown(i));
    });
    connect(b, &PictureButton::mouseReleased, this, [a](Qt::MouseButton button) {
      if (button == Qt::LeftButton && a)
        a->trigger();
    });
    MenuImages[std::size_t(i)] = b;
    updateMenuButton(i);
    if (!a)
      continue;
    // A main-menu command run from the keyboard moves the selection like a
    // click on its button (a click has moved it already), before the command
    // opens its dialog.
    if (auto *list = qobject_cast<TActionList *>(a->parent()))
      connect(list, &TActionList::aboutToRun, this, [this, i, a](QAction *run) {
        if (run == a && menuState.SelectedMenuIndex != i)
          selectMainMenu(i);
      });
    else
      connect(a, &QAction::triggered, this, [this, i] {
        if (menuState.SelectedMenuIndex != i)
          selectMainMenu(i);
      });
    connect(a, &QAction::changed, this, [this, i] { updateMenuButton(i); });
  }
  // Button 0 starts selected.
  menuState.SelectedMenuIndex = 0;
  applyMenuChanges({{0, MainMenuState::Selected}});
}

void TitleStrip::updateMenuButton(int i) {
  PictureButton *b = MenuImages[std::size_t(i)];
  QAction *a = m_menuActions[std::size_t(i)];
  QString tip = Pictures::menuLabels().value(i);
  if (a && a->text() != tip)
    tip += QStringLiteral(" — ") + a->text();
  if (a)
    tip = TActionList::withKey(tip, a->shortcut());
  if (a && !a->statusTip().isEmpty())
    tip += QLatin1Char('\n') + a->statusTip();
  b->setToolTip(tip);
  b->setBadge(a ? TActionList::badge(a) : QString());
  // Without a command: drawn greyed, and no hover or press picture.
  const bool enabled = a && a->isEnabled();
  b->setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
  b->setEnabled(enabled);
}

void TitleStrip::applyMenuChanges(const MainMenuState::Changes &changes) {
  for (const MainMenuState::Change &c : changes) {
    PictureButton *b = (c.index >= 0 && c.index < 8) ? MenuImages[std::size_t(c.index)] : nullptr;
    if (!b)
      continue;
    b->setPixmap(Pictures::menuPicture(c.index, c.picture));
    b->setProperty("picture", int(c.picture));
    b->repaint();
  }
}

void TitleStrip::selectMainMenu(int i) { applyMenuChanges(menuState.select(i)); }

void TitleStrip::popupHelpMenu() {
  if (!m_helpMenu)
    return;
  PictureButton *b = SysIcons[0];
  m_helpMenu->popup(b->isVisible() ? b->mapToGlobal(QPoint(0, b->height() + 2))
                                   : window()->mapToGlobal(QPoint(0, 0)));
}

void TitleStrip::sysIconEvent(int index, int state) {
  PictureButton *b = SysIcons[std::size_t(index)];
  const QString name = TitleBar::pictureName(b->Tag, TitleBar::State(state));
  if (b->property("picture").toString() == name)
    return;
  b->setPixmap(Pictures::sysBitmap(name));
  b->setProperty("picture", name);
  b->repaint();
}

void TitleStrip::sysIconReleased(int index) {
  PictureButton *b = SysIcons[std::size_t(index)];
  const TitleBar::Release r = TitleBar::release(b->Tag);
  b->Tag = r.newTag;
  QWidget *w = window();
  switch (r.command) {
  case TitleBar::Command::PopupHelp:
    if (m_helpMenu)
      m_helpMenu->popup(b->mapToGlobal(QPoint(0, b->height() + 2)));
    break;
  case TitleBar::Command::Minimize:
    w->showMinimized();
    break;
  case TitleBar::Command::Restore:
    w->showNormal();
    break;
  case TitleBar::Command::Close:
    w->close();
    break;
  case TitleBar::Command::Maximize:
    w->showMaximized();
    break;
  case TitleBar::Command::None:
    break;
  }
}

void TitleStrip::syncMaximizeButton() {
  // The third button follows the window's state however it changed (its own
  // click, the window system's keys).
  const bool maximized = window()->isMaximized();
  SysIcons[2]->Tag = TitleBar::maximizeButtonTag(maximized);
  SysIcons[2]->setToolTip(maximized ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void TitleStrip::layoutTitleBar() {
  // The strip's children are placed by hand: make sure Panel3 has its size.
  if (layout())
    layout()->activate();
  Image3->setGeometry(1, 1, std::max(0, Panel3->width() - 2), std::max(0, Panel3->height() - 1));
  const int w = width();
  LabTitle->setGeometry(13, 6, std::max(0, w - TitleBar::kRightReserve), 18);
  const std::array<int, 4> lefts = TitleBar::buttonLefts(w);
  for (std::size_t i = 0; i < SysIcons.size(); ++i)
    SysIcons[i]->setGeometry(lefts[i], TitleBar::kButtonTop, TitleBar::kButtonWidths[i], TitleBar::kButtonHeight);
}

void TitleStrip::resizeEvent(QResizeEvent *e) {
  QWidget::resizeEvent(e);
  layoutTitleBar();
}

bool TitleStrip::eventFilter(QObject *watched, QEvent *e) {
  if (watched != LabTitle)
    return QWidget::eventFilter(watched, e);
  QWidget *w = window();
  switch (e->type()) {
  case QEvent::MouseButtonPress: {
    auto *me = static_cast<QMouseEvent *>(e);
    if (me->button() != Qt::LeftButton || w->isMaximized())
      break;
    // The window system moves the window when it can; otherwise the window
    // follows the mouse here.
    if (w->windowHandle() && w->windowHandle()->startSystemMove())
      return true;
    m_dragging = true;
    m_dragOffset = me->globalPosition().toPoint() - w->frameGeometry().topLeft();
    return true;
  }
  case QEvent::MouseMove:
    if (m_dragging) {
      auto *me = static_cast<QMouseEvent *>(e);
      if (w->isMaximized())
        m_dragging = false;
      else
        w->move(me->globalPosition().toPoint() - m_dragOffset);
      return true;
    }
    break;
  case QEvent::MouseButtonRelease:
    if (m_dragging) {
      m_dragging = false;
      return true;
    }
    break;
  default:
    break;
  }
  return QWidget::eventFilter(watched, e);
}
