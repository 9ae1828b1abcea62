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
#include <exception>
#include <memory>
#include <sqlite3.h>

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

// The numbers a bank to keep them from gives: a row with the same 题干 in
// the same 科目/章/节 keeps its 小题号, a node with the same names its 编号;
// new ones come after the largest.
struct KeptNumbers {
  QHash<QString, std::vector<int>> numbers; // section path ␟ stem -> 小题号, ascending
  QHash<QString, int> nodes;                // path -> 编号
  int nextNumber = 1;
  int nextNode = 1;
};

KeptNumbers readKeptNumbers(const QString &keepFrom) {
  KeptNumbers kept;
  if (keepFrom.isEmpty())
    return kept;
  QTemporaryDir scratch;
  TADOConnection c;
  openCopy(keepFrom, scratch, c);
  const QHash<int, QString> paths = nodePaths(c);
  for (auto it = paths.cbegin(); it != paths.cend(); ++it) {
    kept.nodes.insert(it.value(), it.key());
    kept.nextNode = std::max(kept.nextNode, it.key() + 1);
  }
  TADOQuery q(c, QStringLiteral("questions"));
  q.SQL.Add(QStringLiteral("SELECT 小题号,所属编号,题目内容 FROM 小题 ORDER BY 小题号"));
  q.OpenForward([&](const TForwardRow &r) {
    const int n = r.Fields(0).AsInteger();
    kept.numbers[paths.value(r.Fields(1).AsInteger()) + kSep + r.Fields(2).AsString().trimmed()].push_back(n);
    kept.nextNumber = std::max(kept.nextNumber, n + 1);
  });
  c.Close();
  return kept;
}

// ---------------------------------------------------------------- rows

struct Row {
  int line = 0;
  QString subject, chapter, section, type, stem, answer, explanation, score, caseText, caseId;
  QStringList options; // as written, prefixes added
  int typeIdx = -1;
  QString sectionKey() const { return subject + kSep + chapter + kSep + section; }
  int number = 0;       // 小题号
  int sectionPlace = 0; // the place of its section among those the sheets name, from 1
};

struct Param {
  QString name, value;
};

struct Node {
  int id;
  QString name;
  int parent;
  int level; // 0 subject, 1 chapter, 2 section
};

// ---------------------------------------------------------------- writing

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

// The rows of a new bank, written as they are checked. A sub-question's
// 所属编号 is at first the place of its section (the tree's numbers are
// known only when every row is read) and set to the section's 编号 at the
// end.
class BankWriter {
public:
  explicit BankWriter(TADOConnection &c)
      : m_connection(c), m_question(prepare("INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) "
                                            "VALUES(?,?,?,?,?,?,?,?,0)")),
        m_option(prepare("INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(?,?,?,?)")),
        m_case(prepare("INSERT INTO 大题(大题号,大题内容) VALUES(?,?)")) {}

  void question(const Row &r, qint64 caseNumber) {
    sqlite3_stmt *q = m_question.get();
    sqlite3_bind_int64(q, 1, r.number);
    sqlite3_bind_int64(q, 2, caseNumber);
    sqlite3_bind_int64(q, 3, r.sectionPlace);
    bindText(q, 4, r.type);
    sqlite3_bind_int64(q, 5, kTypes[r.typeIdx].id);
    bindText(q, 6, r.stem);
    bindText(q, 7, r.answer);
    bindText(q, 8, r.explanation);
    run(q);
    sqlite3_stmt *o = m_option.get();
    for (int k = 0; k < r.options.size(); ++k) {
      sqlite3_bind_int64(o, 1, caseNumber);
      sqlite3_bind_int64(o, 2, r.number);
      sqlite3_bind_int64(o, 3, k + 1);
      bindText(o, 4, r.options[k]);
      run(o);
    }
  }

  void caseMaterial(qint64 caseNumber, const QString &text) {
    sqlite3_stmt *s = m_case.get();
    sqlite3_bind_int64(s, 1, caseNumber);
    bindText(s, 2, text);
    run(s);
  }

