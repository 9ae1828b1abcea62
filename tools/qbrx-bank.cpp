// qbrx-bank: the vendor's tool for making question banks.
//   qbrx-bank build OUT.db [--no-schema] [--allow-markup-warnings] FILE.sql...
//   qbrx-bank export IN.db OUT.sqlite
//   qbrx-bank synth OUT.db --questions N [--tests N] [--seed S]
//   qbrx-bank digest IN.db   (the digest of the learner's data in a bank)

#include "BankDigest.h"
#include "BankSynth.h"
#include "store/BankBuilder.h"
#include "store/FileError.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

static int usage() {
  std::fputs("usage:\n"
             "  qbrx-bank build OUT.db [--no-schema] [--allow-markup-warnings] FILE.sql...\n"
             "  qbrx-bank export IN.db OUT.sqlite\n"
             "  qbrx-bank synth OUT.db --questions N [--tests N] [--seed S]\n"
             "  qbrx-bank digest IN.db\n",
             stderr);
  return 2;
}

static void warn(const QString &text) {
  std::fprintf(stderr, "qbrx-bank: 警告：%s\n", text.toUtf8().constData());
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
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
