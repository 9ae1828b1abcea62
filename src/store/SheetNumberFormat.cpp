// Number format codes of workbooks, as far as the text they show can be
// known without a locale: dates and times (Chinese and numeric forms),
// fixed decimals, thousands separators, percentages, scientific notation
// and literal text. Fractions, conditions and other numeral systems are
// refused, so a caller can ask for the cell as text instead of guessing.

#include "store/SheetFile.h"

#include <QDate>
#include <cmath>

namespace {

// A number as a person reads it: whole numbers without a fraction, the
// rest without the binary noise of doubles (0.1+0.2 shows as 0.3).
QString general(double d) {
  if (d == std::floor(d) && std::fabs(d) < 1e15)
    return QString::number(qint64(d));
  return QString::number(d, 'g', 15);
}

enum class Tok { Literal, Year, Month, Day, Weekday, Hour, Minute, Second, SubSecond, AmPm, ElapsedH, ElapsedM, ElapsedS,
                 MonthOrMinute, Digit, Point, Comma, Percent, Exponent, General };

struct Token {
  Tok kind;
  QString text; // a literal's text; a date part's letters; a digit's placeholder; AM/PM's form
};

// The sections of a code: "positive;negative;zero;text".
QStringList sections(const QString &code) {
  QStringList out;
  QString cur;
  bool quoted = false;
  for (qsizetype i = 0; i < code.size(); ++i) {
    const QChar c = code[i];
    if (c == u'"')
      quoted = !quoted;
    if (!quoted && c == u'\\' && i + 1 < code.size()) {
      cur += c;
      cur += code[++i];
      continue;
    }
    if (!quoted && c == u';') {
      out << cur;
      cur.clear();
      continue;
    }
    cur += c;
  }
  out << cur;
  return out;
}

bool tokenize(const QString &s, std::vector<Token> &toks) {
  auto lit = [&](const QString &t) {
    if (!toks.empty() && toks.back().kind == Tok::Literal)
      toks.back().text += t;
    else
      toks.push_back({Tok::Literal, t});
  };
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    const QChar lc = c.toLower();
    if (c == u'"') {
      const qsizetype end = s.indexOf(u'"', i + 1);
      if (end < 0)
        return false;
      lit(s.mid(i + 1, end - i - 1));
      i = end;
    } else if (c == u'\\') {
      if (i + 1 < s.size())
        lit(QString(s[++i]));
    } else if (c == u'_') {
      ++i;
      lit(QStringLiteral(" "));
    } else if (c == u'*') {
      ++i; // a fill character: no fixed text
    } else if (c == u'[') {
      const qsizetype end = s.indexOf(u']', i);
      if (end < 0)
        return false;
      const QString in = s.mid(i + 1, end - i - 1);
      const QString l = in.toLower();
      i = end;
      if (in.startsWith(u'$')) {
        const qsizetype dash = in.indexOf(u'-');
        lit(in.mid(1, dash < 0 ? -1 : dash - 1)); // [$¥-804]: the symbol
      } else if (l == u"h" || l == u"hh") {
        toks.push_back({Tok::ElapsedH, l});
      } else if (l == u"m" || l == u"mm") {
        toks.push_back({Tok::ElapsedM, l});
      } else if (l == u"s" || l == u"ss") {
        toks.push_back({Tok::ElapsedS, l});
      } else if (QStringList{"black", "blue", "cyan", "green", "magenta", "red", "white", "yellow"}.contains(l) ||
                 l.startsWith(QLatin1String("color"))) {
        // a colour shows no text
      } else {
        return false; // conditions, [DBNum1], calendars: not known here
      }
    } else if (s.mid(i, 7).compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
      toks.push_back({Tok::General, {}});
      i += 6;
    } else if (s.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
      toks.push_back({Tok::AmPm, QStringLiteral("AM/PM")});
      i += 4;
    } else if (s.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
      toks.push_back({Tok::AmPm, QStringLiteral("A/P")});
      i += 2;
    } else if (s.mid(i, 5) == QStringLiteral("上午/下午")) {
      toks.push_back({Tok::AmPm, QStringLiteral("上午/下午")});
      i += 4;
    } else if (lc == u'y' || lc == u'm' || lc == u'd' || lc == u'h' || lc == u's' || (lc == u'a' && s.mid(i, 3).toLower() == u"aaa") ||
               (lc == u'e' && (i + 1 >= s.size() || (s[i + 1] != u'+' && s[i + 1] != u'-')))) {
      qsizetype j = i;
      while (j < s.size() && s[j].toLower() == lc)
        ++j;
      const QString run = s.mid(i, j - i).toLower();
      i = j - 1;
      Tok k = Tok::Literal;
      switch (lc.unicode()) {
      case u'y': case u'e': k = Tok::Year; break;
      case u'm': k = Tok::MonthOrMinute; break;
      case u'd': k = run.size() >= 3 ? Tok::Weekday : Tok::Day; break;
      case u'a': k = Tok::Weekday; break;
      case u'h': k = Tok::Hour; break;
      default: k = Tok::Second; break;
      }
      toks.push_back({k, run});
    } else if (c == u'0' || c == u'#' || c == u'?') {
      toks.push_back({Tok::Digit, QString(c)});
    } else if (c == u'.') {
      toks.push_back({Tok::Point, {}});
    } else if (c == u',') {
      toks.push_back({Tok::Comma, {}});
    } else if (c == u'%') {
      toks.push_back({Tok::Percent, {}});
    } else if (lc == u'e' && i + 1 < s.size() && (s[i + 1] == u'+' || s[i + 1] == u'-')) {
      toks.push_back({Tok::Exponent, QString(s[i + 1])});
      ++i;
    } else if (c == u'@') {
      toks.push_back({Tok::General, {}});
    } else if (c == u'/') {
      if (!toks.empty() && toks.back().kind == Tok::Digit)
        return false; // a fraction ("# ?/?")
      lit(QStringLiteral("/")); // a date separator
    } else if (c.isLetter() && c.unicode() < 128) {
      return false; // B (Buddhist years), g (eras) and the like
    } else {
      lit(QString(c));
    }
  }
  return true;
}

