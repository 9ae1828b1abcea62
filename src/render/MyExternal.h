#pragma once
// The page bridge: what the question page's script calls through
// window.external. The favourite link calls DoSeaarchData with the
// sub-question number as text, the feedback link calls SubbitError.
// Both work on the program's data module (DataModule1).

#include <QObject>
#include <QString>

class TMyExternal : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;

public slots:
  // Toggles the favourite mark of a sub-question: TDataModule1::SCBT.
  QString DoSeaarchData(const QString &ASQL);
  // Opens error feedback for a sub-question: TDataModule1::CTFK.
  void SubbitError(int XiaoTiHao);
};
