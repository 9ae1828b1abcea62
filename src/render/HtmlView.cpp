#include "render/HtmlView.h"
#include "store/FileError.h"

QString ChoiceMark::optionId(int k) const { return QString::number(number) + QLatin1Char('/') + QString::number(k); }

QString ChoiceMark::stemId() const {
  const QString n = QString::number(number);
  return QLatin1Char('T') + n + QLatin1Char('_') + n;
}

std::optional<std::vector<bool>> HtmlView::markChoices(const std::vector<ChoiceMark> &items, const QString &color) {
  // Every option input and, so that a page lacking one is noticed too, the stems.
  QStringList ids;
  for (const ChoiceMark &m : items) {
    for (int k = 0; k < m.options; ++k)
      ids << m.optionId(k);
    ids << m.stemId();
  }
  const std::vector<std::optional<bool>> read = readChecked(ids);
  if (read.size() != size_t(ids.size()))
    throw AppError(QStringLiteral("读取答题状态失败：页面返回 %1 项，应为 %2 项。").arg(read.size()).arg(ids.size()));
  std::vector<bool> states;
  states.reserve(read.size());
  QStringList wrong;
  size_t next = 0;
  for (const ChoiceMark &m : items) {
    QString letters;
    for (int k = 0; k < m.options; ++k, ++next) {
      if (!read[next])
        return std::nullopt;
      states.push_back(*read[next]);
      if (*read[next])
        letters += QChar(ushort('A' + k));
    }
    if (!read[next++])
      return std::nullopt;
    if (letters != m.rightLetters)
      wrong << m.stemId();
  }
  if (!wrong.isEmpty())
    setColor(wrong, color);
  return states;
}