bool isDatePart(Tok k) {
  switch (k) {
  case Tok::Year: case Tok::Month: case Tok::Day: case Tok::Weekday: case Tok::Hour: case Tok::Minute:
  case Tok::Second: case Tok::SubSecond: case Tok::AmPm: case Tok::ElapsedH: case Tok::ElapsedM: case Tok::ElapsedS:
  case Tok::MonthOrMinute:
    return true;
  default:
    return false;
  }
}

const char *const kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                               "August", "September", "October", "November", "December"};
const char *const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char16_t *const kCnDays[] = {u"一", u"二", u"三", u"四", u"五", u"六", u"日"};

bool formatDate(double value, std::vector<Token> toks, bool date1904, QString &out) {
  if (value < 0 || value > 2958466)
    return false;
  // m is minutes right after an hour or right before a second.
  for (size_t i = 0; i < toks.size(); ++i) {
    if (toks[i].kind != Tok::MonthOrMinute)
      continue;
    bool minute = false;
    for (size_t j = i; j-- > 0;) {
      if (toks[j].kind == Tok::Literal)
        continue;
      minute = toks[j].kind == Tok::Hour || toks[j].kind == Tok::ElapsedH;
      break;
    }
    for (size_t j = i + 1; !minute && j < toks.size(); ++j) {
      if (toks[j].kind == Tok::Literal)
        continue;
      minute = toks[j].kind == Tok::Second || toks[j].kind == Tok::ElapsedS;
      break;
    }
    toks[i].kind = minute && toks[i].text.size() <= 2 ? Tok::Minute : Tok::Month;
  }
  // Fractional seconds: "ss.0", "ss.00".
  int subDigits = 0;
  for (size_t i = 0; i + 1 < toks.size(); ++i)
    if ((toks[i].kind == Tok::Second || toks[i].kind == Tok::ElapsedS) && toks[i + 1].kind == Tok::Point) {
      size_t j = i + 2;
      while (j < toks.size() && toks[j].kind == Tok::Digit && toks[j].text == u"0" && subDigits < 3) {
        ++subDigits;
        ++j;
      }
      toks[i + 1] = {Tok::SubSecond, QString::number(subDigits)};
      toks.erase(toks.begin() + qsizetype(i + 2), toks.begin() + qsizetype(j));
    }
  for (const Token &t : toks)
    if (!isDatePart(t.kind) && t.kind != Tok::Literal)
      return false; // digits mixed with a date
  const double unit = std::pow(10.0, subDigits);
  qint64 days = qint64(std::floor(value));
  qint64 ticks = qint64(std::llround((value - double(days)) * 86400.0 * unit)); // in 1/unit s
  if (ticks >= qint64(86400 * unit)) {
    ++days;
    ticks = 0;
  }
  QDate date;
  if (date1904)
    date = QDate(1904, 1, 1).addDays(days);
  else if (days == 60)
    date = QDate(1900, 2, 28); // the day the 1900 system counts that never was
  else
    date = QDate(1899, 12, days < 60 ? 31 : 30).addDays(days);
  int day = date.day();
  if (!date1904 && days == 60)
    day = 29;
  const qint64 secondsTotal = ticks / qint64(unit);
  const int sub = int(ticks % qint64(unit));
  const int hour = int(secondsTotal / 3600), minute = int(secondsTotal / 60 % 60), second = int(secondsTotal % 60);
  bool twelve = false;
  for (const Token &t : toks)
    twelve = twelve || t.kind == Tok::AmPm;
  auto two = [](qint64 n, bool pad) { return pad ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : QString::number(n); };
  out.clear();
  for (const Token &t : toks) {
    const bool pad = t.text.size() >= 2;
    switch (t.kind) {
    case Tok::Literal: out += t.text; break;
    case Tok::Year: out += t.text.size() <= 2 ? two(date.year() % 100, true) : QString::number(date.year()); break;
    case Tok::Month:
      if (t.text.size() <= 2)
        out += two(date.month(), pad);
      else if (t.text.size() == 3)
        out += QString::fromLatin1(kMonths[date.month() - 1]).left(3);
      else if (t.text.size() == 4)
        out += QString::fromLatin1(kMonths[date.month() - 1]);
      else
        out += QString::fromLatin1(kMonths[date.month() - 1]).left(1);
      break;
    case Tok::Day: out += two(day, pad); break;
    case Tok::Weekday: {
      const int w = date.dayOfWeek() - 1;
      if (t.text.startsWith(u'a'))
        out += (t.text.size() >= 4 ? QStringLiteral("星期") : QString()) + QString::fromUtf16(kCnDays[w]);
      else
        out += t.text.size() == 3 ? QString::fromLatin1(kDays[w]).left(3) : QString::fromLatin1(kDays[w]);
      break;
    }
    case Tok::Hour: out += two(twelve ? (hour % 12 == 0 ? 12 : hour % 12) : hour, pad); break;
    case Tok::Minute: out += two(minute, pad); break;
    case Tok::Second: out += two(second, pad); break;
    case Tok::SubSecond:
      out += u'.' + QStringLiteral("%1").arg(sub, subDigits, 10, QLatin1Char('0'));
      break;
    case Tok::AmPm:
      if (t.text == u"上午/下午")
        out += hour < 12 ? QStringLiteral("上午") : QStringLiteral("下午");
      else if (t.text == u"A/P")
        out += hour < 12 ? QStringLiteral("A") : QStringLiteral("P");
      else
        out += hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
      break;
    case Tok::ElapsedH: out += two(days * 24 + hour, pad); break;
    case Tok::ElapsedM: out += two((days * 24 + hour) * 60 + minute, pad); break;
    case Tok::ElapsedS: out += two(((days * 24 + hour) * 60 + minute) * 60 + second, pad); break;
    default: return false;
    }
  }
  return true;
}

