#include "mainwin/ui/Application.h"
#include "common/ErrorHandler.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QbrxApplication::QbrxApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void QbrxApplication::useProgramFont() {
  QFont f = font();
  f.setFamilies({QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC")});
  setFont(f);
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
