#include "common/ProgramDir.h"

#include <QDir>
#include <QFileInfo>

ProgramDir::ProgramDir(const QString &root) {
  m_root = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
  if (!m_root.endsWith(QLatin1Char('/')))
    m_root += QLatin1Char('/');
}

namespace {
QString g_libraryDir;
}

void ProgramDir::setLibraryDir(const QString &dir) {
  g_libraryDir = dir.isEmpty() ? QString() : ProgramDir(dir).root();
}

QString ProgramDir::libraryPath(const QString &fileName) const {
  return (g_libraryDir.isEmpty() ? m_root : g_libraryDir) + fileName;
}

QString ProgramDir::resolve(const QString &relative) const { return resolvePathNoCase(m_root, relative); }

QString resolvePathNoCase(const QString &base, const QString &relative) {
  QString rel = relative;
  rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
  while (rel.startsWith(QLatin1String("./")))
    rel.remove(0, 2);
  QString current = base;
  if (!current.endsWith(QLatin1Char('/')))
    current += QLatin1Char('/');
  const QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (int i = 0; i < parts.size(); ++i) {
    QString part = parts[i];
    if (part != QLatin1String(".") && part != QLatin1String("..") && !QFileInfo::exists(current + part)) {
      const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                          QDir::NoDotAndDotDot);
      for (const QString &entry : entries) {
        if (entry.compare(part, Qt::CaseInsensitive) == 0) {
          part = entry;
          break;
        }
      }
    }
    current += part;
    if (i + 1 < parts.size())
      current += QLatin1Char('/');
  }
  return current;
}
