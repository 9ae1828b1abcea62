#pragma once
// What the error feedback form does, without its widgets: the fault
// descriptions of its check boxes, the joined ErrorInfo text and the submit
// step with its messages.

#include "feedback/FeedbackStore.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class TDataModule1;

class ErrorReportLogic {
public:
  static constexpr int BoxCount = 10;
  using Ticks = std::array<bool, BoxCount>; // CheckBox1 .. CheckBox10

  // The captions of CheckBox1 .. CheckBox10, in box order.
  static const QStringList &captions();
  // The captions of the ticked boxes in box order, joined with ","; empty
  // text when none is ticked.
  static QString joinErrorInfo(const Ticks &ticked);

  // The system parameter holding the libpq connection string of the
  // feedback database.
  static QString connectionParameter() { return QStringLiteral("错误反馈数据库"); }
  // Reads that parameter on the general query; empty text when the row is
  // missing. Engine errors propagate.
  static QString connectionString(TDataModule1 &dm);

  // The row a report on sub-question `XiaoTiHao` sends: its number, the
  // joined captions, the memo as it is, "提交" and SoftTitle.
  static FeedbackRow makeRow(int XiaoTiHao, const Ticks &ticked, const QString &memo);

  // Why a report was not sent, in words for the learner, from the error
  // text of FeedbackStore::Result (libpq's or the store's own).
  static QString failureReason(const QString &error);
  // The message of a failed report: the failure, then its reason.
  static QString failureMessage(const QString &error);

  enum class Outcome { Refused, Sent, Failed };
  // The confirm button: refuses an empty memo, reads the connection string
  // anew, sends the row and tells the learner the outcome (every message
  // through dialogs()). `busy` is called with true before the wait for the
  // server and with false after it.
  // A number below 1 (no sub-question) fails without sending.
  static Outcome submit(int XiaoTiHao, const Ticks &ticked, const QString &memo, TDataModule1 &dm,
                        const std::function<void(bool busy)> &busy = {});
};
