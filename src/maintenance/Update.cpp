#include "maintenance/Update.h"

#include <QStringDecoder>

QString ReadVersionText(const QByteArray &file, QString *error) {
  QByteArray line = file;
  if (line.startsWith("\xEF\xBB\xBF"))
    line.remove(0, 3);
  const qsizetype end = line.indexOf('\n');
  if (end >= 0)
    line.truncate(end);
  if (line.endsWith('\r'))
    line.chop(1);
  const auto fail = [&](const QString &why) {
    if (error)
      *error = why;
    return QString();
  };
  if (line.contains('\0'))
    return fail(QStringLiteral("版本文件不是文本文件。"));
  const QByteArray head = file.left(512).trimmed().toLower();
  if (line.trimmed().startsWith('<') || head.startsWith("<!doctype") || head.startsWith("<html"))
    return fail(QStringLiteral("服务器送来的是网页，不是版本文件。"));
  // 8-bit text: UTF-8 when it is valid, otherwise one character per byte.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(line);
  if (utf8.hasError())
    text = QString::fromLatin1(line);
  if (error)
    error->clear();
  return text;
}

bool IsNewerVersion(const QString &offered, const QString &stored) {
  return QString::compare(offered, stored, Qt::CaseSensitive) > 0;
}
