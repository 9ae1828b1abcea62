#include "store/BankImport.h"
#include "store/BankBuilder.h"
#include "store/BankCopy.h"
#include "store/BankLint.h"
#include "store/DM.h"
#include "store/FileError.h"
#include "common/MarkupCheck.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

namespace {

// ---------------------------------------------------------------- the format

const QString kSubject = QStringLiteral("科目");
const QString kChapter = QStringLiteral("章");
const QString kSection = QStringLiteral("节");
const QString kType = QStringLiteral("题型");
const QString kStem = QStringLiteral("题干");
const QString kAnswer = QStringLiteral("答案");
const QString kExplanation = QStringLiteral("解析");
const QString kScore = QStringLiteral("分值");
const QString kCase = QStringLiteral("案例");
const QString kCaseGroup = QStringLiteral("案例组");
const QString kParamName = QStringLiteral("参数名");
const QString kParamValue = QStringLiteral("参数值");
const QString kParamSheet = QStringLiteral("参数");
const QString kCaseType = QStringLiteral("案例分析题");
constexpr int kMaxOptions = 8;

QString optionColumn(int k) { return QStringLiteral("选项") + QChar(u'A' + k); }

enum class Kind { Single, Multiple, Judge, Text, Case };

struct TypeInfo {
  int id;
  const char16_t *name;
  const char16_t *description; // %1: the score
  double score;
  Kind kind;
};

// The types of a bank made from sheets, in the order the program lists them.
const TypeInfo kTypes[] = {
    {1, u"单项选择题", u"（每题%1分；每题的备选项中，只有一个最符合题意）", 1, Kind::Single},
    {2, u"多项选择题", u"（每题%1分；每题的备选项中，有两个或两个以上符合题意，错选、少选均不得分）", 2, Kind::Multiple},
    {3, u"判断题", u"（每题%1分；请判断下列说法是否正确）", 1, Kind::Judge},
    {4, u"填空题", u"（每题%1分；请把答案写在横线处，本题型不自动评分）", 1, Kind::Text},
    {5, u"简答题", u"（每题%1分；请简要回答，本题型不自动评分）", 5, Kind::Text},
    {6, u"计算题", u"（每题%1分；请写出主要计算步骤，本题型不自动评分）", 5, Kind::Text},
    {7, u"案例分析题", u"（每小题%1分；请阅读案例材料，回答后面的问题，简答小题不自动评分）", 2, Kind::Case},
};
constexpr int kCaseTypeIndex = 6;

int typeIndex(const QString &name) {
  for (int i = 0; i < int(std::size(kTypes)); ++i)
    if (name == QStringView(kTypes[i].name))
      return i;
  return -1;
}

QStringList rowTypeNames() {
  QStringList names;
  for (const TypeInfo &t : kTypes)
    if (t.kind != Kind::Case)
      names << QString::fromUtf16(t.name);
  return names;
}

// Parameters of a new bank before the 参数 sheet: the display settings the
// program's own defaults use, and a title.
const char16_t *const kDefaultParams[][2] = {
    {u"字体", u"宋体"},       {u"字号", u"14px"},      {u"工具栏字号", u"10px"},
    {u"颜色", u"#000000"},    {u"背景色", u"#F9F9F9"}, {u"行间距", u"170"},
    {u"软件标题", u"Venqor考试软件"}, {u"TreeViewIndex", u"0"},
};
const char16_t *const kKnownParams[] = {
    u"字体", u"字号", u"工具栏字号", u"颜色", u"背景色", u"行间距", u"软件标题", u"升级下载地址", u"题库版本",
    u"错误反馈网址", u"增值服务网址", u"招考信息", u"职位查询", u"TreeViewIndex", u"错误反馈数据库", u"考试时间",
};

QString scoreText(double score) { return QString::number(score); }

// "A．" in front of an option that does not start with its own letter and a
// separator.
bool hasLetterPrefix(const QString &text, int k) {
  static const QString separators = QStringLiteral("．.、:：)）");
  return text.size() >= 2 && text[0] == QChar(u'A' + k) && separators.contains(text[1]);
}

const QChar kSep(0x1f);

// ---------------------------------------------------------------- rows

struct Row {
  const Sheet *sheet = nullptr;
  int line = 0;
  QString subject, chapter, section, type, stem, answer, explanation, score, caseText, caseId;
  QStringList options; // as written, prefixes added
  int typeIdx = -1;
  QString sectionKey() const { return subject + kSep + chapter + kSep + section; }
  // numbering
  int caseLead = -1; // index (in all rows) of the first row of its case; -1 stand-alone
  int number = 0;
  int caseNumber = 0; // 大题号: its own number, or the smallest of its case's
};

struct Param {
  QString name, value;
};

class Checker {
public:
  explicit Checker(const BankImportOptions &options) : m_options(options) {}