  // The tree, the types and the parameters; `sectionIds[i]` is the 编号 of
  // the section in place i + 1.
  void finish(const std::vector<Node> &nodes, const std::vector<int> &sectionIds, const std::vector<double> &scores,
              const std::vector<Param> &params) {
    TADOQuery q(m_connection, QStringLiteral("import"));
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

    bool same = true;
    for (size_t i = 0; i < sectionIds.size(); ++i)
      same = same && sectionIds[i] == int(i + 1);
    if (same)
      return;
    statement(QStringLiteral("CREATE TEMP TABLE import_sections(place INTEGER PRIMARY KEY, id INTEGER)"));
    q.ExecSQL();
    statement(QStringLiteral("INSERT INTO temp.import_sections(place,id) VALUES(?,?)"));
    for (size_t i = 0; i < sectionIds.size(); ++i)
      q.execSQLWith({qint64(i + 1), qint64(sectionIds[i])});
    statement(QStringLiteral("UPDATE 小题 SET 所属编号=(SELECT id FROM temp.import_sections WHERE place=小题.所属编号)"));
    q.ExecSQL();
    statement(QStringLiteral("DROP TABLE temp.import_sections"));
    q.ExecSQL();
  }

private:
  StatementPtr prepare(const char *sql) {
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(m_connection.handle(), sql, -1, &s, nullptr) != SQLITE_OK)
      fail();
    return StatementPtr(s, sqlite3_finalize);
  }
  // A text as it is, UTF-16 for the engine to store as UTF-8; an empty
  // (or null) text as ''.
  static void bindText(sqlite3_stmt *s, int i, const QString &text) {
    if (text.isEmpty())
      sqlite3_bind_text(s, i, "", 0, SQLITE_STATIC);
    else
      sqlite3_bind_text16(s, i, text.constData(), int(text.size() * 2), SQLITE_STATIC);
  }
  void run(sqlite3_stmt *s) {
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
      fail();
  }
  [[noreturn]] void fail() {
    sqlite3 *db = m_connection.handle();
    throw EDatabaseError(EngineErrorMessage(sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))), sqlite3_errcode(db));
  }

  TADOConnection &m_connection;
  StatementPtr m_question, m_option, m_case;
};

// ---------------------------------------------------------------- checking

QStringList questionColumns() {
  QStringList known = {kSubject, kChapter, kSection, kType, kStem, kAnswer, kExplanation, kScore, kCase, kCaseGroup};
  for (int k = 0; k < kMaxOptions; ++k)
    known << optionColumn(k);
  return known;
}

