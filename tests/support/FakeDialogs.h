#pragma once
#include "common/Dialogs.h"

#if __has_include(<QDialog>)
#include <QDialog>
#define QBRX_FAKE_DIALOGS_WIDGETS 1
#endif
#include <QColor>
#include <QList>
#include <optional>
#include <QStringList>
#include <functional>

// A scripted Dialogs: records every message and question, answers questions
// from a queue (then with defaultAnswer), and hands modal forms to a handler.
// Installs itself on construction and restores the fallback when destroyed.
class FakeDialogs : public Dialogs {
public:
  struct Shown {
    QString text;
    QString caption;
    Icon icon;
  };

  FakeDialogs() { setDialogs(this); }
  ~FakeDialogs() override { setDialogs(nullptr); }

  QList<Shown> shown;         // messages and questions, in order
  QList<bool> answers;        // answers for the next questions
  bool defaultAnswer = false; // when the queue is empty
  QStringList openedUrls;
  int beeps = 0;
  QString nextOpenFile, nextSaveFile;
  std::optional<QColor> nextColor;
  // Called for a modal form instead of exec(); its return is the result.
  // Without a handler, the form is rejected at once.
  std::function<int(QDialog &)> modalHandler;
  QStringList modalForms; // class names of the forms shown

  void message(const QString &text, const QString &caption, Icon icon) override {
    shown.append({text, caption, icon});
  }
  bool question(const QString &text, const QString &caption) override {
    shown.append({text, caption, Icon::Question});
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
  }
  void beep() override { ++beeps; }
  QString openFileName(const QString &, const QString &, const QString &) override { return nextOpenFile; }
  QString saveFileName(const QString &, const QString &, const QString &, const QString &suffix) override {
    lastSaveSuffix = suffix;
    return nextSaveFile;
  }
  QString lastSaveSuffix;
  std::optional<QColor> pickColor(const QColor &, const QString &) override { return nextColor; }
  bool openUrl(const QString &target) override {
    openedUrls.append(target);
    return true;
  }
  int execModal(QDialog &dialog) override {
#ifdef QBRX_FAKE_DIALOGS_WIDGETS
    modalForms.append(QString::fromLatin1(dialog.metaObject()->className()));
#else
    modalForms.append(QStringLiteral("QDialog")); // a logic test shows no form
#endif
    return modalHandler ? modalHandler(dialog) : 0; // 0: rejected
  }

  // Texts of everything shown, for compact comparisons.
  QStringList texts() const {
    QStringList out;
    for (const Shown &s : shown)
      out << s.text;
    return out;
  }
  bool sawText(const QString &text) const { return texts().contains(text); }
};
