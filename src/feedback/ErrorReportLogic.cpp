#include "feedback/ErrorReportLogic.h"
#include "feedback/LibPq.h"
#include "common/Dialogs.h"
#include "render/Global.h"
#include "store/DM.h"
#include "store/SystemParameters.h"

#include <QtDebug>

const QStringList &ErrorReportLogic::captions() {
  static const QStringList list = {
      QStringLiteral("试题图片不显示"),         QStringLiteral("解题思路与题干不符"),
      QStringLiteral("试题不在考试大纲范围内"), QStringLiteral("解题思路图片不显示"),
      QStringLiteral("试题不属于本学科"),       QStringLiteral("试题过于陈旧"),
      QStringLiteral("试题有错别字"),           QStringLiteral("解题思路与答案相互矛盾"),
      QStringLiteral("解题思路有错别字"),       QStringLiteral("试题与其他试题重复"),
  };
  return list;
}

QString ErrorReportLogic::joinErrorInfo(const Ticks &ticked) {
  QString info;
  for (int i = 0; i < BoxCount; ++i) {
    if (!ticked[i])
      continue;
    if (!info.isEmpty())
      info += QLatin1Char(',');
    info += captions()[i];
  }
  return info;
}

QString ErrorReportLogic::connectionString(TDataModule1 &dm) {
  TADOQuery &q = dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(connectionParameter()));
  q.Open();
  const QString value = q.IsEmpty() ? QString() : q.FieldByName(QStringLiteral("参数值")).AsString();
  q.Close();
  return value;
}

FeedbackRow ErrorReportLogic::makeRow(int XiaoTiHao, const Ticks &ticked, const QString &memo) {
  FeedbackRow row;
  row.SubjectID = XiaoTiHao;
  row.ErrorInfo = joinErrorInfo(ticked);
  row.OtherInfo = memo;
  row.Status = QStringLiteral("提交");
  row.LibraryName = SoftTitle;
  return row;
}

ErrorReportLogic::Outcome ErrorReportLogic::submit(int XiaoTiHao, const Ticks &ticked, const QString &memo,
                                                   TDataModule1 &dm,
                                                   const std::function<void(bool)> &busy) {
  const QString caption = QStringLiteral("提示");
  if (memo.isEmpty()) {
    dialogs().information(QStringLiteral("请填写需要反馈的信息！"), caption);
    return Outcome::Refused;
  }

  FeedbackStore::Result result;
  if (XiaoTiHao < 1) {
    // Nothing to report on: the form was opened without a sub-question.
    result.error = QStringLiteral("no sub-question to report");
  } else {
    QString conninfo;
    try {
      conninfo = connectionString(dm);
    } catch (const std::exception &e) {
      result.error = QString::fromUtf8(e.what());
    }
    // Said as it is: no server configured, or the library reports need is
    // not installed (the package only recommends it).
    QString missing;
    if (result.error.isEmpty() && conninfo.trimmed().isEmpty())
      missing = QStringLiteral("错题反馈未配置：这个程序的发行方没有设置反馈服务器。");
    else if (result.error.isEmpty() && !LibPq::load(&result.error))
      missing = QStringLiteral("发送错题反馈需要 libpq5 软件包，请先安装它（sudo apt install libpq5）。");
    if (!missing.isEmpty()) {
      qWarning().noquote() << "error report not sent:" << (result.error.isEmpty() ? missing : result.error);
      dialogs().information(missing, caption);
      return Outcome::Failed;
    }
    if (result.error.isEmpty()) {
      if (busy)
        busy(true);
      result = FeedbackStore(conninfo).insertWaiting(makeRow(XiaoTiHao, ticked, memo));
      if (busy)
        busy(false);
    }
  }

  if (!result.ok) {
    qWarning().noquote() << "error report not sent:" << result.error;
    dialogs().information(failureMessage(result.error), caption);
    return Outcome::Failed;
  }
  dialogs().information(QStringLiteral("提交错题反馈成功！"), caption);
  return Outcome::Sent;
}

QString ErrorReportLogic::failureReason(const QString &error) {
  const QString e = error.toLower();
  const auto has = [&e](const char *text) { return e.contains(QLatin1String(text)); };
  if (has("no connection string"))
    return QStringLiteral("没有设置错误反馈服务器");
  if (has("no sub-question"))
    return QStringLiteral("没有要反馈的试题");
  if (has("invalid connection string") || has("missing \"=\"") || has("unterminated quoted string") ||
      has("invalid connection option"))
    return QStringLiteral("错误反馈服务器的设置有误");
  if (has("connection refused"))
    return QStringLiteral("服务器拒绝连接（服务器没有运行，或者地址、端口不对）");
  if (has("timeout") || has("timed out") || has("given up") || has("canceling statement"))
    return QStringLiteral("连接服务器超时（网络不通，或者服务器没有应答）");
  if (has("could not translate host name") || has("name or service not known"))
    return QStringLiteral("找不到错误反馈服务器（请检查网络）");
  if (has("does not exist") || has("authentication") || has("password") || has("permission denied") ||
      has("no pg_hba.conf entry"))
    return QStringLiteral("服务器拒绝了这份反馈（服务器上的数据库或账户不对）");
  if (has("network is unreachable") || has("no route to host"))
    return QStringLiteral("网络不通");
  return QStringLiteral("网络或服务器出错");
}

QString ErrorReportLogic::failureMessage(const QString &error) {
  return QStringLiteral("提交错题反馈失败！\n原因：") + failureReason(error);
}