// Only blanks (what trimmed() takes away): known at the first other character.
bool blank(const QString &text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

bool emptyRow(const SheetRow &r) {
  for (const SheetCell &c : r.cells)
    if (!blank(c.text) || !c.problem.isEmpty())
      return false;
  return true;
}

// Takes the sheets row by row: every row is checked, and handed to the
// writer (when there is one) as long as no problem was found. Only what the
// checks across rows need is kept: the open case's rows, the case groups
// and the tree's names seen, the parameters.
class Checker : public SheetRowReceiver {
public:
  Checker(const BankImportOptions &options, KeptNumbers &kept, BankWriter *writer)
      : m_options(options), m_kept(kept), m_writer(writer), m_nextNumber(kept.nextNumber) {
    for (const TypeInfo &t : kTypes)
      scores.push_back(t.score);
    m_scoreLine.assign(scores.size(), 0);
    m_scoreWhere.assign(scores.size(), {});
    for (const auto &p : kDefaultParams)
      params.push_back({QString::fromUtf16(p[0]), QString::fromUtf16(p[1])});
    for (int k = 0; k < kMaxOptions; ++k)
      m_optionColumns << optionColumn(k);
  }

  void read(const QStringList &files);
  // Numbers the tree once every row is read.
  void numberNodes();
  // Writes what comes after the rows; throws what writing a row threw.
  void finishWriting();

  QStringList problems;
  int questions = 0;
  int cases = 0;
  std::vector<Param> params;
  std::vector<double> scores; // per type
  std::vector<Node> nodes;
  std::vector<int> sectionIds; // by place, from 1

  void sheetBegins(const Sheet &s) override;
  void row(SheetRow &r) override;
  void sheetEnds(const Sheet &s) override;

private:
  enum class Mode { HiddenSheet, Header, Params, Questions, Ignored };

  void note(const QString &text) { m_sheetNotes << text; }
  void problem(int line, const QString &column, const QString &text) {
    m_sheetProblems << QStringLiteral("%1:%2:%3: %4: %5").arg(m_file, m_name).arg(line).arg(column, text);
  }
  void caseProblem(int line, const QString &column, const QString &text) {
    m_caseProblems << QStringLiteral("%1:%2:%3: %4: %5").arg(m_file, m_name).arg(line).arg(column, text);
  }
  bool writing() const {
    return m_writer && !m_writeError && problems.isEmpty() && m_fileProblems.isEmpty() && m_sheetProblems.isEmpty() &&
           m_caseProblems.isEmpty();
  }
  void header(const SheetRow &r);
  void paramRow(const SheetRow &r);
  void questionRow(const SheetRow &r);
  void checkMarkup(int line, const QString &column, const QString &text) {
    const MarkupCheck::Problem p = MarkupCheck::check(text);
    if (p)
      problem(line, column, QStringLiteral("第 %1 个字符：%2").arg(p.offset + 1).arg(p.message));
  }
  void take(Row &&row);
  void inCase(Row &&row);
  void closeCase();
  void write(const Row &row, qint64 caseNumber);

  const BankImportOptions &m_options;
  KeptNumbers &m_kept;
  BankWriter *m_writer;
  std::exception_ptr m_writeError;
  int m_nextNumber;
  QStringList m_optionColumns;

  // The file being read: its notes and problems, said once it is read,
  // after what the reader says of it.
  QStringList m_notes, m_fileProblems;
  QStringList m_sheetNotes; // made as the sheet's header and rows came
  // The sheet being read.
  Mode m_mode = Mode::Header;
  QString m_file, m_name;
  bool m_anyRow = false;
  int m_hiddenRows = 0;
  QStringList m_hiddenRowNumbers;
  QStringList m_sheetProblems, m_caseProblems; // the rows', then the cases'
  QHash<QString, int> m_columns;                // header name -> column
  QHash<int, QString> m_names;                  // column -> a question column's name
  // Where the question columns are, in the order of questionColumns().
  enum Column { Subject, Chapter, Section, Type, Stem, Answer, Explanation, Score, Case, CaseGroup, OptionA, ColumnCount = OptionA + kMaxOptions };
  int m_column[ColumnCount] = {};
  int m_nameCol = -1, m_valueCol = -1; // of a parameter sheet
  // Its cases: the one open (its rows so far) and those finished.
  std::vector<Row> m_caseRows;
  QHash<QString, int> m_finished; // 案例组 -> line of its first row

  // Across files.
  std::vector<int> m_scoreLine; // where a type's 分值 was given
  std::vector<std::pair<QString, QString>> m_scoreWhere;
  struct ParamLine {
    QString file, sheet;
    int line;
  };
  QHash<QString, ParamLine> m_paramLine;
  // The tree's paths in the order the rows first name them, by level.
  struct Named {
    QString path, name, parentPath;
  };
  std::vector<Named> m_named[3];
  QHash<QString, int> m_place[3]; // path -> index in m_named
  QString m_lastSubject, m_lastChapter, m_lastSection;
  int m_lastPlace = 0;
};

void Checker::read(const QStringList &files) {
  for (const QString &file : files) {
    SheetReadOptions readOptions;
    readOptions.headerColumns = true; // a stray cell far right costs nothing
    m_notes.clear();
    m_fileProblems.clear();
    const SheetFileContents contents = ReadSheetFileRows(file, readOptions, *this);
    problems << contents.problems;
    if (m_options.note) {
      if (!contents.encoding.isEmpty())
        m_options.note(QStringLiteral("%1：编码 %2").arg(file, contents.encoding));
      for (const QString &n : std::as_const(m_notes))
        m_options.note(n);
    }
    problems << m_fileProblems;
  }
}

void Checker::sheetBegins(const Sheet &s) {
  m_file = s.file;
  m_name = s.name;
  m_mode = s.hidden && !m_options.includeHiddenSheets ? Mode::HiddenSheet : Mode::Header;
  m_anyRow = false;
  m_hiddenRows = 0;
  m_hiddenRowNumbers.clear();
  m_columns.clear();
  m_names.clear();
}

void Checker::row(SheetRow &r) {
  m_anyRow = true;
  if (m_mode == Mode::HiddenSheet)
    return;
  const bool empty = emptyRow(r);
  if (r.hidden && !empty && m_hiddenRows++ < 10)
    m_hiddenRowNumbers << QString::number(r.number);
  if (empty)
    return;
  switch (m_mode) {
  case Mode::Header:
    header(r);
    break;
  case Mode::Params:
    paramRow(r);
    break;
  case Mode::Questions:
    questionRow(r);
    break;
  default:
    break;
  }
}

// What a reader of the sheet in a spreadsheet program would not see, and
// what lies right of the header, is said once per sheet, before what its
// header and rows made us say.
void Checker::sheetEnds(const Sheet &s) {
  if (m_mode == Mode::HiddenSheet) {
    if (m_anyRow)
      m_notes << QStringLiteral("%1:%2：这张工作表是隐藏的，没有导入（要导入隐藏的工作表，用 --include-hidden-sheets）").arg(s.file, s.name);
    return;
  }
  closeCase();
  m_finished.clear();
  QStringList said;
  if (s.hidden)
    said << QStringLiteral("%1:%2：这张工作表是隐藏的，照样导入了").arg(s.file, s.name);
  if (m_hiddenRows > 0)
    said << QStringLiteral("%1:%2：有 %3 行是隐藏的（第 %4%5 行），照样导入了")
                .arg(s.file, s.name)
                .arg(m_hiddenRows)
                .arg(m_hiddenRowNumbers.join(u'、'), m_hiddenRows > 10 ? QStringLiteral(" 等") : QString());
  if (!s.hiddenColumns.empty()) {
    QStringList names;
    for (int c : s.hiddenColumns)
      names << SheetColumnName(c);
    said << QStringLiteral("%1:%2：%3 列是隐藏的，照样导入了").arg(s.file, s.name, names.join(u'、'));
  }
  if (s.cellsPastHeader > 0)
    said << QStringLiteral("%1:%2：有 %3 个单元格在表头最右一列的右边，没有导入").arg(s.file, s.name).arg(s.cellsPastHeader);
  m_notes << said << m_sheetNotes;
  m_sheetNotes.clear();
  m_fileProblems << m_sheetProblems << m_caseProblems;
  m_sheetProblems.clear();
  m_caseProblems.clear();
}

void Checker::header(const SheetRow &r) {
  m_mode = Mode::Ignored;
  const QStringList names = r.texts();
  for (int c = 0; c < names.size(); ++c) {
    const QString name = names[c].trimmed();
    if (name.isEmpty())
      continue;
    if (m_columns.contains(name))
      problem(r.number, name,
              QStringLiteral("这一列在第 %1 列和第 %2 列出现了两次").arg(SheetColumnName(m_columns.value(name)), SheetColumnName(c)));
    else
      m_columns.insert(name, c);
  }
  if (m_name.trimmed() == kParamSheet || m_columns.contains(kParamName)) {
    m_nameCol = int(names.indexOf(kParamName));
    m_valueCol = int(names.indexOf(kParamValue));
    if (m_nameCol < 0 || m_valueCol < 0) {
      problem(r.number, m_nameCol < 0 ? kParamName : kParamValue, QStringLiteral("参数表的第一行要有 参数名 和 参数值 两列"));
      return;
    }
    m_mode = Mode::Params;
    return;
  }
  const QStringList known = questionColumns();
  bool any = false;
  QStringList unknown;
  for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it) {
    if (known.contains(it.key()))
      any = true;
    else
      unknown << it.key();
  }
  if (!any) {
    note(QStringLiteral("%1:%2：第一行没有任何题目列（%3），跳过这张工作表").arg(m_file, m_name, known.mid(0, 5).join(u'、')));
    return;
  }
  std::sort(unknown.begin(), unknown.end());
  if (!unknown.isEmpty())
    note(QStringLiteral("%1:%2：不认识的列没有导入：%3").arg(m_file, m_name, unknown.join(u'、')));
  bool complete = true;
  for (const QString &required : {kSubject, kChapter, kSection, kType, kStem, kAnswer})
    if (!m_columns.contains(required)) {
      problem(r.number, required, QStringLiteral("缺少这一列（表头行要有 科目、章、节、题型、题干、答案）"));
      complete = false;
    }
  if (!complete)
    return;
  for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it)
    if (known.contains(it.key()))
      m_names.insert(it.value(), it.key());
  for (int c = 0; c < ColumnCount; ++c)
    m_column[c] = m_columns.value(known[c], -1);
  m_mode = Mode::Questions;
}

