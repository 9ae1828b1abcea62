#pragma once
// The page bridge: what the question page's script calls through
// window.external. The favourite link calls DoSeaarchData with the
// sub-question number as text and the state it shows, the feedback link
// calls SubbitError.
//
// The bridge opens no window: it toggles the favourite mark in the bank and
// tells whoever listens through its signals (the main window opens the
// feedback form).

#include <QObject>
#include <QString>

class TDataModule1;

class TMyExternal : public QObject {
  Q_OBJECT
public:
  // `dm` may be null (no bank: the calls do nothing).
  explicit TMyExternal(TDataModule1 *dm = nullptr, QObject *parent = nullptr);

  void setDataModule(TDataModule1 *dm) { m_dm = dm; }

public slots:
  // Sets the favourite mark of a sub-question to the state the page's link
  // shows: `Mark` "1" or "0"; without one (empty) the mark flips
  // (FavouritesRepository::markFromPage, on query objects of its own).
  // favouriteToggled follows when the mark was written.
  QString DoSeaarchData(const QString &ASQL, const QString &Mark);
  // Asks for error feedback on a sub-question: errorReportRequested, emitted
  // after the page's call has returned (a form with a page of its own cannot
  // load while the engine is still delivering this call).
  void SubbitError(int XiaoTiHao);

signals:
  void favouriteToggled(int XiaoTiHao);
  void errorReportRequested(int XiaoTiHao);

private:
  TDataModule1 *m_dm = nullptr;
};
