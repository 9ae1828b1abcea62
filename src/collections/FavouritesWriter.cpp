#include "collections/FavouritesWriter.h"
#include "common/Dialogs.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "store/DM.h"
#include "store/FavouritesRepository.h"
#include "store/Transaction.h"

#include <algorithm>
#include <vector>

namespace {
// How long a write waits when the connection is inside another transaction
// (a nested event loop of some other writer).
constexpr int kBusyRetryMs = 50;
} // namespace

int FavouritesWriter::nextWriteInMs() const {
  if (!m_lastWrite.isValid())
    return 0;
  return int(std::clamp<qint64>(kMinWriteGapMs - m_lastWrite.elapsed(), 0, kMinWriteGapMs));
}

void FavouritesWriter::schedule() {
  if (!m_pending.empty() && !m_timer.isActive())
    m_timer.start(nextWriteInMs());
}

FavouritesWriter::FavouritesWriter(TDataModule1 &dm, const PaperState &paper, QObject *parent)
    : QObject(parent), m_dm(dm), m_paper(paper) {
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &FavouritesWriter::flush);
}

void FavouritesWriter::listenTo(AppEvents &events) {
  connect(&events, &AppEvents::favouriteRequested, this, &FavouritesWriter::request);
  connect(this, &FavouritesWriter::favouriteToggled, &events, &AppEvents::favouriteToggled);
}

void FavouritesWriter::request(int XiaoTiHao, FavouriteMark mark) {
  if (m_telling || !m_paper.links(XiaoTiHao))
    return;
  const auto [at, added] = m_pending.try_emplace(XiaoTiHao, mark);
  if (!added) {
    FavouriteMark &pending = at->second;
    if (mark != FavouriteMark::Flip)
      pending = mark;
    else if (pending == FavouriteMark::Set)
      pending = FavouriteMark::Clear;
    else if (pending == FavouriteMark::Clear)
      pending = FavouriteMark::Set;
    else
      m_pending.erase(at); // two flips: as before them
  }
  schedule();
}

void FavouritesWriter::flush() {
  m_timer.stop();
  if (m_pending.empty() || m_telling)
    return;
  TADOConnection &connection = m_dm.ADOConnection1;
  if (!connection.Connected()) {
    m_pending.clear(); // no bank to write to
    return;
  }
  if (connection.InTransaction()) {
    m_timer.start(kBusyRetryMs);
    return;
  }
  std::map<int, FavouriteMark> work;
  work.swap(m_pending);
  std::vector<int> written;
  m_lastWrite.start();
  try {
    FavouritesRepository repository(connection);
    Transaction transaction(connection);
    for (const auto &[number, mark] : work) {
      // The paper may have changed since the call (a new page, a bank
      // replaced): its questions only.
      if (!m_paper.links(number))
        continue;
      const FavouritesRepository::Toggle done =
          mark == FavouriteMark::Flip ? repository.toggle(number) : repository.mark(number, mark == FavouriteMark::Set);
      if (done != FavouritesRepository::Toggle::NotFound)
        written.push_back(number);
    }
    transaction.commit();
  } catch (const std::exception &) {
    m_telling = true;
    m_pending.clear();
    dialogs().information(FavouritesWriterText::Failed, FavouritesWriterText::FailedCaption);
    m_telling = false;
    return;
  }
  for (int number : written)
    emit favouriteToggled(number);
  schedule();
}