void Checker::paramRow(const SheetRow &r) {
  bool unreadable = false;
  for (const int col : {m_nameCol, m_valueCol}) {
    const SheetCell *c = r.cell(col);
    if (c && !c->problem.isEmpty()) {
      problem(r.number, col == m_nameCol ? kParamName : kParamValue, c->problem);
      unreadable = true;
    }
  }
  if (unreadable)
    return;
  const QString name = r.text(m_nameCol).trimmed();
  const QString value = r.text(m_valueCol).trimmed();
  if (name.isEmpty()) {
    problem(r.number, kParamName, QStringLiteral("参数名不能为空"));
    return;
  }
  const auto seen = m_paramLine.constFind(name);
  if (seen != m_paramLine.constEnd()) {
    problem(r.number, kParamName, QStringLiteral("参数“%1”已在 %2:%3 第 %4 行给出").arg(name, seen->file, seen->sheet).arg(seen->line));
    return;
  }
  m_paramLine.insert(name, {m_file, m_name, r.number});
  if (std::none_of(std::begin(kKnownParams), std::end(kKnownParams), [&](const char16_t *k) { return name == QStringView(k); }))
    note(QStringLiteral("%1:%2:%3：参数“%4”不是程序使用的参数名，照样写入").arg(m_file, m_name).arg(r.number).arg(name));
  checkMarkup(r.number, kParamValue, value);
  auto it = std::find_if(params.begin(), params.end(), [&](const Param &p) { return p.name == name; });
  if (it != params.end())
    it->value = value;
  else
    params.push_back({name, value});
}

