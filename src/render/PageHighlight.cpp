#include "render/PageHighlight.h"

#include <QJsonArray>
#include <QJsonDocument>

QString LikeFragmentRegExp(const QString &text) {
  qsizetype from = 0, to = text.size();
  while (from < to && text[from] == QLatin1Char('%'))
    ++from;
  while (to > from && text[to - 1] == QLatin1Char('%'))
    --to;
  static const QString syntax = QStringLiteral("^$\\.*+?()[]{}|/");
  QString out;
  bool literal = false;
  for (qsizetype i = from; i < to; ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('%')) {
      out += QStringLiteral("[\\s\\S]*?");
    } else if (c == QLatin1Char('_')) {
      out += QStringLiteral("[\\s\\S]");
    } else {
      literal = true;
      const char16_t u = c.unicode();
      if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) {
        out += QLatin1Char('[') + QChar(u | 0x20) + QChar(u & ~0x20) + QLatin1Char(']');
      } else {
        // With the flag "u" only syntax characters may be escaped.
        if (syntax.contains(c))
          out += QLatin1Char('\\');
        out += c;
      }
    }
  }
  return literal ? out : QString();
}

QString HighlightScript(const QString &text) {
  const QString source = LikeFragmentRegExp(text);
  if (source.isEmpty())
    return QString();
  // A JSON string is a JavaScript string literal.
  QByteArray literal = QJsonDocument(QJsonArray{source}).toJson(QJsonDocument::Compact);
  literal = literal.mid(1, literal.size() - 2);
  return QStringLiteral(R"JS((function (source) {
  if (document.querySelector('span.SearchHit')) return 0;
  var re = new RegExp(source, 'gu'), count = 0;
  var stems = document.querySelectorAll('span[id^="T"]');
  for (var i = 0; i < stems.length; ++i) {
    if (!/^T\d+_\d+$/.test(stems[i].id)) continue;
    var walker = document.createTreeWalker(stems[i], NodeFilter.SHOW_TEXT), texts = [];
    for (var n = walker.nextNode(); n; n = walker.nextNode()) texts.push(n);
    texts.forEach(function (node) {
      var s = node.data, last = 0, m, parts = null;
      re.lastIndex = 0;
      while ((m = re.exec(s)) !== null) {
        if (m[0].length === 0) { re.lastIndex++; continue; }
        parts = parts || document.createDocumentFragment();
        parts.appendChild(document.createTextNode(s.slice(last, m.index)));
        var mark = document.createElement('span');
        mark.className = 'SearchHit';
        mark.style.backgroundColor = '#FFFF00';
        mark.textContent = m[0];
        parts.appendChild(mark);
        last = m.index + m[0].length;
        ++count;
      }
      if (parts) {
        parts.appendChild(document.createTextNode(s.slice(last)));
        node.parentNode.replaceChild(parts, node);
      }
    });
  }
  return count;
})()JS") + QString::fromUtf8(literal) + QLatin1Char(')');
}
