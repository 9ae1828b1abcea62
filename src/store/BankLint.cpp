#include "store/BankLint.h"
#include "common/MarkupCheck.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr qsizetype kMaxText = 1024 * 1024; // bytes of UTF-8

class Lint {
public:
  explicit Lint(BankLintResult &result) : m_result(result) {}

  void add(const QString &kind, const QString &table, const QString &id, const QString &field, const QString &text) {
    m_result.problems << QStringLiteral("%1:%2: %3: %4").arg(table, id, field, text);
    for (auto &k : m_result.kinds)
      if (k.first == kind) {
        ++k.second;
        return;
      }
    m_result.kinds.append({kind, 1});
  }

  // Plain text without markup or addresses needs no look beyond its size
  // (four vectorised searches beat one pass byte by byte).
  static bool needsLook(QByteArrayView utf8) {
    const void *d = utf8.data();
    const size_t len = size_t(utf8.size());
    return utf8.size() > kMaxText || memchr(d, '<', len) || memchr(d, ':', len) || memchr(d, '&', len) || memchr(d, '/', len);
  }

  // The checks every text of the page gets: size, markup that would be
  // shown as text, active content, pictures.
  void text(const QString &table, qint64 number, const QString &field, QByteArrayView utf8) {
    // Plain text without markup or addresses needs no look beyond its size
    // (four vectorised searches beat one pass byte by byte).
    if (!needsLook(utf8))
      return;
    const QString id = QString::number(number);
    if (utf8.size() > kMaxText) {
      add(QStringLiteral("文字过长"), table, id, field,
          QStringLiteral("文字有 %1 MB，超过 1 MB").arg(double(utf8.size()) / (1 << 20), 0, 'f', 1));
      return; // the rest would only slow the check down
    }
    const QString t = QString::fromUtf8(utf8);
    const MarkupCheck::Problem p = MarkupCheck::check(t);
    if (p)
      add(QStringLiteral("标记不完整"), table, id, field,
          QStringLiteral("页面会把它当作纯文字显示（第 %1 个字符：%2）").arg(p.offset + 1).arg(p.message));
    for (const Pattern &pattern : patterns()) {
      const QRegularExpressionMatch m = pattern.re.match(t);
      if (m.hasMatch()) {
        add(QStringLiteral("脚本、导航或网络地址"), table, id, field,
            QStringLiteral("%1（第 %2 个字符：%3）").arg(pattern.what).arg(m.capturedStart() + 1).arg(m.captured().left(40)));
        break;
      }
    }
    if (m_pictures)
      checkPictures(table, id, field, t);
  }

