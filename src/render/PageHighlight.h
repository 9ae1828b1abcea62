#pragma once
// Marks the found text in the question page once it has loaded: a script
// run in the page wraps each match inside the sub-question stems (the spans
// "T{X}_{X}") in a span of class "SearchHit" with a yellow background. The
// page's file and the bank's HTML stay as they are; grading, the show-answer
// links and the page's own script do not see the marks.

#include <QString>

// A JavaScript regular expression (its source, for the flags "gu") that
// finds, inside one text, what the LIKE fragment `text` matches there:
// "%" any run of characters, "_" one character, an ASCII letter in either
// case, everything else as typed. "%" at either end is dropped (a match is
// as short as it can be). Empty when the fragment has nothing but
// wildcards: that would mark everything.
QString LikeFragmentRegExp(const QString &text);

// The script that marks the matches of `text` in the page and evaluates to
// how many it marked; empty when there is nothing to mark. Running it again
// on a marked page marks nothing more.
QString HighlightScript(const QString &text);