void Checker::questionRow(const SheetRow &r) {
  auto cell = [&](Column column) {
    const int c = m_column[column];
    if (c < 0)
      return QString();
    return r.text(c).trimmed();
  };
  // A cell of the question that shows no text to take (an error value,
  // a formula never computed, a format beyond reading) refuses the row;
  // the rest of the row is not judged on the missing text.
  bool unreadable = false;
  for (const SheetCell &c : r.cells) {
    if (c.problem.isEmpty() || !m_names.contains(c.column))
      continue;
    problem(r.number, m_names.value(c.column), c.problem);
    unreadable = true;
  }
  if (unreadable)
    return;
  Row row;
  row.line = r.number;
  row.subject = cell(Subject);
  row.chapter = cell(Chapter);
  row.section = cell(Section);
  row.type = cell(Type);
  row.stem = cell(Stem);
  row.answer = cell(Answer);
  row.explanation = cell(Explanation);
  row.score = cell(Score);
  row.caseText = cell(Case);
  row.caseId = cell(CaseGroup);
  const int line = r.number;

  for (const QString *name : {&kSubject, &kChapter, &kSection}) {
    const QString &text = name == &kSubject ? row.subject : name == &kChapter ? row.chapter : row.section;
    if (text.isEmpty())
      problem(line, *name, QStringLiteral("不能为空：每道题都要放在某个科目的某章某节下"));
    checkMarkup(line, *name, text); // a section's name is its paper's title
  }
  if (row.stem.isEmpty())
    problem(line, kStem, QStringLiteral("题干不能为空"));
  checkMarkup(line, kStem, row.stem);
  checkMarkup(line, kExplanation, row.explanation);
  checkMarkup(line, kCase, row.caseText);

  // Options: A, B, … without a gap.
  QString optionTexts[kMaxOptions];
  int lastFilled = -1;
  for (int k = 0; k < kMaxOptions; ++k) {
    optionTexts[k] = cell(Column(OptionA + k));
    if (!optionTexts[k].isEmpty())
      lastFilled = k;
  }
  row.options.reserve(lastFilled + 1);
  for (int k = 0; k <= lastFilled; ++k) {
    QString &text = optionTexts[k];
    if (text.isEmpty()) {
      problem(line, m_optionColumns[k], QStringLiteral("选项之间不能有空缺：%1 有内容而这一格是空的").arg(m_optionColumns[lastFilled]));
      continue;
    }
    checkMarkup(line, m_optionColumns[k], text);
    if (!hasLetterPrefix(text, k))
      text = QChar(u'A' + k) + QStringLiteral("．") + text;
    row.options << text;
  }
  row.typeIdx = typeIndex(row.type);
  if (row.type.isEmpty()) {
    problem(line, kType, QStringLiteral("题型不能为空（可用：%1）").arg(rowTypeNames().join(u'、')));
  } else if (row.typeIdx == kCaseTypeIndex) {
    problem(line, kType,
            QStringLiteral("“案例分析题”不是小题的题型：填写每个小题自己的题型，用 案例 和 案例组 两列把小题归入案例"));
    row.typeIdx = -1;
  } else if (row.typeIdx < 0) {
    problem(line, kType, QStringLiteral("未知题型“%1”（可用：%2）").arg(row.type, rowTypeNames().join(u'、')));
  }

  if (row.typeIdx >= 0) {
    const Kind kind = kTypes[row.typeIdx].kind;
    const int n = int(row.options.size());
    if (kind == Kind::Single || kind == Kind::Multiple) {
      if (n < 2)
        problem(line, n == 0 ? optionColumn(0) : optionColumn(1), QStringLiteral("%1至少要有两个选项").arg(row.type));
      QString letters;
      bool bad = false;
      for (const QChar c : row.answer) {
        if (c.isSpace() || QStringLiteral(",，、;；").contains(c))
          continue;
        const QChar u = c.toUpper();
        if (u < u'A' || u > u'H') {
          problem(line, kAnswer, QStringLiteral("%1的答案只能是选项字母（如 A 或 ABD），不能有“%2”").arg(row.type, QString(c)));
          bad = true;
          break;
        }
        if (u.unicode() - u'A' >= n && n >= 2) {
          problem(line, kAnswer, QStringLiteral("答案中的 %1 没有对应的选项（这道题只有 A 到 %2）").arg(u).arg(QChar(u'A' + n - 1)));
          bad = true;
        }
        if (!letters.contains(u))
          letters += u;
      }
      std::sort(letters.begin(), letters.end());
      if (!bad) {
        if (letters.isEmpty())
          problem(line, kAnswer, QStringLiteral("答案不能为空"));
        else if (kind == Kind::Single && letters.size() > 1)
          problem(line, kAnswer, QStringLiteral("单项选择题只能有一个答案，这里有 %1 个（%2）").arg(letters.size()).arg(letters));
      }
      row.answer = letters;
    } else {
      if (n > 0)
        problem(line, optionColumn(0),
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
          problem(line, kAnswer, QStringLiteral("判断题的答案应为 正确 或 错误（也可写 A 或 B），这里是“%1”").arg(row.answer));
      } else {
        checkMarkup(line, kAnswer, row.answer);
      }
    }
  }

  if (!row.score.isEmpty()) {
    bool ok = false;
    const double v = row.score.toDouble(&ok);
    if (!ok || !(v > 0) || v > 1000) {
      problem(line, kScore, QStringLiteral("分值应是大于 0 的数（如 1 或 2.5），这里是“%1”").arg(row.score));
    } else {
      // A case's sub-questions are scored as 案例分析题.
      const int t = row.caseId.isEmpty() ? row.typeIdx : kCaseTypeIndex;
      if (t >= 0) {
        if (m_scoreLine[t] == 0) {
          scores[t] = v;
          m_scoreLine[t] = line;
          m_scoreWhere[t] = {m_file, m_name};
        } else if (scores[t] != v) {
          problem(line, kScore,
                  QStringLiteral("%1的分值在 %2:%3 第 %4 行已定为 %5，这里却是 %6（同一题型只有一个分值）")
                      .arg(QString::fromUtf16(kTypes[t].name), m_scoreWhere[t].first, m_scoreWhere[t].second)
                      .arg(m_scoreLine[t])
                      .arg(scoreText(scores[t]), row.score));
        }
      }
    }
  }
  take(std::move(row));
}

