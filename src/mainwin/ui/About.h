#pragma once
// TFrmAbout: the contact dialog (联系我们). Names in plain words: docs/NAMES.md
// The contact dialog ("联系我们"): the vendor's fixed contact lines.

#include <QDialog>

class QLabel;

class TFrmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TFrmAbout(QWidget *parent = nullptr);

  QLabel *LabContacts = nullptr;
};
