#pragma once
// Writes the favourite marks the page on display asks for (the page bridge's
// favouriteRequested). Page script is untrusted: only a number that a link of
// the question page passes is taken (PaperState::links), and a
// storm of calls costs the window no freeze: each request only records the
// state its question is to have, and what is recorded is written in one
// transaction when the event loop next turns — at most one transaction
// every kMinWriteGapMs, so a storm does not become thousands of synced
// commits. The bank ends as the last call for each question says; a flip
// applies to the state the earlier calls left. favouriteToggled follows for
// each question written.

#include "render/FavouriteMark.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <map>

class AppEvents;
class TDataModule1;
struct PaperState;

namespace FavouritesWriterText {
inline const QString Failed = QStringLiteral("收藏/取消收藏操作失败，请重新操作!");
inline const QString FailedCaption = QStringLiteral("操作失败");
} // namespace FavouritesWriterText

class FavouritesWriter : public QObject {
  Q_OBJECT
public:
  // The shortest time between two write transactions: a learner's click
  // alone is written at the next turn of the event loop.
  static constexpr int kMinWriteGapMs = 40;

  // `paper` (the paper on display, whose links decide) outlives the writer.
  FavouritesWriter(TDataModule1 &dm, const PaperState &paper, QObject *parent = nullptr);

  // Takes the requests that come as the program's event and announces what
  // it wrote as favouriteToggled there.
  void listenTo(AppEvents &events);

  // Requests recorded and not yet written.
  bool hasPending() const { return !m_pending.empty(); }

public slots:
  // Records what the page asks for sub-question `XiaoTiHao`; dropped when
  // the page on display has no link for it.
  void request(int XiaoTiHao, FavouriteMark mark);
  // Writes what is recorded, in one transaction (its timer calls it).
  // An engine error rolls all of it back and is told once, as
  // FavouritesWriterText; calls that come while the message is shown are
  // dropped (the learner is asked to do them again).
  void flush();

signals:
  void favouriteToggled(int XiaoTiHao);

private:
  int nextWriteInMs() const;
  void schedule(); // the timer started for what is pending

  TDataModule1 &m_dm;
  const PaperState &m_paper;
  std::map<int, FavouriteMark> m_pending; // by sub-question number
  QTimer m_timer;
  QElapsedTimer m_lastWrite; // since the last write transaction began
  bool m_telling = false; // the failure message is up
};