// A checked row: numbered, its tree's names noted, and written or kept
// with its case.
void Checker::take(Row &&row) {
  ++questions;
  // A kept number is used once; the others follow the largest kept.
  const auto kept = m_kept.numbers.isEmpty() ? m_kept.numbers.end() : m_kept.numbers.find(row.sectionKey() + kSep + row.stem);
  if (kept != m_kept.numbers.end() && !kept->empty()) {
    row.number = kept->front();
    kept->erase(kept->begin());
  } else {
    row.number = m_nextNumber++;
  }
  if (questions == 1 || row.subject != m_lastSubject || row.chapter != m_lastChapter || row.section != m_lastSection) {
    const QString paths[3] = {row.subject, row.subject + kSep + row.chapter, row.sectionKey()};
    const QString *names[3] = {&row.subject, &row.chapter, &row.section};
    for (int level = 0; level < 3; ++level) {
      if (names[level]->isEmpty() || m_place[level].contains(paths[level]))
        continue;
      m_place[level].insert(paths[level], int(m_named[level].size()));
      m_named[level].push_back({paths[level], *names[level], level == 0 ? QString() : paths[level - 1]});
    }
    m_lastSubject = row.subject;
    m_lastChapter = row.chapter;
    m_lastSection = row.section;
    m_lastPlace = m_place[2].value(paths[2], -1) + 1;
  }
  row.sectionPlace = m_lastPlace;
  inCase(std::move(row));
}

