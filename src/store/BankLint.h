#pragma once
// What makes a bank wrong for learners, found by reading it: choice answers
// without their option, the same stem twice, empty stems, cases without
// sub-questions, types missing from 类型说明, texts the page would show as
// plain text or that carry script, navigation or network addresses,
// pictures that are not under css/im, tree nodes without questions, texts
// over 1 MB. For bank authors (`qbrx-bank check`) and the import's notes.

#include <QString>
#include <QStringList>

class TADOConnection;

struct BankLintResult {
  // One line per problem: "表:编号: 字段: 问题".
  QStringList problems;
  int questions = 0; // sub-questions read
  // What the problems are, by kind ("选择题答案" -> 3), in the order first met.
  QList<std::pair<QString, int>> kinds;
  QString summary() const; // "共 5 处问题：…" or "没有发现问题"
};

// The bank open on `connection`. `programDir`: the folder whose css/im the
// pages' pictures are looked up in; empty: pictures are not checked.
BankLintResult LintBank(TADOConnection &connection, const QString &programDir);

// The bank file at `path` (masked or not), opened read-only. Throws AppError
// when it cannot be opened.
BankLintResult LintBankFile(const QString &path, const QString &programDir);
