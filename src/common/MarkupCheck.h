#pragma once
// Bank texts are the vendor's HTML and go into the question page as markup.
// Most markup is welcome; some would swallow the rest of the page (every
// question after it): an unclosed <textarea>, <script>, <style>, <title>,
// comment or quoted attribute, a tag cut off before its ">", or an end tag
// such as </table> or </div> that closes the page's own elements. This
// checker finds those, so the bank tool can refuse the text and the page
// builder can show it as plain text instead.

#include <QString>

class MarkupCheck {
public:
  struct Problem {
    int offset = -1;   // character offset in the text; -1 when the text is fine
    QString message;   // what is wrong, in Chinese
    explicit operator bool() const { return offset >= 0; }
  };

  // The first problem of `html`, or an empty Problem when the text can be
  // written into a page as markup.
  static Problem check(const QString &html);
  static bool isSafe(const QString &html) { return !check(html); }
  // `html` itself when it is safe, otherwise the text escaped so that the page
  // shows it literally.
  static QString pageText(const QString &html);
  // Any text as the value of a quoted attribute: '"', '&' and '<' escaped,
  // so that the page reads back exactly the text.
  static QString attributeText(const QString &text);
};