  void read(const QStringList &files);
  void number(const QString &keepFrom);
  void write(const QString &out);

  QStringList problems;
  std::vector<Row> rows;
  std::vector<Param> params;
  std::vector<double> scores; // per type
  int cases = 0;

  struct Node {
    int id;
    QString name;
    int parent;
    int level; // 0 subject, 1 chapter, 2 section
  };
  std::vector<Node> nodes;
  QHash<QString, int> nodeId; // path -> 编号

private:
  void note(const QString &text) {
    if (m_options.note)
      m_options.note(text);
  }
  void problem(const Sheet &s, int line, const QString &column, const QString &text) {
    problems << QStringLiteral("%1:%2:%3: %4: %5").arg(s.file, s.name).arg(line).arg(column, text);
  }
  void readParams(const Sheet &s, size_t headerIndex);
  void noteHidden(const Sheet &s);
  void readQuestions(const Sheet &s, size_t headerIndex, const QHash<QString, int> &columns);
  void checkMarkup(const Sheet &s, int line, const QString &column, const QString &text);
  void groupCases(size_t first, const Sheet &s);

  const BankImportOptions &m_options;
  std::vector<std::unique_ptr<Sheet>> m_sheets; // rows point into these
  std::vector<int> m_scoreLine;                 // where a type's 分值 was given
  std::vector<const Sheet *> m_scoreSheet;
  QHash<QString, std::pair<const Sheet *, int>> m_paramLine;
};

QStringList questionColumns() {
  QStringList known = {kSubject, kChapter, kSection, kType, kStem, kAnswer, kExplanation, kScore, kCase, kCaseGroup};
  for (int k = 0; k < kMaxOptions; ++k)
    known << optionColumn(k);
  return known;
}

bool emptyRow(const SheetRow &r) {
  for (const SheetCell &c : r.cells)
    if (!c.text.trimmed().isEmpty() || !c.problem.isEmpty())
      return false;
  return true;
}

void Checker::checkMarkup(const Sheet &s, int line, const QString &column, const QString &text) {
  const MarkupCheck::Problem p = MarkupCheck::check(text);
  if (p)
    problem(s, line, column, QStringLiteral("第 %1 个字符：%2").arg(p.offset + 1).arg(p.message));
}

void Checker::read(const QStringList &files) {
  scores.clear();
  for (const TypeInfo &t : kTypes)
    scores.push_back(t.score);
  m_scoreLine.assign(scores.size(), 0);
  m_scoreSheet.assign(scores.size(), nullptr);
  for (const auto &p : kDefaultParams)
    params.push_back({QString::fromUtf16(p[0]), QString::fromUtf16(p[1])});

  for (const QString &file : files) {
    SheetReadOptions readOptions;
    readOptions.headerColumns = true; // a stray cell far right costs nothing
    SheetFileContents contents = ReadSheetFile(file, readOptions);
    problems << contents.problems;
    if (!contents.encoding.isEmpty())
      note(QStringLiteral("%1：编码 %2").arg(file, contents.encoding));
    for (Sheet &read : contents.sheets) {
      // The rows' texts live on in `rows`; the cells go once the sheet is read.
      struct DropCells {
        std::vector<std::unique_ptr<Sheet>> &sheets;
        ~DropCells() {
          if (!sheets.empty())
            std::vector<SheetRow>().swap(sheets.back()->rows);
        }
      } dropCells{m_sheets};
      if (read.hidden && !m_options.includeHiddenSheets) {
        if (!read.rows.empty())
          note(QStringLiteral("%1:%2：这张工作表是隐藏的，没有导入（要导入隐藏的工作表，用 --include-hidden-sheets）").arg(read.file, read.name));
        continue;
      }
      m_sheets.push_back(std::make_unique<Sheet>(std::move(read)));
      const Sheet &s = *m_sheets.back();
      noteHidden(s);
      size_t header = 0;
      while (header < s.rows.size() && emptyRow(s.rows[header]))
        ++header;
      if (header == s.rows.size())
        continue; // an empty sheet
      QHash<QString, int> columns;
      const QStringList names = s.rows[header].texts();
      for (int c = 0; c < names.size(); ++c) {
        const QString name = names[c].trimmed();
        if (name.isEmpty())
          continue;
        if (columns.contains(name))
          problem(s, s.rows[header].number, name,
                  QStringLiteral("这一列在第 %1 列和第 %2 列出现了两次").arg(SheetColumnName(columns.value(name)), SheetColumnName(c)));
        else
          columns.insert(name, c);
      }
      if (s.name.trimmed() == kParamSheet || columns.contains(kParamName)) {
        readParams(s, header);
        continue;
      }
      const QStringList known = questionColumns();
      bool any = false;
      QStringList unknown;
      for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        if (known.contains(it.key()))
          any = true;
        else
          unknown << it.key();
      }
      if (!any) {
        note(QStringLiteral("%1:%2：第一行没有任何题目列（%3），跳过这张工作表").arg(s.file, s.name, known.mid(0, 5).join(u'、')));
        continue;
      }
      std::sort(unknown.begin(), unknown.end());
      if (!unknown.isEmpty())
        note(QStringLiteral("%1:%2：不认识的列没有导入：%3").arg(s.file, s.name, unknown.join(u'、')));
      bool complete = true;
      for (const QString &required : {kSubject, kChapter, kSection, kType, kStem, kAnswer})
        if (!columns.contains(required)) {
          problem(s, s.rows[header].number, required, QStringLiteral("缺少这一列（表头行要有 科目、章、节、题型、题干、答案）"));
          complete = false;
        }
      if (complete)
        readQuestions(s, header, columns);
    }
  }
}