QString groupThousands(const QString &digits) {
  QString out;
  const qsizetype n = digits.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0)
      out += u',';
    out += digits[i];
  }
  return out;
}

bool formatNumber(double value, const std::vector<Token> &toks, bool minus, QString &out) {
  // prefix literals, the number (digits, point, commas, percent, exponent), suffix literals
  QString prefix, suffix;
  QString intPattern, decPattern, expPattern;
  bool seenDigit = false, seenPoint = false, seenExp = false, grouping = false, general = false;
  int percents = 0, scale = 0;
  size_t last = 0;
  for (size_t i = 0; i < toks.size(); ++i)
    if (toks[i].kind == Tok::Digit || toks[i].kind == Tok::General)
      last = i;
  for (size_t i = 0; i < toks.size(); ++i) {
    const Token &t = toks[i];
    switch (t.kind) {
    case Tok::Literal:
      if (!seenDigit)
        prefix += t.text;
      else if (i > last)
        suffix += t.text;
      else
        return false; // text between digits ("000-0000")
      break;
    case Tok::General:
      general = true;
      seenDigit = true;
      break;
    case Tok::Digit:
      seenDigit = true;
      (seenExp ? expPattern : seenPoint ? decPattern : intPattern) += t.text;
      break;
    case Tok::Point:
      if (seenPoint || seenExp)
        return false;
      seenPoint = true;
      break;
    case Tok::Comma: {
      // between integer digits: thousands; right after the last integer
      // digit: divides by 1,000
      bool digitBefore = seenDigit && !seenPoint && !seenExp, digitAfter = false;
      for (size_t j = i + 1; j < toks.size() && toks[j].kind != Tok::Point; ++j)
        if (toks[j].kind == Tok::Digit) {
          digitAfter = true;
          break;
        }
      if (digitBefore && digitAfter)
        grouping = true;
      else if (digitBefore)
        ++scale;
      else if (!seenDigit)
        prefix += u',';
      else
        suffix += u',';
      break;
    }
    case Tok::Percent:
      ++percents;
      (seenDigit ? suffix : prefix) += u'%';
      break;
    case Tok::Exponent:
      if (seenExp || !seenDigit)
        return false;
      seenExp = true;
      expPattern = t.text; // the sign form, then the digits
      break;
    default:
      return false;
    }
  }
  double v = std::fabs(value) * std::pow(100.0, percents) / std::pow(1000.0, scale);
  const QString sign = minus && value < 0 ? QStringLiteral("-") : QString();
  if (general) {
    if (!intPattern.isEmpty() || !decPattern.isEmpty() || seenExp)
      return false;
    out = sign + prefix + ::general(v) + suffix;
    return true;
  }
  if (!seenDigit) {
    out = sign + prefix + suffix; // a section of text only
    return true;
  }
  const int decimals = int(decPattern.size());
  auto fraction = [&](QString frac) {
    // '0' keeps a digit, '#' drops a trailing zero, '?' shows a space for it
    for (int k = decimals - 1; k >= 0 && frac.endsWith(u'0'); --k) {
      if (decPattern[k] == u'0')
        break;
      frac.chop(1);
      if (decPattern[k] == u'?')
        frac += u' ';
    }
    return frac;
  };
  QString body;
  if (seenExp) {
    if (intPattern.size() != 1 || expPattern.size() < 2)
      return false; // engineering forms ("##0.0E+0")
    int exponent = v == 0 ? 0 : int(std::floor(std::log10(v)));
    double mantissa = v == 0 ? 0 : v / std::pow(10.0, exponent);
    QString m = QString::number(mantissa, 'f', decimals);
    if (m.startsWith(QLatin1String("10"))) { // 9.995 rounded up
      ++exponent;
      m = QString::number(mantissa / 10, 'f', decimals);
    }
    const qsizetype dot = m.indexOf(u'.');
    body = dot < 0 ? m : m.left(dot);
    if (decimals > 0) {
      const QString frac = fraction(m.mid(dot + 1));
      body += frac.isEmpty() ? QString() : u'.' + frac;
    }
    const QString e = QStringLiteral("%1").arg(std::abs(exponent), int(expPattern.size()) - 1, 10, QLatin1Char('0'));
    body += QStringLiteral("E") + (exponent < 0 ? QStringLiteral("-") : expPattern[0] == u'+' ? QStringLiteral("+") : QString()) + e;
  } else {
    if (v >= 1e15)
      return false;
    const QString fixed = QString::number(v, 'f', decimals);
    const qsizetype dot = fixed.indexOf(u'.');
    QString whole = dot < 0 ? fixed : fixed.left(dot);
    const int minWhole = int(intPattern.count(u'0'));
    if (whole == u"0" && minWhole == 0)
      whole.clear();
    while (whole.size() < minWhole)
      whole.prepend(u'0');
    body = grouping ? groupThousands(whole) : whole;
    if (decimals > 0) {
      const QString frac = fraction(fixed.mid(dot + 1));
      if (!frac.isEmpty() || decPattern.contains(u'0'))
        body += u'.' + frac;
      else if (seenPoint)
        body += u'.'; // "#." keeps its point
    } else if (seenPoint) {
      body += u'.';
    }
  }
  out = sign + prefix + body + suffix;
  return true;
}

} // namespace

bool FormatSheetNumber(double value, const QString &format, bool date1904, QString &text) {
  if (!std::isfinite(value))
    return false;
  const QString code = format.trimmed();
  if (code.isEmpty() || code.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0 || code == u"@") {
    text = general(value);
    return true;
  }
  const QStringList parts = sections(code);
  int pick = 0;
  bool minus = true; // the first section shows a minus sign itself
  if (value < 0 && parts.size() >= 2) {
    pick = 1;
    minus = false;
  } else if (value == 0 && parts.size() >= 3) {
    pick = 2;
  }
  std::vector<Token> toks;
  if (!tokenize(parts[pick], toks))
    return false;
  bool date = false;
  for (const Token &t : toks)
    date = date || isDatePart(t.kind);
  if (date)
    return formatDate(value, toks, date1904, text);
  return formatNumber(pick == 1 ? std::fabs(value) : value, toks, minus, text);
}
