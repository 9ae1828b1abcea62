#include "settings/ui/UISet.h"
#include "common/AppError.h"
#include "common/Dialogs.h"
#include "render/StyleSheet.h"
#include "settings/DisplaySettingsLogic.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

namespace {

const char16_t *const kSampleBody[] = {
    u"</head>",
    u"<body oncontextmenu=self.event.returnValue=false onselectstart=\"return false\" class=\"TestBody\">",
    u"<TABLE width=\"95%\" border=0 align=\"center\" cellPadding=0 cellSpacing=3>",
    u"<TR><TD width=\"77%\" align=\"center\" class=\"TestCaption\">题目类型</TD></TR></TABLE>",
    u"<div  class=\"MiddleFont\"  id=\"zoom\">",
    u"<form name=\"form1\" method=\"post\" action=\"\">",
    u"<TABLE width=\"95%\" border=0 align=\"center\" cellPadding=0 cellSpacing=3>",
    u"<TR><TD class=\"TestStyleExplain\">A1型题：每一道考试题下面有A、B、C、D、E五个备选答案。请从中选择一个最佳答案。</TD></TR></TABLE>",
};

struct Sample {
  int id;
  const char16_t *stem;
  const char16_t *options[5];
};
const Sample kSamples[] = {
    {1, u"1．可以直接将储存糖原分解为葡萄糖的是", {u"A．脑", u"B．肝", u"C．肾", u"D．心脏", u"E．肌肉"}},
    {4, u"2．下面是终止密码子的是", {u"A．UUU", u"B．UCC", u"C．UAA", u"D．UGG", u"E．AUG"}},
    {6, u"3．不能激活脂肪酶的激素是",
     {u"A．胰岛素", u"B．肾上腺素", u"C．去甲肾上腺素", u"D．胰高血糖素", u"E．肾上腺皮质激素"}},
};

// The line-spacing control: text it cannot take (empty, or a number below
// its range that the learner left) is set back to 170 and reported.
class SpacingSpinBox : public QSpinBox {
public:
  using QSpinBox::QSpinBox;
  std::function<void()> refused;

protected:
  void fixup(QString &input) const override {
    input = QString::number(kDefaultLineSpacing);
    if (refused)
      refused();
  }
};

} // namespace