// What a reader of the sheet in a spreadsheet program would not see, and
// what lies right of the header, is said once per sheet.
void Checker::noteHidden(const Sheet &s) {
  if (s.hidden)
    note(QStringLiteral("%1:%2：这张工作表是隐藏的，照样导入了").arg(s.file, s.name));
  QStringList rowsHidden;
  int count = 0;
  for (const SheetRow &r : s.rows)
    if (r.hidden && !emptyRow(r) && count++ < 10)
      rowsHidden << QString::number(r.number);
  if (count > 0)
    note(QStringLiteral("%1:%2：有 %3 行是隐藏的（第 %4%5 行），照样导入了")
             .arg(s.file, s.name)
             .arg(count)
             .arg(rowsHidden.join(u'、'), count > 10 ? QStringLiteral(" 等") : QString()));
  if (!s.hiddenColumns.empty()) {
    QStringList names;
    for (int c : s.hiddenColumns)
      names << SheetColumnName(c);
    note(QStringLiteral("%1:%2：%3 列是隐藏的，照样导入了").arg(s.file, s.name, names.join(u'、')));
  }
  if (s.cellsPastHeader > 0)
    note(QStringLiteral("%1:%2：有 %3 个单元格在表头最右一列的右边，没有导入").arg(s.file, s.name).arg(s.cellsPastHeader));
}

void Checker::readParams(const Sheet &s, size_t headerIndex) {
  const QStringList header = s.rows[headerIndex].texts();
  const int nameCol = int(header.indexOf(kParamName));
  const int valueCol = int(header.indexOf(kParamValue));
  if (nameCol < 0 || valueCol < 0) {
    problem(s, s.rows[headerIndex].number, nameCol < 0 ? kParamName : kParamValue,
            QStringLiteral("参数表的第一行要有 参数名 和 参数值 两列"));
    return;
  }
  for (size_t i = headerIndex + 1; i < s.rows.size(); ++i) {
    const SheetRow &r = s.rows[i];
    if (emptyRow(r))
      continue;
    bool unreadable = false;
    for (const int col : {nameCol, valueCol}) {
      const SheetCell *c = r.cell(col);
      if (c && !c->problem.isEmpty()) {
        problem(s, r.number, col == nameCol ? kParamName : kParamValue, c->problem);
        unreadable = true;
      }
    }
    if (unreadable)
      continue;
    const QString name = r.text(nameCol).trimmed();
    const QString value = r.text(valueCol).trimmed();
    if (name.isEmpty()) {
      problem(s, r.number, kParamName, QStringLiteral("参数名不能为空"));
      continue;
    }
    const auto seen = m_paramLine.constFind(name);
    if (seen != m_paramLine.constEnd()) {
      problem(s, r.number, kParamName,
              QStringLiteral("参数“%1”已在 %2:%3 第 %4 行给出").arg(name, seen->first->file, seen->first->name).arg(seen->second));
      continue;
    }
    m_paramLine.insert(name, {&s, r.number});
    if (std::none_of(std::begin(kKnownParams), std::end(kKnownParams), [&](const char16_t *k) { return name == QStringView(k); }))
      note(QStringLiteral("%1:%2:%3：参数“%4”不是程序使用的参数名，照样写入").arg(s.file, s.name).arg(r.number).arg(name));
    checkMarkup(s, r.number, kParamValue, value);
    auto it = std::find_if(params.begin(), params.end(), [&](const Param &p) { return p.name == name; });
    if (it != params.end())
      it->value = value;
    else
      params.push_back({name, value});
  }
}

