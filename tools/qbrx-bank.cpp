// qbrx-bank: the vendor's tool for making question banks.
//   qbrx-bank build OUT.db [--no-schema] [--allow-markup-warnings] FILE.sql...
//   qbrx-bank export IN.db OUT.sqlite
//   qbrx-bank synth OUT.db --questions N [--tests N] [--seed S]
//   qbrx-bank digest IN.db   (the digest of the learner's data in a bank)
//   qbrx-bank import OUT.db [--dry-run] [--include-hidden-sheets] [--keep-numbers-from OLD.db] FILE.xlsx|FILE.csv...
//   qbrx-bank export-sheet IN.db OUT.csv|OUT.xlsx
//   qbrx-bank check IN.db [--program-dir DIR]   (what makes the bank wrong for learners)
//   qbrx-bank due BANK [--on YYYY-MM-DD]   (the 小题号 due for review, one a line)

#include "BankDigest.h"
#include "BankSynth.h"
#include "store/BankBuilder.h"
#include "store/BankImport.h"
#include "store/BankLint.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/ReviewSchedule.h"
#include "store/FileError.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

static int usage() {
  std::fputs("usage:\n"
             "  qbrx-bank build OUT.db [--no-schema] [--allow-markup-warnings] FILE.sql...\n"
             "  qbrx-bank export IN.db OUT.sqlite\n"
             "  qbrx-bank synth OUT.db --questions N [--tests N] [--seed S]\n"
             "  qbrx-bank digest IN.db\n"
             "  qbrx-bank import OUT.db [--dry-run] [--include-hidden-sheets] [--keep-numbers-from OLD.db] FILE.xlsx|FILE.csv...\n"
             "  qbrx-bank export-sheet IN.db OUT.csv|OUT.xlsx\n"
             "  qbrx-bank check IN.db [--program-dir DIR]\n"
             "  qbrx-bank due BANK [--on YYYY-MM-DD]\n",
             stderr);
  return 2;
}

// --help: every command with its options, on stdout.
static int help() {
  std::fputs("用法：qbrx-bank 命令 参数...\n"
             "考试软件的题库工具：建立、导出、检查题库。\n"
             "\n"
             "  qbrx-bank build OUT.db [--no-schema] [--allow-markup-warnings] FILE.sql...\n"
             "      由 SQL 文件建立题库 OUT.db（已有的 OUT.db 被整个替换）。\n"
             "      --no-schema              不先建表（SQL 文件自带表结构）\n"
             "      --allow-markup-warnings  题目标记有问题时只警告，仍然建立题库\n"
             "  qbrx-bank export IN.db OUT.sqlite\n"
             "      把题库导出为普通 SQLite 文件。\n"
             "  qbrx-bank synth OUT.db --questions N [--tests N] [--seed S]\n"
             "      生成 N 道小题的测试题库；--tests 测试记录数，--seed 随机种子。\n"
             "  qbrx-bank digest IN.db\n"
             "      打印题库中学员数据（测试记录、收藏、设置）的摘要。\n"
             "  qbrx-bank import OUT.db [--dry-run] [--include-hidden-sheets] [--keep-numbers-from OLD.db] FILE.xlsx|FILE.csv...\n"
             "      由表格建立题库；--dry-run 只检查不写入，\n"
             "      --include-hidden-sheets 也读隐藏的工作表，\n"
             "      --keep-numbers-from 沿用旧题库中相同题目的编号。\n"
             "  qbrx-bank export-sheet IN.db OUT.csv|OUT.xlsx\n"
             "      把题库导出为表格。\n"
             "  qbrx-bank check IN.db [--program-dir DIR]\n"
             "      列出题库中对学员有害的问题，每行一个，有问题时退出码为 1；\n"
             "      --program-dir 到哪个程序目录的 css/im 找图片（默认题库所在目录）。\n"
             "  qbrx-bank due BANK [--on YYYY-MM-DD]\n"
             "      打印某天（默认今天）到期复习的小题号，每行一个。\n"
             "\n"
             "  -h, --help     显示这份说明后退出\n"
             "  -v, --version  显示版本号后退出\n",
             stdout);
  return 0;
}

static void warn(const QString &text) {
  std::fprintf(stderr, "qbrx-bank: 警告：%s\n", text.toUtf8().constData());
}

static void note(const QString &text) { std::fprintf(stderr, "qbrx-bank: %s\n", text.toUtf8().constData()); }