TFrmUISet::TFrmUISet(TDataModule1 &dm, const ProgramDir &dir, const QStringList &fonts,
                     const HtmlViewFactory &makeView, QWidget *parent)
    : TFrmBase(DisplayText::Caption, parent), m_dm(dm), m_dir(dir), m_atOpen(DisplaySettings) {
  setObjectName(QStringLiteral("FrmUISet"));
  resize(760, 560);
  auto *layout = new QVBoxLayout(this);
  WebBrowser1 = TFrmBase::makeView(makeView, this);
  layout->addWidget(WebBrowser1->widget(), 1);

  auto *controls = new QGridLayout;
  ComboBox1 = new QComboBox(this);
  ComboBox1->addItems(fonts);
  SpinEdit2 = new QSpinBox(this);
  SpinEdit2->setRange(kMinFontSize, kMaxFontSize);
  auto *spacing = new SpacingSpinBox(this);
  spacing->refused = [this] { spacingRefused(); };
  SpinEdit1 = spacing;
  SpinEdit1->setRange(kMinLineSpacing, kMaxLineSpacing);
  Panel2 = new QPushButton(this);
  Panel3 = new QPushButton(this);
  for (QPushButton *swatch : {Panel2, Panel3}) {
    swatch->setFixedSize(48, 22);
    swatch->setAutoDefault(false);
  }
  controls->addWidget(new QLabel(QStringLiteral("字体"), this), 0, 0);
  controls->addWidget(ComboBox1, 0, 1);
  controls->addWidget(new QLabel(QStringLiteral("字号"), this), 0, 2);
  controls->addWidget(SpinEdit2, 0, 3);
  controls->addWidget(new QLabel(QStringLiteral("行间距"), this), 0, 4);
  controls->addWidget(SpinEdit1, 0, 5);
  controls->addWidget(new QLabel(QStringLiteral("字体颜色"), this), 1, 0);
  controls->addWidget(Panel2, 1, 1, Qt::AlignLeft);
  controls->addWidget(new QLabel(QStringLiteral("背景色"), this), 1, 2);
  controls->addWidget(Panel3, 1, 3, Qt::AlignLeft);
  layout->addLayout(controls);
  auto *buttons = new QHBoxLayout;
  BitBtn1 = new QPushButton(QStringLiteral("恢复默认值"), this);
  BitBtn4 = new QPushButton(QStringLiteral("夜间"), this);
  BitBtn4->setToolTip(QStringLiteral("浅色文字、深色背景"));
  BitBtn2 = new QPushButton(QStringLiteral("确定"), this);
  BitBtn3 = new QPushButton(QStringLiteral("取消"), this);
  BitBtn1->setAutoDefault(false);
  BitBtn4->setAutoDefault(false);
  BitBtn2->setDefault(true);
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn4);
  buttons->addStretch();
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  layout->addLayout(buttons);
  wireButtons(nullptr, BitBtn3);

  m_previewTimer = new QTimer(this);
  m_previewTimer->setSingleShot(true);
  m_previewTimer->setInterval(0);
  connect(m_previewTimer, &QTimer::timeout, this, [this] { rebuildPreview(); });

  // Opening: the controls from the values in memory, and memory made to
  // follow the two spin controls (a clamped or unreadable stored number).
  const SpinStart start = FitForDialog(DisplaySettings);
  {
    const QSignalBlocker blockSize(SpinEdit2), blockSpacing(SpinEdit1);
    SpinEdit1->setValue(start.lineSpacing);
    SpinEdit2->setValue(start.fontSize);
  }
  ComboBox1->setCurrentIndex(ComboBox1->findText(DisplaySettings.FontName));
  showSwatches();

  connect(ComboBox1, &QComboBox::currentTextChanged, this, [this](const QString &name) {
    if (name.isEmpty())
      return;
    DisplaySettings.FontName = name;
    schedulePreview();
  });
  connect(SpinEdit2, &QSpinBox::valueChanged, this, [this](int n) {
    DisplaySettings.FontSize = FontSizeText(n);
    DisplaySettings.ToolbarFontSize = ToolbarSizeFor(n);
    schedulePreview();
  });
  connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int n) {
    DisplaySettings.LineSpacing = QString::number(n);
    schedulePreview();
  });
  connect(Panel2, &QPushButton::clicked, this, [this] { pickColour(true); });
  connect(Panel3, &QPushButton::clicked, this, [this] { pickColour(false); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    ApplyDisplayDefaults(DisplaySettings);
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(ComboBox1->findText(DisplaySettings.FontName));
    showSwatches();
    SpinEdit2->setValue(kDefaultFontSize);
    SpinEdit1->setValue(kDefaultLineSpacing);
    schedulePreview();
  });
  connect(BitBtn4, &QPushButton::clicked, this, [this] {
    ApplyNightColours(DisplaySettings);
    showSwatches();
    schedulePreview();
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { confirm(); });
  rebuildPreview();
}

// Shown once the control has taken 170 (fixup runs inside the control's
// own handling of the text); 确定 waits for it.
void TFrmUISet::spacingRefused() {
  if (m_spacingRefused)
    return;
  m_spacingRefused = true;
  QTimer::singleShot(0, this, [this] {
    dialogs().warning(DisplayText::BadSpacing, DisplayText::BadSpacingCaption);
    m_spacingRefused = false;
  });
}

void TFrmUISet::showSwatches() {
  Panel2->setStyleSheet(QStringLiteral("background:%1; border:1px solid #888;").arg(DisplaySettings.FontColor));
  Panel3->setStyleSheet(QStringLiteral("background:%1; border:1px solid #888;").arg(DisplaySettings.BackColor));
}