void Checker::readQuestions(const Sheet &s, size_t headerIndex, const QHash<QString, int> &columns) {
  const size_t first = rows.size();
  auto cell = [&](const SheetRow &r, const QString &column) {
    const auto c = columns.constFind(column);
    if (c == columns.constEnd())
      return QString();
    return r.text(*c).trimmed();
  };
  QHash<int, QString> names; // column -> its name in the header
  const QStringList known = questionColumns();
  for (auto it = columns.cbegin(); it != columns.cend(); ++it)
    if (known.contains(it.key()))
      names.insert(it.value(), it.key());
  for (size_t i = headerIndex + 1; i < s.rows.size(); ++i) {
    const SheetRow &r = s.rows[i];
    if (emptyRow(r))
      continue;
    // A cell of the question that shows no text to take (an error value,
    // a formula never computed, a format beyond reading) refuses the row;
    // the rest of the row is not judged on the missing text.
    bool unreadable = false;
    for (const SheetCell &c : r.cells) {
      if (c.problem.isEmpty() || !names.contains(c.column))
        continue;
      problem(s, r.number, names.value(c.column), c.problem);
      unreadable = true;
    }
    if (unreadable)
      continue;
    Row row;
    row.sheet = &s;
    row.line = r.number;
    row.subject = cell(r, kSubject);
    row.chapter = cell(r, kChapter);
    row.section = cell(r, kSection);
    row.type = cell(r, kType);
    row.stem = cell(r, kStem);
    row.answer = cell(r, kAnswer);
    row.explanation = cell(r, kExplanation);
    row.score = cell(r, kScore);
    row.caseText = cell(r, kCase);
    row.caseId = cell(r, kCaseGroup);
    const int line = r.number;

    for (const QString *name : {&kSubject, &kChapter, &kSection}) {
      const QString text = cell(r, *name);
      if (text.isEmpty())
        problem(s, line, *name, QStringLiteral("不能为空：每道题都要放在某个科目的某章某节下"));
      checkMarkup(s, line, *name, text); // a section's name is its paper's title
    }
    if (row.stem.isEmpty())
      problem(s, line, kStem, QStringLiteral("题干不能为空"));
    checkMarkup(s, line, kStem, row.stem);
    checkMarkup(s, line, kExplanation, row.explanation);
    checkMarkup(s, line, kCase, row.caseText);

    // Options: A, B, … without a gap.
    int lastFilled = -1;
    for (int k = 0; k < kMaxOptions; ++k)
      if (!cell(r, optionColumn(k)).isEmpty())
        lastFilled = k;
    for (int k = 0; k <= lastFilled; ++k) {
      QString text = cell(r, optionColumn(k));
      if (text.isEmpty()) {
        problem(s, line, optionColumn(k), QStringLiteral("选项之间不能有空缺：%1 有内容而这一格是空的").arg(optionColumn(lastFilled)));
        continue;
      }
      checkMarkup(s, line, optionColumn(k), text);
      if (!hasLetterPrefix(text, k))
        text = QChar(u'A' + k) + QStringLiteral("．") + text;
      row.options << text;
    }

    row.typeIdx = typeIndex(row.type);
    if (row.type.isEmpty()) {
      problem(s, line, kType, QStringLiteral("题型不能为空（可用：%1）").arg(rowTypeNames().join(u'、')));
    } else if (row.typeIdx == kCaseTypeIndex) {
      problem(s, line, kType,
              QStringLiteral("“案例分析题”不是小题的题型：填写每个小题自己的题型，用 案例 和 案例组 两列把小题归入案例"));
      row.typeIdx = -1;
    } else if (row.typeIdx < 0) {
      problem(s, line, kType, QStringLiteral("未知题型“%1”（可用：%2）").arg(row.type, rowTypeNames().join(u'、')));
    }

    if (row.typeIdx >= 0) {
      const Kind kind = kTypes[row.typeIdx].kind;
      const int n = int(row.options.size());
      if (kind == Kind::Single || kind == Kind::Multiple) {
        if (n < 2)
          problem(s, line, n == 0 ? optionColumn(0) : optionColumn(1), QStringLiteral("%1至少要有两个选项").arg(row.type));
        QString letters;
        bool bad = false;
        for (const QChar c : row.answer) {
          if (c.isSpace() || QStringLiteral(",，、;；").contains(c))
            continue;
          const QChar u = c.toUpper();
          if (u < u'A' || u > u'H') {
            problem(s, line, kAnswer, QStringLiteral("%1的答案只能是选项字母（如 A 或 ABD），不能有“%2”").arg(row.type, QString(c)));
            bad = true;
            break;
          }
          if (u.unicode() - u'A' >= n && n >= 2) {
            problem(s, line, kAnswer, QStringLiteral("答案中的 %1 没有对应的选项（这道题只有 A 到 %2）").arg(u).arg(QChar(u'A' + n - 1)));
            bad = true;
          }
          if (!letters.contains(u))
            letters += u;
        }
        std::sort(letters.begin(), letters.end());
        if (!bad) {
          if (letters.isEmpty())
            problem(s, line, kAnswer, QStringLiteral("答案不能为空"));
          else if (kind == Kind::Single && letters.size() > 1)
            problem(s, line, kAnswer, QStringLiteral("单项选择题只能有一个答案，这里有 %1 个（%2）").arg(letters.size()).arg(letters));
        }
        row.answer = letters;
      } else {
        if (n > 0)
          problem(s, line, optionColumn(0),
                  kind == Kind::Judge ? QStringLiteral("判断题不填选项（它的两个选项固定为 正确 和 错误）")
                                      : QStringLiteral("%1不用选项").arg(row.type));
        if (kind == Kind::Judge) {
          static const QStringList right = {QStringLiteral("正确"), QStringLiteral("对"), QStringLiteral("A"), QStringLiteral("√")};
          static const QStringList wrong = {QStringLiteral("错误"), QStringLiteral("错"), QStringLiteral("B"), QStringLiteral("×")};
          const QString a = row.answer.toUpper();
          if (right.contains(a))
            row.answer = QStringLiteral("A");
          else if (wrong.contains(a))
            row.answer = QStringLiteral("B");
          else
            problem(s, line, kAnswer, QStringLiteral("判断题的答案应为 正确 或 错误（也可写 A 或 B），这里是“%1”").arg(row.answer));
        } else {
          checkMarkup(s, line, kAnswer, row.answer);
        }
      }
    }

    if (!row.score.isEmpty()) {
      bool ok = false;
      const double v = row.score.toDouble(&ok);
      if (!ok || !(v > 0) || v > 1000) {
        problem(s, line, kScore, QStringLiteral("分值应是大于 0 的数（如 1 或 2.5），这里是“%1”").arg(row.score));
      } else {
        // A case's sub-questions are scored as 案例分析题.
        const int t = row.caseId.isEmpty() ? row.typeIdx : kCaseTypeIndex;
        if (t >= 0) {
          if (m_scoreLine[t] == 0) {
            scores[t] = v;
            m_scoreLine[t] = line;
            m_scoreSheet[t] = &s;
          } else if (scores[t] != v) {
            problem(s, line, kScore,
                    QStringLiteral("%1的分值在 %2:%3 第 %4 行已定为 %5，这里却是 %6（同一题型只有一个分值）")
                        .arg(QString::fromUtf16(kTypes[t].name), m_scoreSheet[t]->file, m_scoreSheet[t]->name)
                        .arg(m_scoreLine[t])
                        .arg(scoreText(scores[t]), row.score));
          }
        }
      }
    }
    rows.push_back(std::move(row));
  }
  groupCases(first, s);
}