// The rows of one sheet that belong to cases: a case's first row has the
// material, the rows after it with the same 案例组 and an empty 案例 belong to
// it, and they stand together. A case's rows are written when it closes: its
// number is that of its sub-question numbered first, so the page, which
// lists them by number, starts with the one that carries it.
void Checker::inCase(Row &&r) {
  if (r.caseId.isEmpty()) {
    closeCase();
    if (!r.caseText.isEmpty())
      caseProblem(r.line, kCaseGroup, QStringLiteral("有案例材料却没有案例组：给这个案例的每一行填上同一个案例组编号"));
    write(r, r.number);
    return;
  }
  if (!m_caseRows.empty() && m_caseRows.front().caseId == r.caseId) {
    const Row &lead = m_caseRows.front();
    if (!r.caseText.isEmpty())
      caseProblem(r.line, kCase, QStringLiteral("案例组“%1”的材料已在第 %2 行给出，后面的小题这一格应留空").arg(r.caseId).arg(lead.line));
    if (r.sectionKey() != lead.sectionKey())
      caseProblem(r.line, kSection, QStringLiteral("案例组“%1”的小题要与第 %2 行在同一科目、章、节").arg(r.caseId).arg(lead.line));
    m_caseRows.push_back(std::move(r));
    return;
  }
  closeCase();
  if (m_finished.contains(r.caseId)) {
    caseProblem(r.line, kCaseGroup,
                QStringLiteral("案例组“%1”在第 %2 行开始、已经结束：一个案例的小题要连在一起").arg(r.caseId).arg(m_finished.value(r.caseId)));
    return;
  }
  if (r.caseText.isEmpty())
    caseProblem(r.line, kCase, QStringLiteral("案例组“%1”的第一行要填写案例材料").arg(r.caseId));
  m_caseRows.push_back(std::move(r));
}

void Checker::closeCase() {
  if (m_caseRows.empty())
    return;
  const Row &lead = m_caseRows.front();
  if (m_caseRows.size() < 2)
    caseProblem(lead.line, kCaseGroup, QStringLiteral("案例组“%1”只有一个小题：案例至少要有两个小题").arg(lead.caseId));
  else
    ++cases;
  m_finished.insert(lead.caseId, lead.line);
  if (writing()) {
    int caseNumber = lead.number;
    for (const Row &r : m_caseRows)
      caseNumber = std::min(caseNumber, r.number);
    try {
      m_writer->caseMaterial(caseNumber, lead.caseText);
    } catch (const AppError &) {
      m_writeError = std::current_exception();
    }
    for (const Row &r : m_caseRows)
      write(r, caseNumber);
  }
  m_caseRows.clear();
}

void Checker::write(const Row &row, qint64 caseNumber) {
  if (!writing())
    return;
  try {
    m_writer->question(row, caseNumber);
  } catch (const AppError &) {
    m_writeError = std::current_exception(); // said when no problem of the rows comes first
  }
}