void TFrmUISet::pickColour(bool text) {
  QString &value = text ? DisplaySettings.FontColor : DisplaySettings.BackColor;
  const std::optional<QColor> chosen =
      dialogs().pickColor(toQColor(HtmlToColor(value)), text ? QStringLiteral("字体颜色") : QStringLiteral("背景色"));
  if (!chosen)
    return;
  value = ColorToHtml(*chosen);
  showSwatches();
  schedulePreview();
}

void TFrmUISet::schedulePreview() { m_previewTimer->start(); }

void TFrmUISet::rebuildPreview() {
  m_previewTimer->stop();
  WritePreviewHead(QStringLiteral("界面设置"), *WebBrowser1);
  WritePreviewStyle(*WebBrowser1);
  for (const char16_t *line : kSampleBody)
    WebBrowser1->writeln(QString::fromUtf16(line));
  for (const Sample &s : kSamples) {
    const QString id = QStringLiteral("ID_%1_NoChildTable_0_1").arg(s.id);
    WebBrowser1->writeln(QStringLiteral("<TABLE width=\"95%\" border=0 align=\"center\" cellPadding=0 cellSpacing=3>"));
    WebBrowser1->writeln(QStringLiteral("<TR><TD class=\"TestMainTitle\"><SPAN id=\"") + id + QStringLiteral("_Color\">") +
                         QString::fromUtf16(s.stem) + QStringLiteral("</SPAN></TD></TR>"));
    WebBrowser1->writeln(QStringLiteral("<TR><TD class=\"TestContent\">"));
    for (int k = 0; k < 5; ++k) {
      const QString letter(QChar(u'A' + k));
      const QString reply = id + QStringLiteral("_Reply");
      WebBrowser1->writeln(QStringLiteral("<input type=\"radio\" id=\"") + reply + u'_' + letter +
                           QStringLiteral("\" name=\"") + reply + QStringLiteral("\" value=\"") + letter +
                           QStringLiteral("\"><label for=\"") + reply + u'_' + letter + QStringLiteral("\">") +
                           QString::fromUtf16(s.options[k]) + QStringLiteral("</label><br>"));
    }
    WebBrowser1->writeln(QStringLiteral("</TD></TR></TABLE>"));
    WebBrowser1->writeln(QStringLiteral("<TABLE width=\"95%\" border=0 align=\"center\" cellPadding=0 cellSpacing=3 "
                                        "id=\"ToolBar1\" class=\"TestToolBar\">"));
    WebBrowser1->writeln(QStringLiteral("<TR><TD><span id=\"ID_1_NoChildTable_0_1_ShowButton\" class=\"ShowAnswer\">显示答案</span>&nbsp;"));
    WebBrowser1->writeln(QStringLiteral("<a><span class=\"ShowAnswer\">收藏本题</span></a>&nbsp;</TD></TR></TABLE>"));
  }
  WebBrowser1->writeln(QStringLiteral("</form></div></body></html>"));
}

void TFrmUISet::confirm() {
  if (m_spacingRefused)
    return; // the learner reads the message first
  try {
    StoreDisplaySettings(m_dm, DisplaySettings); // all five or none
  } catch (const AppError &e) {
    dialogs().warning(e.message(), DisplayText::Caption);
    return;
  }
  m_atOpen = DisplaySettings;
  try {
    WriteStyleSheet(m_dir);
  } catch (const AppError &e) {
    dialogs().warning(DisplayText::SheetFailed + e.message(), DisplayText::Caption);
    return;
  }
  accept();
}

void TFrmUISet::done(int result) {
  if (result != QDialog::Accepted)
    DisplaySettings = m_atOpen;
  TFrmBase::done(result);
}

bool OpenDisplaySettings(TDataModule1 &dm, const ProgramDir &dir, const HtmlViewFactory &makeView, QWidget *parent) {
  const QStringList fonts =
      FontChoices(QFontDatabase::families(), FontConfAliases(dir.resolve(QStringLiteral("fonts/fonts.conf"))));
  return execOwned(new TFrmUISet(dm, dir, fonts, makeView, parent)) == QDialog::Accepted;
}