// The rows of one sheet that belong to cases: a case's first row has the
// material, the rows after it with the same 案例组 and an empty 案例 belong to
// it, and they stand together.
void Checker::groupCases(size_t first, const Sheet &s) {
  QHash<QString, int> finished; // 案例组 -> line of its first row
  int open = -1;                // index of the open case's first row
  int count = 0;
  auto close = [&] {
    if (open < 0)
      return;
    const Row &lead = rows[size_t(open)];
    if (count < 2)
      problem(s, lead.line, kCaseGroup, QStringLiteral("案例组“%1”只有一个小题：案例至少要有两个小题").arg(lead.caseId));
    else
      ++cases;
    finished.insert(lead.caseId, lead.line);
    open = -1;
  };
  for (size_t i = first; i < rows.size(); ++i) {
    Row &r = rows[i];
    if (r.caseId.isEmpty()) {
      close();
      if (!r.caseText.isEmpty())
        problem(s, r.line, kCaseGroup, QStringLiteral("有案例材料却没有案例组：给这个案例的每一行填上同一个案例组编号"));
      continue;
    }
    if (open >= 0 && rows[size_t(open)].caseId == r.caseId) {
      const Row &lead = rows[size_t(open)];
      if (!r.caseText.isEmpty())
        problem(s, r.line, kCase, QStringLiteral("案例组“%1”的材料已在第 %2 行给出，后面的小题这一格应留空").arg(r.caseId).arg(lead.line));
      if (r.sectionKey() != lead.sectionKey())
        problem(s, r.line, kSection, QStringLiteral("案例组“%1”的小题要与第 %2 行在同一科目、章、节").arg(r.caseId).arg(lead.line));
      r.caseLead = open;
      ++count;
      continue;
    }
    close();
    if (finished.contains(r.caseId)) {
      problem(s, r.line, kCaseGroup,
              QStringLiteral("案例组“%1”在第 %2 行开始、已经结束：一个案例的小题要连在一起").arg(r.caseId).arg(finished.value(r.caseId)));
      continue;
    }
    if (r.caseText.isEmpty())
      problem(s, r.line, kCase, QStringLiteral("案例组“%1”的第一行要填写案例材料").arg(r.caseId));
    open = int(i);
    r.caseLead = open;
    count = 1;
  }
  close();
}

// ---------------------------------------------------------------- numbering

