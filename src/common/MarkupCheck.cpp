#include "common/MarkupCheck.h"

#include <array>
#include <iterator>

namespace {

bool isAsciiLetter(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isSpace(QChar c) {
  return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
         c == QLatin1Char('\f');
}

// Elements whose content is raw text up to their own end tag: left open,
// they take every byte of the page after them.
bool isRawText(const QString &name) {
  static const char *const names[] = {"script", "style",    "textarea", "title",   "xmp",
                                      "iframe", "noscript", "noembed",  "noframes"};
  for (const char *n : names)
    if (name == QLatin1String(n))
      return true;
  return false;
}

// Elements the page itself is built of: an end tag of one that the text did
// not open closes the page's element instead.
constexpr const char *kPageStructure[] = {"form", "table", "caption", "colgroup", "thead", "tbody", "tfoot", "tr",
                                          "td",   "th",    "div",     "span",     "label", "center", "select"};
constexpr int kStructureCount = int(std::size(kPageStructure));
constexpr int kSelect = kStructureCount - 1;

// The index of `name` in kPageStructure, or -1.
int pageStructure(const QString &name) {
  for (int k = 0; k < kStructureCount; ++k)
    if (name == QLatin1String(kPageStructure[k]))
      return k;
  return -1;
}

// The end of the tag that starts at `from` (just after its name): the index
// of its ">", or -1 when the text ends first (also inside a quoted value).
int tagEnd(const QString &s, int from) {
  const int n = int(s.size());
  for (int i = from; i < n; ++i) {
    const QChar c = s[i];
    if (c == QLatin1Char('>'))
      return i;
    if (c == QLatin1Char('=')) {
      int j = i + 1;
      while (j < n && isSpace(s[j]))
        ++j;
      if (j < n && (s[j] == QLatin1Char('"') || s[j] == QLatin1Char('\''))) {
        const int close = int(s.indexOf(s[j], j + 1));
        if (close < 0)
          return -1;
        i = close;
      } else {
        i = j - 1;
      }
    }
  }
  return -1;
}

// The index of the end tag "</name" (any case, followed by space, "/" or
// ">") at or after `from`, or -1.
int endTagOf(const QString &s, const QString &name, int from) {
  const QString needle = QStringLiteral("</") + name;
  for (int i = int(s.indexOf(needle, from, Qt::CaseInsensitive)); i >= 0;
       i = int(s.indexOf(needle, i + 1, Qt::CaseInsensitive))) {
    const int after = i + int(needle.size());
    if (after >= s.size() || isSpace(s[after]) || s[after] == QLatin1Char('/') || s[after] == QLatin1Char('>'))
      return i;
  }
  return -1;
}

MarkupCheck::Problem problemAt(int offset, const QString &message) {
  MarkupCheck::Problem p;
  p.offset = offset;
  p.message = message;
  return p;
}

} // namespace

MarkupCheck::Problem MarkupCheck::check(const QString &s) {
  const int n = int(s.size());
  const QStringView view(s);
  std::array<int, kStructureCount> open{}; // page-structure elements the text opened and has not closed
  int firstSelect = -1;
  for (int i = int(s.indexOf(QLatin1Char('<'))); i >= 0 && i < n; i = int(s.indexOf(QLatin1Char('<'), i))) {
    const int start = i;
    if (view.mid(i, 4) == QLatin1String("<!--")) {
      // "<!-->" and "<!--->" end at once; otherwise "-->" or "--!>" ends it.
      if (view.mid(i, 5) == QLatin1String("<!-->") || view.mid(i, 6) == QLatin1String("<!--->")) {
        i = int(s.indexOf(QLatin1Char('>'), i)) + 1;
        continue;
      }
      int end = int(s.indexOf(QLatin1String("-->"), i + 4));
      const int bang = int(s.indexOf(QLatin1String("--!>"), i + 4));
      if (end < 0 || (bang >= 0 && bang < end))
        end = bang;
      if (end < 0)
        return problemAt(start, QStringLiteral("注释“<!--”没有结束的“-->”"));
      i = end + 3;
      continue;
    }
    if (i + 1 >= n) {
      ++i; // a lone "<" at the very end is text
      continue;
    }
    const QChar next = s[i + 1];
    if (next == QLatin1Char('!') || next == QLatin1Char('?')) {
      const int end = int(s.indexOf(QLatin1Char('>'), i));
      if (end < 0)
        return problemAt(start, QStringLiteral("“<%1”没有结束的“>”").arg(next));
      i = end + 1;
      continue;
    }
    const bool endTag = next == QLatin1Char('/');
    int j = i + (endTag ? 2 : 1);
    if (j >= n || !isAsciiLetter(s[j])) {
      if (endTag && j >= n)
        return problemAt(start, QStringLiteral("“</”没有结束的“>”"));
      ++i; // "<" followed by anything else is text ("a < b")
      continue;
    }
    const int nameStart = j;
    while (j < n && !isSpace(s[j]) && s[j] != QLatin1Char('/') && s[j] != QLatin1Char('>'))
      ++j;
    const QString name = s.mid(nameStart, j - nameStart).toLower();
    const int end = tagEnd(s, j);
    if (end < 0)
      return problemAt(start, QStringLiteral("标记“<%1%2”没有结束的“>”").arg(endTag ? QStringLiteral("/") : QString(), name));
    i = end + 1;
    if (endTag) {
      if (name == QLatin1String("body") || name == QLatin1String("html") || name == QLatin1String("head"))
        return problemAt(start, QStringLiteral("结束标记“</%1>”会结束整个页面").arg(name));
      const int k = pageStructure(name);
      if (k >= 0) {
        if (open[k] == 0)
          return problemAt(start, QStringLiteral("多余的结束标记“</%1>”会关闭页面自己的元素").arg(name));
        if (--open[k] == 0 && k == kSelect)
          firstSelect = -1;
      }
      continue;
    }
    if (name == QLatin1String("plaintext"))
      return problemAt(start, QStringLiteral("“<plaintext>”会吞掉页面其余的内容"));
    if (isRawText(name)) {
      const int close = endTagOf(s, name, i);
      if (close < 0)
        return problemAt(start, QStringLiteral("“<%1>”没有结束标记“</%1>”").arg(name));
      const int closeEnd = tagEnd(s, close + 2 + int(name.size()));
      if (closeEnd < 0)
        return problemAt(close, QStringLiteral("标记“</%1”没有结束的“>”").arg(name));
      i = closeEnd + 1;
      continue;
    }
    const int k = pageStructure(name);
    if (k >= 0) {
      ++open[k];
      if (k == kSelect && firstSelect < 0)
        firstSelect = start;
    }
  }
  // An open list box takes the following inputs and text of the page.
  if (firstSelect >= 0)
    return problemAt(firstSelect, QStringLiteral("“<select>”没有结束标记“</select>”"));
  return {};
}

QString MarkupCheck::pageText(const QString &html) {
  if (!html.contains(QLatin1Char('<')) || isSafe(html))
    return html;
  return html.toHtmlEscaped();
}

QString MarkupCheck::attributeText(const QString &text) {
  if (!text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('&')) && !text.contains(QLatin1Char('<')))
    return text;
  QString out;
  out.reserve(text.size() + 16);
  for (const QChar c : text) {
    if (c == QLatin1Char('"'))
      out += QLatin1String("&quot;");
    else if (c == QLatin1Char('&'))
      out += QLatin1String("&amp;");
    else if (c == QLatin1Char('<'))
      out += QLatin1String("&lt;");
    else
      out += c;
  }
  return out;
}
