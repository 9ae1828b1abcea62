#pragma once
#include <QByteArray>
#include <QString>

// A digest of what a learner adds to a bank: test records and their
// questions, favourite marks and the system parameters (display and score
// settings), but not the tree position every start writes. Two banks with
// the same digest hold the same learner data. Throws AppError when the bank
// cannot be read.
QByteArray LearnerDataDigest(const QString &bankPath);