// An ordinary SQLite copy of a bank, open on `c`.
void openCopy(const QString &bank, QTemporaryDir &scratch, TADOConnection &c) {
  if (!scratch.isValid())
    throw FileError(QStringLiteral("无法建立临时目录：") + scratch.errorString());
  const QString plain = scratch.filePath(QStringLiteral("bank.sqlite"));
  ExportBank(bank, plain);
  c.OpenPlain(plain);
}

// The names of every node from the top, joined: "科目", "科目␟章", ….
QHash<int, QString> nodePaths(TADOConnection &c, QHash<int, int> *levels = nullptr) {
  struct N {
    QString name;
    int parent;
  };
  QHash<int, N> all;
  TADOQuery q(c, QStringLiteral("nodes"));
  q.SQL.Add(QStringLiteral("SELECT 编号,名称,父级编号 FROM 题目类别"));
  q.OpenForward([&](const TForwardRow &r) { all.insert(r.Fields(0).AsInteger(), N{r.Fields(1).AsString(), r.Fields(2).AsInteger()}); });
  QHash<int, QString> paths;
  for (auto it = all.cbegin(); it != all.cend(); ++it) {
    QStringList names;
    int id = it.key();
    QSet<int> seen;
    while (all.contains(id) && !seen.contains(id)) {
      seen.insert(id);
      names.prepend(all.value(id).name.trimmed());
      id = all.value(id).parent;
    }
    paths.insert(it.key(), names.join(kSep));
    if (levels)
      levels->insert(it.key(), int(names.size()) - 1);
  }
  return paths;
}

void Checker::number(const QString &keepFrom) {
  QHash<QString, std::vector<int>> oldNumbers; // section path ␟ stem -> 小题号, ascending
  int nextNumber = 1;
  int nextNode = 1;
  QHash<QString, int> oldNodes;
  if (!keepFrom.isEmpty()) {
    QTemporaryDir scratch;
    TADOConnection c;
    openCopy(keepFrom, scratch, c);
    const QHash<int, QString> paths = nodePaths(c);
    for (auto it = paths.cbegin(); it != paths.cend(); ++it) {
      oldNodes.insert(it.value(), it.key());
      nextNode = std::max(nextNode, it.key() + 1);
    }
    TADOQuery q(c, QStringLiteral("questions"));
    q.SQL.Add(QStringLiteral("SELECT 小题号,所属编号,题目内容 FROM 小题 ORDER BY 小题号"));
    q.OpenForward([&](const TForwardRow &r) {
      const int n = r.Fields(0).AsInteger();
      oldNumbers[paths.value(r.Fields(1).AsInteger()) + kSep + r.Fields(2).AsString().trimmed()].push_back(n);
      nextNumber = std::max(nextNumber, n + 1);
    });
    c.Close();
  }

  // Nodes: subjects first, then chapters, then sections, each in the order
  // the sheets first name them (the tree lists children by number).
  for (int level = 0; level < 3; ++level) {
    for (const Row &r : rows) {
      const QStringList parts = {r.subject, r.chapter, r.section};
      if (parts[level].isEmpty())
        continue;
      const QString path = parts.mid(0, level + 1).join(kSep);
      if (nodeId.contains(path))
        continue;
      const int id = oldNodes.contains(path) ? oldNodes.value(path) : nextNode++;
      nodeId.insert(path, id);
      nodes.push_back({id, parts[level], level == 0 ? 0 : nodeId.value(parts.mid(0, level).join(kSep)), level});
    }
  }
  std::sort(nodes.begin(), nodes.end(), [](const Node &a, const Node &b) { return a.id < b.id; });

  // Sub-questions in sheet order; a kept number is used once.
  std::vector<Row *> fresh;
  for (Row &r : rows) {
    auto it = oldNumbers.find(r.sectionKey() + kSep + r.stem);
    if (it != oldNumbers.end() && !it->empty()) {
      r.number = it->front();
      it->erase(it->begin());
    } else {
      fresh.push_back(&r);
    }
  }
  for (Row *r : fresh)
    r->number = nextNumber++;
  // A case's number is that of its sub-question numbered first, so the
  // page, which lists them by number, starts with the one that carries it.
  for (Row &r : rows)
    r.caseNumber = r.number;
  for (Row &r : rows)
    if (r.caseLead >= 0) {
      Row &lead = rows[size_t(r.caseLead)];
      lead.caseNumber = std::min(lead.caseNumber, r.number);
    }
  for (Row &r : rows)
    if (r.caseLead >= 0)
      r.caseNumber = rows[size_t(r.caseLead)].caseNumber;
}

// ---------------------------------------------------------------- writing

