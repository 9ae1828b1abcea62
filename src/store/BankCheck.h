#pragma once
// The whole check of a bank file that is to take the bank's place (a
// restore, the bank an update brings): a regular file of a size a bank can
// have, with a header page of ours, that opens with the password (masked or
// not) under the defensive open and its schema check, passes the engine's
// quick check and holds the program's tables.

#include <QString>

class TADOConnection;

// The largest bank file a restore or an update takes: far above a bank of
// 100,000 questions with their history (well under 200 MB), far below what
// would fill a disk or hold the window for long.
constexpr qint64 kMaxBankFileBytes = qint64(1) << 30;

// Why a file of `bytes` bytes is too large, or empty.
QString BankSizeRefusal(qint64 bytes);

// Why the bank open on `connection` is not one to put in the bank's place
// (the quick check fails, a table of the program is missing), or empty.
QString OpenBankRefusal(TADOConnection &connection);

// Why the file at `path` is not one to put in the bank's place, or empty.
// The file is opened read-only and immutable: it is never written, and a
// journal or WAL beside it is neither read nor changed. A Chinese sentence.
QString BankFileRefusal(const QString &path);
