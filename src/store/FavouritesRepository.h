#pragma once
// The favourite marks of sub-questions (小题.是否收藏), read and written on
// query objects of the repository's own: the page bridge toggles a mark
// inside nested event loops, where a dialog may be walking ADOQuery1..4.

#include "store/DM.h"

#include <QString>
#include <optional>
#include <vector>

class FavouritesRepository {
public:
  explicit FavouritesRepository(TADOConnection &connection);
  explicit FavouritesRepository(TDataModule1 &dm);

  enum class Toggle { NotFound, Marked, Unmarked };
  // Flips the mark of sub-question `xiaoTiHao`. Throws EDatabaseError.
  Toggle toggle(qint64 xiaoTiHao);
  // Sets the mark of sub-question `xiaoTiHao` to `marked` (Marked or
  // Unmarked), whatever it was. Throws EDatabaseError.
  Toggle mark(qint64 xiaoTiHao, bool marked);
  // The mark of sub-question `xiaoTiHao`; nullopt when there is none.
  std::optional<bool> isMarked(qint64 xiaoTiHao);
  // Sets (or clears) the mark of every listed sub-question, all or nothing
  // (one transaction). Throws EDatabaseError.
  void setMarked(const std::vector<int> &xiaoTiHao, bool marked);
  // Clears every mark that is set; the number of marks cleared (0 when none
  // was left). Throws EDatabaseError.
  int clearAll();

  // The favourite link of the question page: the page passes the number as
  // text, which is read as a decimal integer before it reaches a statement
  // (any other text finds nothing). "ok" when the mark flipped, "" when no
  // such sub-question, "Error" after an engine error, which the learner is
  // told of.
  QString toggleFromPage(const QString &text);
  // The same, setting the state the page's link shows: `wanted` "1" marks,
  // "0" clears; any other text (a page that passes none) flips the mark.
  QString markFromPage(const QString &text, const QString &wanted);

private:
  TADOConnection &m_connection;
  TADOQuery m_read;
  TADOQuery m_write;
};