void Checker::write(const QString &out) {
  BuildBankFromTexts(out, {}, true, [&](TADOConnection &c) {
    TADOQuery q(c, QStringLiteral("import"));
    auto statement = [&](const QString &sql) {
      q.Close();
      q.SQL.Clear();
      q.SQL.Add(sql);
    };
    statement(QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(?,?,?,?)"));
    for (const Node &n : nodes)
      q.execSQLWith({qint64(n.id), n.name, qint64(n.parent), QString::number(n.level)});

    statement(QStringLiteral("INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(?,?,?,?)"));
    for (size_t t = 0; t < std::size(kTypes); ++t)
      q.execSQLWith({qint64(kTypes[t].id), QString::fromUtf16(kTypes[t].name),
                     QString::fromUtf16(kTypes[t].description).arg(scoreText(scores[t])), scores[t]});

    statement(QStringLiteral("INSERT INTO 系统参数(参数名,参数值) VALUES(?,?)"));
    for (const Param &p : params)
      q.execSQLWith({p.name, p.value});

    statement(QStringLiteral("INSERT INTO 大题(大题号,大题内容) VALUES(?,?)"));
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].caseLead == int(i))
        q.execSQLWith({qint64(rows[i].caseNumber), rows[i].caseText});

    const QString sub = QStringLiteral(
        "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES(?,?,?,?,?,?,?,?,0)");
    const QString option = QStringLiteral("INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(?,?,?,?)");
    TADOQuery o(c, QStringLiteral("options"));
    o.SQL.Add(option);
    statement(sub);
    for (const Row &r : rows) {
      const qint64 caseNumber = r.caseNumber;
      q.execSQLWith({qint64(r.number), caseNumber, qint64(nodeId.value(r.sectionKey())), r.type,
                     qint64(kTypes[r.typeIdx].id), r.stem, r.answer, r.explanation});
      for (int k = 0; k < r.options.size(); ++k)
        o.execSQLWith({caseNumber, qint64(r.number), qint64(k + 1), r.options[k]});
    }
  });
}

} // namespace

BankImportResult ImportBankSheets(const QString &out, const QStringList &files, const BankImportOptions &options) {
  BankImportResult result;
  // The bank must not be written over one of the sheets it is made from.
  const QFileInfo target(out);
  for (const QString &file : files)
    if (target.exists() && QFileInfo(file).exists() && QFileInfo(file).canonicalFilePath() == target.canonicalFilePath())
      result.problems << QStringLiteral("%1: 这是要导入的表格文件，不能同时作为输出的题库文件").arg(file);
  if (!result.problems.isEmpty())
    return result;
  auto checker = std::make_unique<Checker>(options);
  checker->read(files);
  if (checker->rows.empty() && checker->problems.isEmpty())
    checker->problems << QStringLiteral("%1: 没有找到任何试题行").arg(files.join(QStringLiteral("、")));
  result.problems = checker->problems;
  if (!result.problems.isEmpty())
    return result;
  checker->number(options.keepNumbersFrom);
  result.questions = int(checker->rows.size());
  result.cases = checker->cases;
  result.nodes = int(checker->nodes.size());
  if (!options.dryRun) {
    checker->write(out);
    checker.reset(); // the rows are written: let them go before the check reads the bank
    // What the bank tool's check would say about the bank, as notes.
    if (options.note) {
      const BankLintResult lint = LintBankFile(out, QString());
      for (const QString &p : lint.problems)
        options.note(QStringLiteral("检查：") + p);
      if (!lint.problems.isEmpty())
        options.note(QStringLiteral("检查：") + lint.summary());
    }
  }
  return result;
}

// ---------------------------------------------------------------- export

