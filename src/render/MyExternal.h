#pragma once
// The page bridge: what the question page's script calls through
// window.external. The favourite link calls DoSeaarchData with the
// sub-question number as text and the state it shows, the feedback link
// calls SubbitError.
//
// The bridge only asks: it reads what the page passed and emits a request.
// It touches no bank and opens no window; whoever listens decides
// (collections/FavouritesWriter writes the marks of the paper on display,
// the main window opens the feedback form). Page script is untrusted: any
// number of calls, with any arguments, may come.

#include "render/FavouriteMark.h"

#include <QObject>
#include <QString>

class TMyExternal : public QObject {
  Q_OBJECT
public:
  explicit TMyExternal(QObject *parent = nullptr);

  // What DoSeaarchData reads from the page's texts: a decimal sub-question
  // number (blanks around it allowed, nothing else) and the wanted state:
  // "1" set, "0" clear, anything else (a page that passes none) a flip.
  // False for a text that is no such number: no statement ever sees it.
  static bool readFavouriteCall(const QString &ASQL, const QString &Mark, int *XiaoTiHao, FavouriteMark *mark);

public slots:
  // Asks for the favourite mark of a sub-question (favouriteRequested);
  // the page does not look at any result.
  void DoSeaarchData(const QString &ASQL, const QString &Mark);
  // Asks for error feedback on a sub-question: errorReportRequested, emitted
  // after the page's call has returned (a form with a page of its own cannot
  // load while the engine is still delivering this call). Calls that come
  // before that emission add nothing: one request, for the first number.
  void SubbitError(int XiaoTiHao);

signals:
  void favouriteRequested(int XiaoTiHao, FavouriteMark mark);
  void errorReportRequested(int XiaoTiHao);

private:
  bool m_reportPending = false;
};
