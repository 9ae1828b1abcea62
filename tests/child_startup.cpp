// Runs the start-up sequence on a program directory and kills itself with
// SIGKILL at the named point: a step of the sequence, or "txn" (in the middle
// of a write transaction after start-up). Used by the crash test.
// With "race" it starts up, stores one test record and ends normally: exit
// code 0 when it did, 4 when another program held the directory, 3 when the
// start failed otherwise (the fatal message).
// With "report" it starts up and ends: exit code 10 + the StartupResult, the
// detail and the notice on standard output.

#include "store/DM.h"
#include "store/Startup.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3)
    return 2;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const QByteArray where = argv[2];
  auto die = [] { ::kill(::getpid(), SIGKILL); };
  TDataModule1 dm;
  QString detail, notice;
  const StartupResult r = OpenBankAtStartup(
      dm, dir,
      [&](StartupStep s) {
        if (QByteArray::number(int(s)) == where)
          die();
      },
      &detail, &notice);
  if (where == "report") {
    std::printf("%s\n%s\n", detail.toUtf8().constData(), notice.toUtf8().constData());
    return 10 + int(r);
  }
  if (r == StartupResult::AlreadyRunning)
    return 4;
  if (r != StartupResult::Opened)
    return 3;
  if (where == "race") {
    dm.ADOQuery1.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('race')"));
    dm.ADOQuery1.ExecSQL();
    return 0;
  }
  if (where == "txn") {
    // A tiny page cache makes SQLite spill changed pages into the file
    // before the commit, so the journal has to put them back.
    auto exec = [&](const QString &sql) {
      dm.ADOQuery1.SQL.Clear();
      dm.ADOQuery1.SQL.Add(sql);
      dm.ADOQuery1.ExecSQL();
    };
    exec(QStringLiteral("PRAGMA cache_size=2"));
    dm.ADOConnection1.BeginTrans();
    exec(QStringLiteral("UPDATE 小题 SET 解释=解释||hex(randomblob(600))"));
    exec(QStringLiteral("DELETE FROM 答案选项"));
    for (int i = 0; i < 200; ++i)
      exec(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('x')"));
    die();
  }
  return 0;
}
