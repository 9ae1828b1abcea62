#include "mainwin/ProgramLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withSlash(const QString &dir) {
  QString d = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
  if (!d.endsWith(QLatin1Char('/')))
    d += QLatin1Char('/');
  return d;
}

bool isEmptyFolder(const QString &dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

const QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions kOwnerDir = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// Makes `path` and every missing folder above it, each readable by its
// owner only (what XDG asks of the data folders it names). Folders that
// exist already keep their modes.
bool makePrivatePath(const QString &path) {
  const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  QStringList missing;
  for (QString p = clean; !QFileInfo::exists(p); p = QFileInfo(p).absolutePath()) {
    missing.prepend(p);
    if (p == QFileInfo(p).absolutePath())
      break;
  }
  for (const QString &p : missing) {
    if (::mkdir(QFile::encodeName(p).constData(), 0700) != 0 && !QFileInfo(p).isDir())
      return false;
  }
  return QFileInfo(clean).isDir();
}

// The copy is the learner's own: folders 0700, files 0600.
bool copyTree(const QString &from, const QString &to, QString *error) {
  if (!makePrivatePath(to)) {
    *error = to;
    return false;
  }
  QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    const QString dst = to + src.mid(from.size());
    const QFileInfo info = it.fileInfo();
    if (info.isSymLink())
      continue; // the template holds none; a link would point into the install
    if (info.isDir()) {
      if (!makePrivatePath(dst)) {
        *error = dst;
        return false;
      }
    } else {
      if (!QFile::copy(src, dst)) {
        *error = dst;
        return false;
      }
      QFile::setPermissions(dst, kOwnerFile | (info.permissions() & QFile::ExeOwner));
    }
  }
  return true;
}

} // namespace

InstallLayout DetectInstallLayout(const QString &executableDir) {
  InstallLayout layout;
  layout.executableDir = withSlash(executableDir);
  layout.libraryDir = layout.executableDir;
  if (QFileInfo::exists(layout.executableDir + QStringLiteral("QBRX.db")))
    return layout;
  const QString prefix = layout.executableDir + QStringLiteral("../");
  const QString templ = withSlash(prefix + QStringLiteral(QBRX_TEMPLATE_DIR));
  if (QFileInfo(templ + QStringLiteral("QBRX.db")).isFile()) {
    layout.templateDir = templ;
    layout.libraryDir = withSlash(prefix + QStringLiteral(QBRX_LIBRARY_DIR));
  }
  return layout;
}

QString LearnerDataDir() {
  return withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/qbrx"));
}

bool IsWritableFolder(const QString &dir) {
  if (!QFileInfo(dir).isDir())
    return false;
  QTemporaryFile probe(withSlash(dir) + QStringLiteral(".qbrx-write-test-XXXXXX"));
  return probe.open();
}

bool SeedFromTemplate(const QString &templateDir, const QString &target, QString *error) {
  const QString dest = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
  const QString parent = QFileInfo(dest).absolutePath();
  if (!makePrivatePath(parent)) {
    *error = parent;
    return false;
  }
  // Made beside the target under a name of this process, then renamed:
  // the target holds either nothing or the whole template.
  const QString part = dest + QStringLiteral(".part-%1").arg(::getpid());
  QDir(part).removeRecursively();
  QString failed;
  if (!copyTree(QDir::cleanPath(templateDir), part, &failed)) {
    QDir(part).removeRecursively();
    *error = failed;
    return false;
  }
  QFile::setPermissions(part, kOwnerDir);
  if (QFileInfo::exists(dest))
    QDir().rmdir(dest); // empty (checked by the caller); rename needs it gone
  if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(dest).constData()) != 0) {
    QDir(part).removeRecursively();
    // A second start of the same learner made the folder meanwhile: theirs
    // is as good as ours.
    if (QFileInfo(dest + QStringLiteral("/QBRX.db")).isFile())
      return true;
    *error = dest;
    return false;
  }
  return true;
}

QString UnwritableProgramDirMessage(const QString &dir, ProgramDirMode mode) {
  QString text = QStringLiteral("程序目录不可写，无法启动：%1\n请确认程序目录可以写入后再启动。").arg(dir);
  if (mode == ProgramDirMode::BesideProgram)
    text += QStringLiteral("\n\n本软件也可以像其他桌面程序一样安装（Debian 软件包 qbrx）：安装后程序本身只读，"
                           "每位学员的数据放在自己的 %1 中。也可以用 --program-dir 指定一个可写的文件夹。")
                .arg(QDir::toNativeSeparators(LearnerDataDir()));
  else
    text += QStringLiteral("\n\n也可以用 --program-dir 指定一个可写的文件夹。");
  return text;
}

ProgramDirChoice ChooseProgramDir(const InstallLayout &layout, const QString &chosenDir, const QString &learnerDir) {
  ProgramDirChoice choice;
  QString dir;
  if (!chosenDir.isEmpty()) {
    choice.mode = ProgramDirMode::Chosen;
    dir = chosenDir;
  } else if (layout.installed()) {
    choice.mode = ProgramDirMode::Learner;
    dir = learnerDir;
  } else {
    choice.mode = ProgramDirMode::BesideProgram;
    dir = layout.executableDir;
  }
  choice.root = withSlash(dir);

  const QFileInfo info(QDir::cleanPath(choice.root));
  if (info.exists() && !info.isDir()) {
    choice.error = QStringLiteral("程序目录不是文件夹，无法启动：%1").arg(QDir::cleanPath(choice.root));
    return choice;
  }
  if (choice.mode != ProgramDirMode::BesideProgram && (!info.exists() || isEmptyFolder(choice.root))) {
    if (!layout.installed()) {
      if (!info.exists()) {
        choice.error = QStringLiteral("指定的程序目录不存在，无法启动：%1").arg(QDir::cleanPath(choice.root));
        return choice;
      }
    } else {
      QString failed;
      if (!SeedFromTemplate(layout.templateDir, choice.root, &failed)) {
        choice.error = QStringLiteral("无法建立学员的程序目录：%1\n（写入 %2 失败。）请确认该文件夹所在的位置可以写入，"
                                      "或用 --program-dir 指定一个可写的文件夹。")
                           .arg(QDir::cleanPath(choice.root), failed);
        return choice;
      }
      choice.seeded = true;
    }
  }
  if (!IsWritableFolder(choice.root)) {
    choice.error = UnwritableProgramDirMessage(QDir::cleanPath(choice.root), choice.mode);
    return choice;
  }
  // A learner's folder made by an earlier version may be open to others:
  // it holds their history, so it becomes their own.
  if (choice.mode == ProgramDirMode::Learner && QFileInfo(choice.root).ownerId() == ::geteuid())
    QFile::setPermissions(choice.root, kOwnerDir);
  return choice;
}
