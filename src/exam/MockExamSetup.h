#pragma once
// The mock exam's setup as its dialog shows it, without widgets: the question
// range, the subjects and chapters with their ticks, the candidates of the
// ticked chapters and one count row per question type (then one for case
// questions); and the random paper drawn from them. A learner's change runs
// the loading steps that follow from it, once.

#include "exam/MockExamRepository.h"
#include "app/PaperPresenter.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <random>
#include <vector>

// One row of "设置题量".
struct CountRow {
  QString label;     // the question type, or "案例分析题" for the case row
  int maximum = 0;   // questions of the row among the candidates
  int value = 0;     // the requested count: 5 at first, never above maximum
  bool isCase = false;
  double score = 0;  // 类型说明.分数 of the label (of one sub-question for the case row)
};

// What the setup shows under the count rows.
struct ExamSummary {
  int questions = 0;    // a case question counts once
  double minMarks = 0;  // full marks of the paper; the two differ when the
  double maxMarks = 0;  // drawn case questions differ in size
};

namespace MockExamText {
inline const QString Caption = QStringLiteral("模拟考场");
inline const QString CaseRow = QStringLiteral("案例分析题");
inline const QString NoChapter = QStringLiteral("没有符合要求的试题科目！");
inline const QString NoChapterCaption = QStringLiteral("没有试题科目");
inline const QString NoQuestions = QStringLiteral("没有符合要求的题目！");
inline const QString NoQuestionsCaption = QStringLiteral("没有题目");
inline const QString NoCounts = QStringLiteral("题量不能为空！");
inline const QString NoCountsCaption = QStringLiteral("提示");
// Why the full marks of a paper with case questions is a range.
inline const QString MarksRangeWhy = QStringLiteral("案例题的小题数各不相同，满分随抽到的案例题而定");
// What the learner is told when a timed mock exam's time runs out, before
// the paper is graded.
inline const QString TimeUp = QStringLiteral("考试时间到，试卷将自动交卷批阅。");
inline const QString TimeUpCaption = QStringLiteral("时间到");
// 系统参数 key of the time limit in minutes (0: none).
inline const QString TimeKey = QStringLiteral("考试时间");
} // namespace MockExamText

// The count rows of `candidates`: one per type of 类型说明 (in its order,
// a name once) that stand-alone candidates have, then the case row when there
// are case questions. Each starts at 5, or at its maximum when that is less.
std::vector<CountRow> BuildCountRows(const std::vector<ExamCandidate> &candidates,
                                     const std::vector<ExamQuestionType> &types);

// The random paper: for each type row in order, `value` distinct stand-alone
// questions of that type drawn uniformly from the rest of them (all of them in
// candidate order when `value` is not less than their number); then the case
// row's count of case questions, each as its head sub-question, the same way.
// A case question is only ever drawn by the case row.
std::vector<TXiaoTi> DrawPaper(const std::vector<ExamCandidate> &candidates, const std::vector<CountRow> &rows,
                               std::mt19937_64 &random);

ExamSummary SummaryOf(const std::vector<CountRow> &rows, const std::vector<ExamCandidate> &candidates);
// "共 N 题，满分 M 分" (or "满分 A～B 分（why）" when case questions of
// different sizes make the marks a range).
QString SummaryText(const ExamSummary &summary);

// The generator of every draw of the run: seeded once from the system's
// random source and the clock.
std::mt19937_64 &ExamRandom();

// The time limit in minutes stored under MockExamText::TimeKey; 0 when it is
// missing or not a number. Values are kept within 0 … kMaxMinutes.
constexpr int kMaxExamMinutes = 600;
int ReadExamMinutes(TADOConnection &connection);
void StoreExamMinutes(TADOConnection &connection, int minutes);

// The loading steps in order: ActReadKM reads the subjects, ActReadZJ the
// chapters of the ticked subjects (every chapter ticked again),
// ActGetAllXiaoTiHao the candidates of the ticked chapters, ActSetTXTL builds
// the count rows. A run from a step runs the steps after it too.
enum class SetupStep { ReadKM = 1, ReadZJ = 2, GetAllXiaoTiHao = 3, SetTXTL = 4 };

// The learner's choice the steps read with.
struct SetupChoice {
  QuestionRange range = QuestionRange::All;
  std::vector<ExamCategory> subjects, chapters;
};

// What a run of the steps read. Reading only, so it may run on a thread
// that holds the connection; the user-interface thread applies it.
struct SetupRead {
  SetupStep from = SetupStep::ReadKM;
  std::vector<ExamCategory> subjects;    // step 1 (from ReadKM)
  std::vector<ExamCategory> chapters;    // step 2 (from ReadZJ or before)
  std::vector<ExamCandidate> candidates; // step 3 (from GetAllXiaoTiHao or before)
  std::vector<ExamQuestionType> types;   // step 4
  int examMinutes = 0;                   // with step 1
};

class MockExamSetup {
public:
  explicit MockExamSetup(TADOConnection &connection) : m_connection(connection) {}

  QuestionRange range = QuestionRange::All;
  std::vector<ExamCategory> subjects; // CheckListBoxSTLY; SubjectIds are their ids
  std::vector<ExamCategory> chapters; // CheckListBoxSTKM; ChapterIds are their ids
  std::vector<ExamCandidate> candidates;
  std::vector<int> CandidateNumbers; // every candidate's 小题号, in query order
  std::vector<int> CaseNumbers;      // the case questions among them
  std::vector<CountRow> rows;        // TypeCountLabels / TypeCountEdits
  bool SetupReady = false;           // the first load was applied
  int examMinutes = 0;               // the stored time limit, read by the first load

  SetupChoice choice() const { return {range, subjects, chapters}; }
  // The steps from `from` on, read with `choice`.
  static SetupRead read(TADOConnection &connection, const SetupChoice &choice, SetupStep from);
  // What they read applied, with the messages of step 3.
  void apply(SetupRead &&read);
  // Both on this thread. When a step fails no candidate and no count row is
  // left (开始考试 then asks for counts), and the error is thrown.
  void run(SetupStep from);
  void firstLoad() { run(SetupStep::ReadKM); }
  // After a failed read: no candidate, no count row.
  void dropCandidates();

  // The learner's changes of the choice; each returns the step to run from
  // (the event wiring).
  SetupStep chooseRange(QuestionRange r);                // steps 2, 3, 4
  SetupStep tickSubject(int index, bool ticked);          // steps 2, 3, 4
  SetupStep tickChapter(int index, bool ticked);          // steps 3, 4
  // Sets a row's count within 0 … its maximum; returns what it holds.
  int setCount(int row, int value);

  // 开始考试 may start: a row with a count above 0.
  bool hasCounts() const;
  // The ticked chapters; nullopt when none is.
  std::optional<std::vector<qint32>> tickedChapterIds() const;
  // A generation's own collection of the candidates, without messages.
  std::vector<ExamCandidate> collectAgain();
  // The paper drawn from `fresh` candidates with the rows' counts, as a
  // request of kind 2 titled "模拟考场(<date-time>)". The candidate lists are
  // refreshed; the rows stay.
  PaperRequest drawRequest(std::vector<ExamCandidate> &&fresh, std::mt19937_64 &random, const QDateTime &now);
  // Both on this thread.
  PaperRequest generate(std::mt19937_64 &random, const QDateTime &now);

  ExamSummary summary() const { return SummaryOf(rows, candidates); }

private:
  void setCandidates(std::vector<ExamCandidate> &&found);

  TADOConnection &m_connection;
};
