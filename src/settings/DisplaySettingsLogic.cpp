#include "settings/DisplaySettingsLogic.h"
#include "store/DM.h"
#include "store/ParametersRepository.h"
#include "store/Transaction.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>

QString FontSizeText(int n) { return QString::number(n) + QStringLiteral("px"); }

QString ToolbarSizeFor(int n) { return FontSizeText(std::max(n - 4, kMinFontSize)); }

int StoredFontSize(const QString &text) {
  const QString digits = text.left(text.indexOf(QLatin1Char('p')) < 0 ? text.size() : text.indexOf(QLatin1Char('p')));
  bool ok = false;
  const int n = digits.trimmed().toInt(&ok);
  return ok ? n : kDefaultFontSize;
}

int StoredLineSpacing(const QString &text) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  return ok ? n : kDefaultLineSpacing;
}

void ApplyDisplayDefaults(TDisplaySettings &s) {
  s.FontName = QStringLiteral("宋体");
  s.FontSize = FontSizeText(kDefaultFontSize);
  s.ToolbarFontSize = ToolbarSizeFor(kDefaultFontSize);
  s.FontColor = QStringLiteral("#000000");
  s.BackColor = QStringLiteral("#F9F9F9");
  s.LineSpacing = QString::number(kDefaultLineSpacing);
}

void ApplyNightColours(TDisplaySettings &s) {
  s.FontColor = kNightText;
  s.BackColor = kNightBack;
}

SpinStart FitForDialog(TDisplaySettings &s) {
  SpinStart start;
  start.fontSize = std::clamp(StoredFontSize(s.FontSize), kMinFontSize, kMaxFontSize);
  start.lineSpacing = std::clamp(StoredLineSpacing(s.LineSpacing), kMinLineSpacing, kMaxLineSpacing);
  s.FontSize = FontSizeText(start.fontSize);
  s.ToolbarFontSize = ToolbarSizeFor(start.fontSize);
  s.LineSpacing = QString::number(start.lineSpacing);
  return start;
}

QStringList FontChoices(const QStringList &installed, const QStringList &aliases) {
  static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
  QStringList out;
  for (const QString &name : aliases)
    if (!name.isEmpty() && !out.contains(name))
      out << name;
  for (QString name : installed) {
    name.remove(foundry);
    if (!name.isEmpty() && !out.contains(name))
      out << name;
  }
  return out;
}

QStringList FontConfAliases(const QString &fontsConfPath) {
  QFile f(fontsConfPath);
  QStringList out;
  if (!f.open(QIODevice::ReadOnly))
    return out;
  QXmlStreamReader xml(&f);
  int depthInAlias = 0;
  bool wantFamily = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == QLatin1String("alias")) {
        depthInAlias = 1;
        wantFamily = true;
      } else if (depthInAlias > 0) {
        ++depthInAlias;
        if (wantFamily && depthInAlias == 2 && xml.name() == QLatin1String("family")) {
          out << xml.readElementText().trimmed();
          wantFamily = false;
          --depthInAlias;
        }
      }
    } else if (xml.isEndElement() && depthInAlias > 0) {
      --depthInAlias;
    }
  }
  return out;
}

void StoreDisplaySettings(TDataModule1 &dm, const TDisplaySettings &s) {
  Transaction t(dm);
  ParametersRepository p(dm);
  p.write(QStringLiteral("字体"), s.FontName);
  p.write(QStringLiteral("字号"), s.FontSize);
  p.write(QStringLiteral("颜色"), s.FontColor);
  p.write(QStringLiteral("背景色"), s.BackColor);
  p.write(QStringLiteral("行间距"), s.LineSpacing);
  t.commit();
}