// Subjects first, then chapters, then sections, each in the order the
// sheets first name them (the tree lists children by number).
void Checker::numberNodes() {
  int nextNode = m_kept.nextNode;
  QHash<QString, int> nodeId; // path -> 编号
  for (int level = 0; level < 3; ++level)
    for (const Named &n : m_named[level]) {
      const auto old = m_kept.nodes.constFind(n.path);
      const int id = old != m_kept.nodes.constEnd() ? *old : nextNode++;
      nodeId.insert(n.path, id);
      nodes.push_back({id, n.name, level == 0 ? 0 : nodeId.value(n.parentPath), level});
      if (level == 2)
        sectionIds.push_back(id);
    }
  std::sort(nodes.begin(), nodes.end(), [](const Node &a, const Node &b) { return a.id < b.id; });
}

void Checker::finishWriting() {
  if (m_writeError)
    std::rethrow_exception(m_writeError);
  m_writer->finish(nodes, sectionIds, scores, params);
}

} // namespace

BankImportResult ImportBankSheets(const QString &out, const QStringList &files, const BankImportOptions &options) {
  BankImportResult result;
  // The bank must not be written over one of the sheets it is made from,
  // nor its partial file (which is begun before the sheets are read).
  const QFileInfo target(out);
  const QFileInfo partial(out + QStringLiteral(".partial"));
  bool partialIsSheet = false;
  for (const QString &file : files) {
    const QFileInfo sheet(file);
    if (target.exists() && sheet.exists() && sheet.canonicalFilePath() == target.canonicalFilePath())
      result.problems << QStringLiteral("%1: 这是要导入的表格文件，不能同时作为输出的题库文件").arg(file);
    if (partial.exists() && sheet.exists() && sheet.canonicalFilePath() == partial.canonicalFilePath())
      partialIsSheet = true;
  }
  if (!result.problems.isEmpty())
    return result;

  // What keeps the bank from being written (the bank to keep numbers from
  // cannot be read, the output cannot be made) is said only when the rows
  // themselves have no problem.
  std::exception_ptr failure;
  KeptNumbers kept;
  try {
    kept = readKeptNumbers(options.keepNumbersFrom);
  } catch (const AppError &) {
    failure = std::current_exception();
  }
  auto finishRead = [&](Checker &checker) {
    if (checker.questions == 0 && checker.problems.isEmpty())
      checker.problems << QStringLiteral("%1: 没有找到任何试题行").arg(files.join(QStringLiteral("、")));
    result.problems = checker.problems;
    if (!result.problems.isEmpty())
      return false;
    checker.numberNodes();
    result.questions = checker.questions;
    result.cases = checker.cases;
    result.nodes = int(checker.nodes.size());
    return true;
  };

  bool written = false;
  if (!options.dryRun && !failure && !partialIsSheet) {
    // The rows go into the new bank as they are checked; a problem anywhere
    // and the new bank is dropped.
    struct Dropped {};
    bool begun = false;
    try {
      BuildBankInBulk(
          out,
          [&](TADOConnection &c) {
            begun = true;
            BankWriter writer(c);
            Checker checker(options, kept, &writer);
            checker.read(files);
            if (!finishRead(checker))
              throw Dropped();
            checker.finishWriting();
          },
          [&](const QString &partial) {
            // What the bank tool's check would say about the bank, as notes.
            if (!options.note)
              return;
            const BankLintResult lint = LintBankFile(partial, QString());
            for (const QString &p : lint.problems)
              options.note(QStringLiteral("检查：") + p);
            if (!lint.problems.isEmpty())
              options.note(QStringLiteral("检查：") + lint.summary());
          });
      written = true;
    } catch (const Dropped &) {
      return result;
    } catch (const AppError &) {
      if (begun)
        throw;
      failure = std::current_exception(); // the rows are checked below, writing nothing
    }
  }
  if (!written) {
    Checker checker(options, kept, nullptr);
    checker.read(files);
    if (!finishRead(checker))
      return result;
    if (failure)
      std::rethrow_exception(failure);
    if (!options.dryRun) // a partial file given as a sheet is refused by the reader: not reached
      throw FileError(QStringLiteral("%1: 这是要导入的表格文件，不能同时作为输出的题库文件").arg(partial.filePath()));
    return result;
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
