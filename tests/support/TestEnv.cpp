#include "TestEnv.h"
#include "render/ChromiumFlags.h"
#include "store/BankBuilder.h"
#include "store/FileError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace TestEnv {

void prepareHeadless() {
  auto setDefault = [](const char *name, const QByteArray &value) {
    if (qEnvironmentVariableIsEmpty(name))
      qputenv(name, value);
  };
  setDefault("QT_QPA_PLATFORM", "offscreen");
  setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
  // The switches the program runs its views with (no WebRTC over UDP).
  AddProgramChromiumFlags();
  setDefault("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
  const QString runtime = QDir::tempPath() + QStringLiteral("/qbrx-test-runtime");
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  setDefault("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  const QString fonts = stagedDir() + QStringLiteral("/fonts/fonts.conf");
  if (QFileInfo::exists(fonts))
    setDefault("FONTCONFIG_FILE", QFile::encodeName(fonts));
}

QString sourceDir() { return QStringLiteral(QBRX_SOURCE_DIR); }
QString stagedDir() { return QStringLiteral(QBRX_STAGED_DIR); }

bool runningAsRoot() { return ::geteuid() == 0; }

static const int kNobody = 65534;

QStringList ordinaryUser(const QString &program, const QStringList &arguments) {
  if (!runningAsRoot())
    return QStringList{program} + arguments;
  return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(kNobody),
                     QStringLiteral("--regid=%1").arg(kNobody), QStringLiteral("--clear-groups"),
                     QStringLiteral("--"), program} +
         arguments;
}

void handToOrdinaryUser(const QString &path) {
  if (!runningAsRoot())
    return;
  auto give = [](const QString &p) { (void)::lchown(QFile::encodeName(p).constData(), kNobody, kNobody); };
  give(path);
  QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext())
    give(it.next());
}

QStringList demoSqlFiles() {
  QDir dir(sourceDir() + QStringLiteral("/assets/sql/demo"));
  QStringList files;
  for (const QString &name : dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
    files << dir.filePath(name);
  return files;
}

static void copyTree(const QString &from, const QString &to) {
  QDir().mkpath(to);
  QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    const QString dst = to + src.mid(from.size());
    if (it.fileInfo().isDir())
      QDir().mkpath(dst);
    else
      QFile::copy(src, dst);
  }
}

ProgramDirFixture::ProgramDirFixture(const QStringList &sqlTexts) {
  const QString staged = stagedDir();
  for (const char *sub : {"css", "images", "fonts"})
    copyTree(staged + QLatin1Char('/') + QLatin1String(sub), root() + QLatin1String(sub));
  if (sqlTexts.isEmpty())
    BuildBank(root() + QStringLiteral("QBRX.db"), demoSqlFiles());
  else
    BuildBankFromTexts(root() + QStringLiteral("QBRX.db"), sqlTexts);
}

QString ProgramDirFixture::root() const { return m_dir.path() + QLatin1Char('/'); }

} // namespace TestEnv
