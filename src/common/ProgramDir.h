#pragma once
// File names of the program are relative to the program directory and may be
// written with "\" and in any letter case ("CSS\im", "main.css"): resolve()
// finds the file that exists under another case, so that the names reach the
// files the program ships (css/im, css/Main.css).

#include <QString>

class ProgramDir {
public:
  ProgramDir() = default;
  explicit ProgramDir(const QString &root); // made absolute, trailing "/" added

  QString root() const { return m_root; } // with trailing "/"
  // The path of `relative` below the root: "\" becomes "/", and every part
  // that does not exist as written is matched case-insensitively against the
  // directory's entries. Parts that match nothing are kept as written.
  QString resolve(const QString &relative) const;

  QString bankPath() const { return m_root + QStringLiteral("QBRX.db"); }
  QString questionPagePath() const { return resolve(QStringLiteral("css/Question.html")); }
  // The error feedback form's one-question page, apart from the paper.
  QString feedbackPagePath() const { return resolve(QStringLiteral("css/Feedback.html")); }
  QString styleSheetPath() const { return resolve(QStringLiteral("css/Main.css")); }

  // The program's own shared libraries (libunrar.so) are loaded by full
  // path from the library folder: by default the program directory itself
  // (a staged or copied program keeps them beside the program). An
  // installed program sets its read-only library folder once at start, so
  // that nothing is ever loaded from the learner's writable folder.
  static void setLibraryDir(const QString &dir); // empty: the program directory
  QString libraryPath(const QString &fileName) const;

private:
  QString m_root;
};

// Case-insensitive resolution of `relative` below any directory.
QString resolvePathNoCase(const QString &base, const QString &relative);