// import: every problem of every file on stderr, one a line, and nothing
// written when there is any.
static int importSheets(QStringList args) {
  BankImportOptions options;
  options.note = note;
  options.dryRun = args.removeAll(QStringLiteral("--dry-run")) > 0;
  options.includeHiddenSheets = args.removeAll(QStringLiteral("--include-hidden-sheets")) > 0;
  const qsizetype keep = args.indexOf(QStringLiteral("--keep-numbers-from"));
  if (keep >= 0) {
    if (keep + 1 >= args.size())
      return usage();
    options.keepNumbersFrom = args[keep + 1];
    args.remove(keep, 2);
  }
  if (args.size() < 2)
    return usage();
  const QString out = args.takeFirst();
  const BankImportResult result = ImportBankSheets(out, args, options);
  if (!result.problems.isEmpty()) {
    for (const QString &p : result.problems)
      std::fprintf(stderr, "%s\n", p.toUtf8().constData());
    std::fprintf(stderr, "qbrx-bank: 共 %lld 处问题，%s\n", qlonglong(result.problems.size()),
                 options.dryRun ? "请改正后再导入" : "没有写入题库");
    return 1;
  }
  const QString summary = QStringLiteral("%1 道小题（其中 %2 个案例），%3 个目录节点")
                              .arg(result.questions)
                              .arg(result.cases)
                              .arg(result.nodes);
  if (options.dryRun)
    std::printf("检查通过：%s（--dry-run，没有写入）\n", summary.toUtf8().constData());
  else
    std::printf("已写入 %s：%s\n", out.toUtf8().constData(), summary.toUtf8().constData());
  return 0;
}

// check: one line per problem on stdout, a summary, exit status 1 when any.
// Pictures are looked up in css/im of the program directory, by default the
// bank's own folder.
static int checkBank(QStringList args) {
  QString programDir;
  const qsizetype dir = args.indexOf(QStringLiteral("--program-dir"));
  if (dir >= 0) {
    if (dir + 1 >= args.size())
      return usage();
    programDir = args[dir + 1];
    args.remove(dir, 2);
  }
  if (args.size() != 1)
    return usage();
  if (programDir.isEmpty())
    programDir = QFileInfo(args[0]).absolutePath();
  const BankLintResult result = LintBankFile(args[0], programDir);
  for (const QString &p : result.problems)
    std::printf("%s\n", p.toUtf8().constData());
  std::printf("%s\n", result.summary().toUtf8().constData());
  return result.problems.isEmpty() ? 0 : 1;
}

// due: the sub-questions due for review on a day (today by default), by due
// date then number, from the bank's schedule or, when it has none, from its
// history replayed in memory. The bank is opened read-only: never written.
static int dueQuestions(const QStringList &args) {
  QDate on = QDate::currentDate();
  if (args.size() == 3 && args[1] == QLatin1String("--on")) {
    on = QDate::fromString(args[2], QStringLiteral("yyyy-MM-dd"));
    if (!on.isValid()) {
      std::fprintf(stderr, "qbrx-bank: 日期应写成 YYYY-MM-DD：%s\n", args[2].toUtf8().constData());
      return 2;
    }
  } else if (args.size() != 1) {
    return usage();
  }
  TADOConnection c;
  c.Open(args[0], QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
  QByteArray out;
  for (int n : ReviewSchedule::dueNumbers(c, on))
    out += QByteArray::number(n) + '\n';
  std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
  return 0;
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")))
    return help();
  if (args.size() == 1 && (args[0] == QLatin1String("--version") || args[0] == QLatin1String("-v"))) {
    std::printf("qbrx-bank %s\n", QBRX_VERSION);
    return 0;
  }
  if (args.size() == 2 && args[0] == QLatin1String("digest")) {
    try {
      std::printf("%s\n", LearnerDataDigest(args[1]).constData());
      return 0;
    } catch (const AppError &e) {
      std::fprintf(stderr, "qbrx-bank: %s\n", e.message().toUtf8().constData());
      return 1;
    }
  }
  if (args.size() < 2)
    return usage();
  const QString command = args.takeFirst();
  try {
    if (command == QLatin1String("build")) {
      const QString out = args.takeFirst();
      BankBuildOptions options;
      options.withSchema = !args.removeAll(QStringLiteral("--no-schema"));
      options.allowMarkupWarnings = args.removeAll(QStringLiteral("--allow-markup-warnings")) > 0;
      options.warning = warn;
      if (args.isEmpty() && !options.withSchema)
        return usage();
      BuildBank(out, args, options);
    } else if (command == QLatin1String("check")) {
      return checkBank(args);
    } else if (command == QLatin1String("import")) {
      return importSheets(args);
    } else if (command == QLatin1String("due")) {
      return dueQuestions(args);
    } else if (command == QLatin1String("export-sheet") && args.size() == 2) {
      ExportBankSheet(args[0], args[1], warn);
    } else if (command == QLatin1String("export") && args.size() == 2) {
      ExportBank(args[0], args[1]);
    } else if (command == QLatin1String("synth")) {
      const QString out = args.takeFirst();
      int questions = 0;
      int tests = -1;
      qulonglong seed = 1;
      for (int i = 0; i + 1 < args.size(); i += 2) {
        bool ok = false;
        if (args[i] == QLatin1String("--questions"))
          questions = args[i + 1].toInt(&ok);
        else if (args[i] == QLatin1String("--tests"))
          ok = (tests = args[i + 1].toInt(&ok)) >= 0 && ok;
        else if (args[i] == QLatin1String("--seed"))
          seed = args[i + 1].toULongLong(&ok);
        if (!ok)
          return usage();
      }
      if (questions <= 0 || args.size() % 2 != 0)
        return usage();
      SynthesizeBank(out, questions, seed, tests);
    } else {
      return usage();
    }
  } catch (const AppError &e) {
    std::fprintf(stderr, "qbrx-bank: %s\n", e.message().toUtf8().constData());
    return 1;
  }
  return 0;
}