  void setProgramDir(const QString &programDir) {
    if (programDir.isEmpty())
      return;
    m_pictures = true;
    const QString im = QDir(programDir).filePath(QStringLiteral("css/im"));
    QDirIterator it(im, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
      m_pictureFiles.insert(QDir(im).relativeFilePath(it.next()).toLower());
  }

private:
  struct Pattern {
    QRegularExpression re;
    QString what;
  };
  static const std::vector<Pattern> &patterns() {
    static const auto ci = QRegularExpression::CaseInsensitiveOption;
    static const std::vector<Pattern> list = {
        {QRegularExpression(QStringLiteral("<\\s*script\\b"), ci), QStringLiteral("含有脚本")},
        {QRegularExpression(QStringLiteral("<[^>]*\\son[a-z]+\\s*="), ci), QStringLiteral("含有事件脚本（on… 属性）")},
        {QRegularExpression(QStringLiteral("\\b(?:javascript|vbscript)\\s*:"), ci), QStringLiteral("含有脚本地址")},
        {QRegularExpression(QStringLiteral("<\\s*(?:meta|base|form|iframe|frame|frameset|object|embed|link|applet)\\b"), ci),
         QStringLiteral("含有导航或嵌入页面的元素")},
        {QRegularExpression(QStringLiteral("<\\s*a\\s[^>]*\\bhref\\s*="), ci), QStringLiteral("含有链接")},
        {QRegularExpression(QStringLiteral("\\b(?:https?|ftp|wss?|file)://|\\b(?:src|href|action|background)\\s*=\\s*[\"']?\\s*//"), ci),
         QStringLiteral("含有网络地址")},
        {QRegularExpression(QStringLiteral("\\b(?:src|href|background)\\s*=\\s*[\"']?\\s*data:|url\\s*\\(\\s*[\"']?\\s*(?:data:|//|[a-z]+://)"), ci),
         QStringLiteral("含有内嵌或外部资源地址")},
    };
    return list;
  }

  void checkPictures(const QString &table, const QString &id, const QString &field, const QString &t) {
    static const QRegularExpression img(QStringLiteral("<\\s*img\\b[^>]*?\\bsrc\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (!t.contains(QLatin1String("img"), Qt::CaseInsensitive))
      return;
    for (auto it = img.globalMatch(t); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      const QString src = m.captured(1) + m.captured(2) + m.captured(3);
      if (src.contains(QLatin1String("://")) || src.startsWith(QLatin1String("//")) || src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        continue; // reported as an address
      // The page lives in css/: "im/a.png" is css/im/a.png.
      const QString path = QDir::cleanPath(QStringLiteral("css/") + QString(src).replace(u'\\', u'/'));
      if (!path.startsWith(QLatin1String("css/im/"), Qt::CaseInsensitive)) {
        add(QStringLiteral("图片"), table, id, field, QStringLiteral("图片“%1”不在 css/im 下").arg(src));
        continue;
      }
      if (!m_pictureFiles.contains(path.mid(7).toLower()))
        add(QStringLiteral("图片"), table, id, field, QStringLiteral("图片“%1”在 css/im 中找不到").arg(src));
    }
  }

  BankLintResult &m_result;
  bool m_pictures = false;
  QSet<QString> m_pictureFiles; // relative to css/im, lower case
};

// Blanks, punctuation and symbols: what the duplicate check leaves out.
bool droppedCategory(QChar::Category c) {
  switch (c) {
  case QChar::Separator_Space: case QChar::Separator_Line: case QChar::Separator_Paragraph:
  case QChar::Other_Control: case QChar::Other_Format:
  case QChar::Punctuation_Connector: case QChar::Punctuation_Dash: case QChar::Punctuation_Open:
  case QChar::Punctuation_Close: case QChar::Punctuation_InitialQuote: case QChar::Punctuation_FinalQuote:
  case QChar::Punctuation_Other: case QChar::Symbol_Math: case QChar::Symbol_Currency:
  case QChar::Symbol_Modifier: case QChar::Symbol_Other:
    return true;
  default:
    return false;
  }
}

// The hash of each stem seen -> the first 小题号 with it: open addressing in
// one block (a slot is the hash and the number; hash 0 marks a free slot
// and is kept aside), as every question looks it up once. The block comes
// zeroed from the system, its pages touched only as they are used.
class FirstByHash {
public:
  explicit FirstByHash(qint64 expected) {
    size_t capacity = 1024;
    while (capacity * 4 < size_t(std::clamp<qint64>(expected, 0, 1 << 22)) * 5)
      capacity *= 2;
    allocate(capacity);
  }
  ~FirstByHash() { std::free(m_slots); }
  FirstByHash(const FirstByHash &) = delete;
  FirstByHash &operator=(const FirstByHash &) = delete;

  // The first number with `hash`, or nullptr after recording `n` as it.
  const qint64 *findOrInsert(size_t hash, qint64 n) {
    if (hash == 0) {
      if (m_zeroUsed)
        return &m_zero;
      m_zeroUsed = true;
      m_zero = n;
      return nullptr;
    }
    if (m_used * 10 >= m_capacity * 8)
      grow();
    Slot *s = find(hash);
    if (s->hash == hash)
      return &s->n;
    *s = {hash, n};
    ++m_used;
    return nullptr;
  }

private:
  struct Slot {
    size_t hash;
    qint64 n;
  };
  void allocate(size_t capacity) {
    m_slots = static_cast<Slot *>(std::calloc(capacity, sizeof(Slot)));
    if (!m_slots)
      throw std::bad_alloc();
    m_capacity = capacity;
  }
  Slot *find(size_t hash) {
    const size_t mask = m_capacity - 1;
    size_t i = (hash ^ (hash >> 29)) & mask;
    while (m_slots[i].hash != 0 && m_slots[i].hash != hash)
      i = (i + 1) & mask;
    return &m_slots[i];
  }
  void grow() {
    Slot *old = m_slots;
    const size_t oldCapacity = m_capacity;
    allocate(oldCapacity * 2);
    for (size_t k = 0; k < oldCapacity; ++k)
      if (old[k].hash != 0)
        *find(old[k].hash) = old[k];
    std::free(old);
  }
  Slot *m_slots = nullptr;
  size_t m_capacity = 0;
  size_t m_used = 0;
  bool m_zeroUsed = false;
  qint64 m_zero = 0;
};

// A stem as the duplicate check compares it: no blanks, no punctuation or
// symbols, letters folded, as UTF-8 in `out`, whose room is reused from row
// to row. Chinese characters (U+4000 to U+9FFF, lead bytes E4 to E9) are
// copied as they are; other characters beyond ASCII are looked up.
void normalise(QByteArrayView utf8, QByteArray &out) {
  out.resize(utf8.size());
  char *o = out.data();
  qsizetype kept = 0;
  const auto *p = reinterpret_cast<const uchar *>(utf8.data());
  const qsizetype n = utf8.size();
  for (qsizetype i = 0; i < n;) {
    const uchar b = p[i];
    if (b < 0x80) {
      if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z'))
        o[kept++] = char(b);
      else if (b >= 'A' && b <= 'Z')
        o[kept++] = char(b + 32);
      ++i;
      continue;
    }
    if (b >= 0xE4 && b <= 0xE9 && i + 2 < n) {
      // A run of them is copied at once.
      qsizetype end = i + 3;
      while (end + 2 < n && p[end] >= 0xE4 && p[end] <= 0xE9)
        end += 3;
      memcpy(o + kept, p + i, size_t(end - i));
      kept += end - i;
      i = end;
      continue;
    }
    // Punctuation and symbols (full-width commas, quotes, brackets) are
    // common in Chinese texts: a well-formed two- or three-byte character
    // that is dropped is known by its code point, without a QString.
    if (b >= 0xC2 && b <= 0xEF) {
      char32_t cp = 0;
      qsizetype len = 0;
      if (b < 0xE0) {
        if (i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
          cp = char32_t((b & 0x1F) << 6 | (p[i + 1] & 0x3F));
          len = 2;
        }
      } else if (i + 2 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
        cp = char32_t((b & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
        len = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
      }
      if (len > 0 && droppedCategory(QChar::category(cp))) {
        i += len;
        continue;
      }
    }
    const qsizetype len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    const QString ch = QString::fromUtf8(utf8.sliced(i, std::min(len, n - i)));
    i += len;
    if (ch.isEmpty())
      continue;
    if (!droppedCategory(ch.at(0).category())) {
      const QByteArray folded = ch.toCaseFolded().toUtf8();
      if (kept + folded.size() > out.size()) { // folding may lengthen a character
        out.resize(kept + folded.size() + (n - i));
        o = out.data();
      }
      memcpy(o + kept, folded.constData(), size_t(folded.size()));
      kept += folded.size();
    }
  }
  out.truncate(kept);
  if (memchr(utf8.data(), '&', size_t(n)) && out.contains("nbsp"))
    out.replace("nbsp", ""); // "&nbsp;" without its punctuation
}

QByteArray normalised(QByteArrayView utf8) {
  QByteArray out;
  normalise(utf8, out);
  return out;
}

} // namespace

QString BankLintResult::summary() const {
  if (problems.isEmpty())
    return QStringLiteral("检查了 %1 道小题，没有发现问题").arg(questions);
  QStringList parts;
  for (const auto &[kind, count] : kinds)
    parts << QStringLiteral("%1 %2 处").arg(kind).arg(count);
  return QStringLiteral("检查了 %1 道小题，共 %2 处问题：%3").arg(questions).arg(problems.size()).arg(parts.join(QStringLiteral("，")));
}

BankLintResult LintBank(TADOConnection &c, const QString &programDir) {
  BankLintResult result;
  Lint lint(result);
  lint.setProgramDir(programDir);
  const QString sub = QStringLiteral("小题"), cases = QStringLiteral("大题"), options = QStringLiteral("答案选项"),
                nodeTable = QStringLiteral("题目类别");
  const QString stemField = QStringLiteral("题目内容"), answerField = QStringLiteral("答案"),
                explanationField = QStringLiteral("解释"), caseField = QStringLiteral("大题内容"), nameField = QStringLiteral("名称");
  QStringList optionFields;
  for (int k = 0; k < 26; ++k)
    optionFields << QStringLiteral("选项") + QChar(u'A' + k);

  QSet<QString> types;
  {
    TADOQuery q(c, QStringLiteral("lint types"));
    q.SQL.Add(QStringLiteral("SELECT 题目类型 FROM 类型说明"));
    q.OpenForward([&](const TForwardRow &r) { types.insert(QString::fromUtf8(r.Utf8(0)).trimmed()); });
  }
  QHash<qint64, size_t> caseText; // 大题号 -> the hash of its material, normalised
  QSet<qint64> caseUsed;
  {
    TADOQuery q(c, QStringLiteral("lint cases"));
    q.SQL.Add(QStringLiteral("SELECT 大题号,大题内容 FROM 大题 ORDER BY 大题号"));
    q.OpenForward([&](const TForwardRow &r) {
      const qint64 n = r.LargeInt(0);
      lint.text(cases, n, caseField, r.Utf8(1));
      caseText.insert(n, qHash(normalised(r.Utf8(1)), size_t(0x5bd1e995)));
    });
  }
  // 小题号 -> options, in order of 小题号 (the questions are read in that
  // order and walk it alongside).
  std::vector<std::pair<qint64, int>> optionCount;
  {
    // Room for a run per option row, as many as the largest rowid says
    // (found at once; the room is only used as it is filled). A table
    // without rowids gets none.
    TADOQuery q(c, QStringLiteral("lint option rows"));
    q.SQL.Add(QStringLiteral("SELECT max(rowid) FROM 答案选项"));
    try {
      q.OpenForward([&](const TForwardRow &r) {
        if (const std::optional<qint64> last = r.StoredInteger(0))
          optionCount.reserve(size_t(std::clamp<qint64>(*last, 0, 1 << 22)));
      });
    } catch (const EDatabaseError &) {
    }
  }
  {
    // In the table's own order: a sort of every option would cost more
    // than the rest of the check.
    TADOQuery q(c, QStringLiteral("lint options"));
    q.SQL.Add(QStringLiteral("SELECT 小题号,答案编号,答题选项 FROM 答案选项"));
    qint64 run = -1; // options of a question lie together: count a run, then store it
    int runLength = 0;
    q.OpenForward([&](const TForwardRow &r) {
      const qint64 n = r.LargeInt(0);
      if (n != run) {
        if (runLength > 0)
          optionCount.emplace_back(run, runLength);
        run = n;
        runLength = 0;
      }
      ++runLength;
      const qint64 k = r.LargeInt(1);
      const QByteArrayView text = r.Utf8(2);
      if (Lint::needsLook(text)) {
        lint.text(options, n, k >= 1 && k <= 26 ? optionFields[int(k) - 1] : QStringLiteral("选项%1").arg(k), text);
      }
    });
    if (runLength > 0)
      optionCount.emplace_back(run, runLength);
    // Sorted (a run split in the table is one question's), then summed.
    if (!std::is_sorted(optionCount.begin(), optionCount.end()))
      std::sort(optionCount.begin(), optionCount.end());
    size_t kept = 0;
    for (size_t i = 0; i < optionCount.size(); ++i) {
      if (kept > 0 && optionCount[kept - 1].first == optionCount[i].first)
        optionCount[kept - 1].second += optionCount[i].second;
      else
        optionCount[kept++] = optionCount[i];
    }
    optionCount.resize(kept);
  }
  size_t optionAt = 0; // where the walk of optionCount stands
  QSet<qint64> nodesUsed;
  // The hash of a normalised stem (seeded with its case's material) -> the
  // first 小题号 with it; a hit is confirmed by the first's own text.
  // As many as the largest 小题号 says (found at once), when it says.
  qint64 expected = 0;
  {
    TADOQuery q(c, QStringLiteral("lint question rows"));
    q.SQL.Add(QStringLiteral("SELECT max(rowid) FROM 小题"));
    try {
      q.OpenForward([&](const TForwardRow &r) { expected = r.StoredInteger(0).value_or(0); });
    } catch (const EDatabaseError &) {
    }
  }
  FirstByHash stems(expected);
  TADOQuery firstStem(c, QStringLiteral("lint first stem"));
  firstStem.SQL.Add(QStringLiteral("SELECT 题目内容 FROM 小题 WHERE 小题号=?"));
  QByteArray key, other;
  {
    qint64 lastNode = -1;
    QByteArray lastType;
    QString type;
    bool typeKnown = false, choice = false;
    TADOQuery q(c, QStringLiteral("lint questions"));
    q.SQL.Add(QStringLiteral("SELECT 小题号,大题号,所属编号,题目类型,题目内容,答案,解释 FROM 小题 ORDER BY 小题号"));
    q.OpenForward([&](const TForwardRow &r) {
      ++result.questions;
      const qint64 n = r.LargeInt(0);
      const qint64 caseNumber = r.LargeInt(1);
      const qint64 node = r.LargeInt(2);
      if (node != lastNode) {
        nodesUsed.insert(node);
        lastNode = node;
      }
      if (r.Utf8(3) != QByteArrayView(lastType)) { // types come in runs
        lastType = r.Utf8(3).toByteArray();
        type = QString::fromUtf8(lastType).trimmed();
        typeKnown = types.contains(type);
        choice = type.contains(QStringLiteral("选择"));
      }
      const QByteArrayView stem = r.Utf8(4), answer = r.Utf8(5);
      const auto cs = caseText.constFind(caseNumber);
      if (cs != caseText.constEnd())
        caseUsed.insert(caseNumber);
      if (!typeKnown)
        lint.add(QStringLiteral("题型不在类型说明中"), sub, QString::number(n), QStringLiteral("题目类型"),
                 QStringLiteral("题型“%1”不在类型说明中，页面和评分都找不到它").arg(type));
      normalise(stem, key);
      if (key.isEmpty()) {
        lint.add(QStringLiteral("题干为空"), sub, QString::number(n), stemField, QStringLiteral("题干是空的"));
      } else {
        const size_t hash = qHash(key, cs == caseText.constEnd() ? size_t(0) : *cs);
        const qint64 *first = stems.findOrInsert(hash, n);
        if (first) {
          firstStem.openWith({*first}); // the same case by the hash's seed; the stem by its text
          normalise(firstStem.IsEmpty() ? QByteArray() : firstStem.Fields(0).AsString().toUtf8(), other);
          if (other == key)
            lint.add(QStringLiteral("题干重复"), sub, QString::number(n), stemField,
                     QStringLiteral("题干与小题 %1 相同（不计空白和标点）").arg(*first));
        }
      }
      if (choice) {
        // Ascending numbers go on from the last place; any other starts over.
        const auto from = optionAt < optionCount.size() && optionCount[optionAt].first <= n ? optionCount.begin() + qsizetype(optionAt)
                                                                                          : optionCount.begin();
        const auto at = std::lower_bound(from, optionCount.end(), n, [](const std::pair<qint64, int> &e, qint64 v) { return e.first < v; });
        optionAt = size_t(at - optionCount.begin());
        const int optionsHere = at != optionCount.end() && at->first == n ? at->second : 0;
        QString bad;
        int letters = 0;
        for (qsizetype i = 0; i < answer.size(); ++i) {
          const char b = answer[i];
          if (b == ' ' || b == ',' || b == ';' || b == '\t' || b == '\n' || b == '\r')
            continue;
          if (uchar(b) >= 0x80) { // a full-width separator, or not a letter at all
            const QString rest = QString::fromUtf8(answer.sliced(i));
            for (const QChar ch : rest) {
              if (ch.isSpace() || QStringLiteral(",，、;；").contains(ch))
                continue;
              ++letters;
              const QChar u = ch.toUpper();
              if (u < u'A' || u > u'Z' || u.unicode() - u'A' >= optionsHere)
                bad += ch;
            }
            break;
          }
          ++letters;
          const char u = b >= 'a' && b <= 'z' ? char(b - 32) : b;
          if (u < 'A' || u > 'Z' || u - 'A' >= optionsHere)
            bad += QLatin1Char(b);
        }
        if (letters == 0)
          lint.add(QStringLiteral("选择题答案"), sub, QString::number(n), answerField, QStringLiteral("选择题没有答案"));
        else if (!bad.isEmpty())
          lint.add(QStringLiteral("选择题答案"), sub, QString::number(n), answerField,
                   optionsHere == 0 ? QStringLiteral("答案“%1”，而这道选择题没有选项").arg(QString::fromUtf8(answer))
                                    : QStringLiteral("答案中的“%1”不在选项中（这道题只有 A 到 %2）").arg(bad).arg(QChar(u'A' + optionsHere - 1)));
      }
      lint.text(sub, n, stemField, stem);
      lint.text(sub, n, answerField, answer);
      lint.text(sub, n, explanationField, r.Utf8(6));
    });
  }
  // By 大题号, so that a check says the same thing twice.
  QList<qint64> unused;
  for (auto it = caseText.cbegin(); it != caseText.cend(); ++it)
    if (!caseUsed.contains(it.key()))
      unused << it.key();
  std::sort(unused.begin(), unused.end());
  for (const qint64 n : std::as_const(unused))
    lint.add(QStringLiteral("案例没有小题"), cases, QString::number(n), caseField, QStringLiteral("案例没有小题（没有小题的大题号是 %1）").arg(n));
  {
    struct Node {
      qint64 id;
      QString name;
    };
    std::vector<Node> nodes;
    QSet<qint64> parents;
    TADOQuery q(c, QStringLiteral("lint nodes"));
    q.SQL.Add(QStringLiteral("SELECT 编号,名称,父级编号 FROM 题目类别 ORDER BY 编号"));
    q.OpenForward([&](const TForwardRow &r) {
      nodes.push_back({r.LargeInt(0), QString::fromUtf8(r.Utf8(1))});
      parents.insert(r.LargeInt(2));
      lint.text(nodeTable, r.LargeInt(0), nameField, r.Utf8(1));
    });
    for (const Node &n : nodes)
      if (!parents.contains(n.id) && !nodesUsed.contains(n.id))
        lint.add(QStringLiteral("目录节点没有题目"), nodeTable, QString::number(n.id), nameField,
                 QStringLiteral("目录节点“%1”下没有题目").arg(n.name));
  }
  return result;
}

BankLintResult LintBankFile(const QString &path, const QString &programDir) {
  TADOConnection c;
  c.Open(path, QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
  BankLintResult r = LintBank(c, programDir);
  c.Close();
  return r;
}
