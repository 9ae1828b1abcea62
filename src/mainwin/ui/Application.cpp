#include "mainwin/ui/Application.h"
#include "render/ui/PageParts.h"
#include "common/ErrorHandler.h"
#include "store/BankWorker.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QbrxApplication::QbrxApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // Before any web engine object.
  PageParts::registerScheme();
}

QbrxApplication::~QbrxApplication() {
  // Waits for a warm-up still running.
  m_fontWarmUp.reset();
}

void QbrxApplication::useProgramFont() {
  QFont f = font();
  f.setFamilies({QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC")});
  setFont(f);
  // The font database and fontconfig are shared by every thread (Qt's font
  // classes may be used from any thread): what the worker reads, matches
  // and opens the window finds ready.
  m_fontWarmUp.reset();
  m_fontWarmUp = std::make_unique<BankWorker>(nullptr, [f] {
    QFontDatabase::families();
    QFontMetrics(f).horizontalAdvance(QStringLiteral("题库"));
  });
  m_fontWarmUp->start();
}

bool QbrxApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &e) {
    ShowException(e);
  } catch (...) {
    ShowUnknownException();
  }
  return false;
}

bool QbrxApplication::installChineseTranslations() {
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  bool any = false;
  for (const char *name : {"qtbase", "qtwebengine"}) {
    auto *t = new QTranslator(this);
    if (t->load(chinese, QLatin1String(name), QStringLiteral("_"), dir)) {
      installTranslator(t);
      any = true;
    } else {
      delete t;
    }
  }
  return any;
}
