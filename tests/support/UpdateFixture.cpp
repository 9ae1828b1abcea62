#include "UpdateFixture.h"

#include "store/BankBuilder.h"

#include <QFile>
#include <QTemporaryDir>

namespace UpdateFixture {

QByteArray newerBankFile(const QString &version, const QString &title) {
  QStringList texts;
  for (const QString &file : TestEnv::demoSqlFiles()) {
    if (file.endsWith(QLatin1String("80-history.sql")))
      continue;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
      qFatal("cannot read the demo SQL");
    texts << QString::fromUtf8(f.readAll());
  }
  texts << QStringLiteral("UPDATE 系统参数 SET 参数值='%1' WHERE 参数名='题库版本';").arg(version)
        << QStringLiteral("UPDATE 系统参数 SET 参数值='%1' WHERE 参数名='软件标题';").arg(title)
        << QStringLiteral("DELETE FROM 答案选项 WHERE 小题号=2; DELETE FROM 小题 WHERE 小题号=2;");
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("QBRX.db"));
  BuildBankFromTexts(path, texts);
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    qFatal("cannot read the new bank");
  return f.readAll();
}

QByteArray rar(const std::vector<std::pair<std::string, QByteArray>> &entries, int version) {
  RarWriter::Archive a;
  a.version = version;
  for (const auto &[name, data] : entries) {
    RarWriter::Entry e;
    e.name = name;
    e.data = data.toStdString();
    e.unicode = true;
    a.entries.push_back(e);
  }
  const std::string bytes = RarWriter::build(a);
  return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void serveNewer(HttpTestServer &server, const QByteArray &bankFile, const QByteArray &version) {
  server.serve("/update/TKVersion.inf", version);
  server.serve("/update/QBRX.rar", rar({{"qbrx.db", bankFile}}));
  server.serve("/update/images.rar", rar({{"pic1.gif", "GIF89a-new-1"},
                                          {"sub/pic2.png", "PNG-new-2"},
                                          {".thumbs/pic1.gif", "GIF89a-thumb-1"}}));
  server.serve("/update/KSDG.rar", rar({{"index.html", "<html>outline 2026</html>"}}));
}

void prepareLearner(OpenedBank &bank) {
  for (const QString &sql : {QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号 IN(1,2,3)"),
                             QStringLiteral("UPDATE 系统参数 SET 参数值='黑体' WHERE 参数名='字体'"),
                             QStringLiteral("UPDATE 类型说明 SET 分数=3 WHERE 题目类型='判断题'")}) {
    TADOQuery q(bank.dm.ADOConnection1, QStringLiteral("prepare"));
    q.SQL.Add(sql);
    q.ExecSQL();
  }
  QFile::copy(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), bank.dir.path(QStringLiteral("libunrar.so")));
}

} // namespace UpdateFixture
