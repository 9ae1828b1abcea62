#pragma once
// An update server on loopback with the three archives of a newer bank,
// and the program directory of the bank being updated (the demo bank, with
// favourites, a font and a score of the learner's own and libunrar.so).

#include "BankFixture.h"
#include "HttpTestServer.h"
#include "RarWriter.h"

#include <QByteArray>
#include <QString>

namespace UpdateFixture {

// A bank file like the demo one, but of version `version`, with the title
// `title`, no test records and without the sub-question 2.
QByteArray newerBankFile(const QString &version = QStringLiteral("2026.02"),
                         const QString &title = QStringLiteral("新题库 2026"));

// A RAR 5 archive of stored entries (name, bytes).
QByteArray rar(const std::vector<std::pair<std::string, QByteArray>> &entries, int version = 5);

// Serves, under /update/, the version file and the three archives: the
// bank as entry "qbrx.db", the pictures pic1.gif, sub/pic2.png and
// .thumbs/pic1.gif, the outline index.html.
void serveNewer(HttpTestServer &server, const QByteArray &bankFile, const QByteArray &version = "2026.02\r\n");

// Learner's own state on an opened demo bank: favourites 1, 2 and 3, the
// font 黑体, 判断题 worth 3; libunrar.so copied in.
void prepareLearner(OpenedBank &bank);

} // namespace UpdateFixture