std::vector<Sheet> BankToSheets(const QString &in, const std::function<void(const QString &)> &warning) {
  QTemporaryDir scratch;
  TADOConnection c;
  openCopy(in, scratch, c);
  QHash<int, int> levels;
  const QHash<int, QString> paths = nodePaths(c, &levels);

  QHash<QString, double> typeScore;
  {
    TADOQuery q(c, QStringLiteral("types"));
    q.SQL.Add(QStringLiteral("SELECT 题目类型,分数 FROM 类型说明 ORDER BY ID"));
    q.OpenForward([&](const TForwardRow &r) {
      if (!typeScore.contains(r.Fields(0).AsString()))
        typeScore.insert(r.Fields(0).AsString(), r.Fields(1).AsFloat());
    });
  }
  QHash<qint64, QString> caseText;
  {
    TADOQuery q(c, QStringLiteral("cases"));
    q.SQL.Add(QStringLiteral("SELECT 大题号,大题内容 FROM 大题"));
    q.OpenForward([&](const TForwardRow &r) { caseText.insert(r.Fields(0).AsLargeInt(), r.Fields(1).AsString()); });
  }
  QHash<qint64, int> caseSize; // 大题号 -> sub-questions carrying it
  {
    TADOQuery q(c, QStringLiteral("sizes"));
    q.SQL.Add(QStringLiteral("SELECT 大题号,count(*) FROM 小题 GROUP BY 大题号"));
    q.OpenForward([&](const TForwardRow &r) { caseSize.insert(r.Fields(0).AsLargeInt(), r.Fields(1).AsInteger()); });
  }
  QHash<qint64, QStringList> options; // 小题号 -> options in order
  int maxOptions = 4;
  {
    TADOQuery q(c, QStringLiteral("options"));
    q.SQL.Add(QStringLiteral("SELECT 小题号,答题选项 FROM 答案选项 ORDER BY 小题号,答案编号"));
    q.OpenForward([&](const TForwardRow &r) {
      QStringList &list = options[r.Fields(0).AsLargeInt()];
      list << r.Fields(1).AsString();
      maxOptions = std::max(maxOptions, int(list.size()));
    });
  }
  if (maxOptions > kMaxOptions)
    throw AppError(QStringLiteral("题库中有题目的选项多于 %1 个，表格格式写不下").arg(kMaxOptions));

  Sheet questions;
  questions.file = QFileInfo(in).fileName();
  questions.name = QStringLiteral("题目");
  QStringList header = {kSubject, kChapter, kSection, kType, kStem};
  for (int k = 0; k < maxOptions; ++k)
    header << optionColumn(k);
  header << kAnswer << kExplanation << kScore << kCase << kCaseGroup;
  questions.rows.push_back({1, header});

  QSet<QString> scoreWritten;
  TADOQuery q(c, QStringLiteral("questions"));
  // A case's sub-questions together, its lead first.
  q.SQL.Add(QStringLiteral("SELECT 小题号,大题号,所属编号,题目类型,题目内容,答案,解释 FROM 小题 "
                           "ORDER BY 大题号, 小题号<>大题号, 小题号"));
  q.OpenForward([&](const TForwardRow &r) {
    const qint64 number = r.Fields(0).AsLargeInt();
    const qint64 caseNumber = r.Fields(1).AsLargeInt();
    const int node = r.Fields(2).AsInteger();
    const QString type = r.Fields(3).AsString();
    const bool inCase = caseNumber != 0 && caseSize.value(caseNumber) > 1;
    QStringList path = paths.value(node).split(kSep);
    if (levels.value(node, -1) != 2) {
      if (warning)
        warning(QStringLiteral("小题 %1 不在某一节下（所属编号 %2），表格中的 科目、章、节 不完整").arg(number).arg(node));
    }
    while (path.size() < 3)
      path << QString();
    QStringList cells = path.mid(0, 3);
    cells << type << r.Fields(4).AsString();
    const QStringList opts = options.value(number);
    for (int k = 0; k < maxOptions; ++k)
      cells << opts.value(k);
    QString answer = r.Fields(5).AsString();
    if (type == QStringLiteral("判断题"))
      answer = answer == QLatin1String("A") ? QStringLiteral("正确") : answer == QLatin1String("B") ? QStringLiteral("错误") : answer;
    cells << answer << r.Fields(6).AsString();
    const QString scoreType = inCase ? kCaseType : type;
    if (!scoreWritten.contains(scoreType) && typeScore.contains(scoreType)) {
      scoreWritten.insert(scoreType);
      cells << scoreText(typeScore.value(scoreType));
    } else {
      cells << QString();
    }
    cells << (inCase && number == caseNumber ? caseText.value(caseNumber) : QString());
    cells << (inCase ? QString::number(caseNumber) : QString());
    questions.rows.push_back({int(questions.rows.size()) + 1, cells});
  });

  Sheet parameters;
  parameters.file = questions.file;
  parameters.name = kParamSheet;
  parameters.rows.push_back({1, {kParamName, kParamValue}});
  {
    TADOQuery p(c, QStringLiteral("params"));
    p.SQL.Add(QStringLiteral("SELECT 参数名,参数值 FROM 系统参数 WHERE 参数名<>'TreeViewIndex' ORDER BY rowid"));
    p.OpenForward([&](const TForwardRow &r) {
      parameters.rows.push_back({int(parameters.rows.size()) + 1, {r.Fields(0).AsString(), r.Fields(1).AsString()}});
    });
  }
  c.Close();
  return {questions, parameters};
}

void ExportBankSheet(const QString &in, const QString &out, const std::function<void(const QString &)> &warning) {
  const bool xlsx = out.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
  if (!xlsx && !out.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
    throw AppError(QStringLiteral("%1：只能导出为 .csv 或 .xlsx 文件").arg(out));
  std::vector<Sheet> sheets = BankToSheets(in, warning);
  if (!xlsx) {
    sheets.resize(1);
    if (warning)
      warning(QStringLiteral("CSV 只有一张表：系统参数没有导出（导出为 .xlsx 时带“参数”工作表）"));
  }
  CheckOutputPath(out);
  WriteSheetFile(out, sheets);
}
