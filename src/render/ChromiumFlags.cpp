#include "render/ChromiumFlags.h"

#include <QList>
#include <QtGlobal>

namespace {

const char *const kSwitches[] = {
    "--force-webrtc-ip-handling-policy=disable_non_proxied_udp",
};

// The name of a switch: "--name" of "--name=value".
QByteArray switchName(const QByteArray &word) {
  const int eq = int(word.indexOf('='));
  return eq < 0 ? word : word.left(eq);
}

} // namespace

QByteArray WithProgramChromiumFlags(const QByteArray &flags) {
  QList<QByteArray> words;
  for (const QByteArray &word : flags.simplified().split(' ')) {
    bool ours = false;
    for (const char *s : kSwitches)
      ours = ours || switchName(word) == switchName(s);
    if (!word.isEmpty() && !ours)
      words << word;
  }
  for (const char *s : kSwitches)
    words << QByteArray(s);
  return words.join(' ');
}

void AddProgramChromiumFlags() {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", WithProgramChromiumFlags(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
}
