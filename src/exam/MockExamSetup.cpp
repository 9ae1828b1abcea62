#include "exam/MockExamSetup.h"
#include "common/Dialogs.h"
#include "exam/TestRecordStore.h"
#include "store/ParametersRepository.h"

#include <QSet>
#include <algorithm>
#include <chrono>

namespace {

constexpr int kDefaultCount = 5;

// `n` entries of `pool` drawn uniformly without repetition, in draw order;
// all of them in their order when n is not less than the pool.
void drawInto(std::vector<int> &pool, int n, std::mt19937_64 &random, std::vector<TXiaoTi> &out) {
  const std::size_t m = pool.size();
  if (std::size_t(n) >= m) {
    for (int x : pool)
      out.push_back({x});
    return;
  }
  // A partial Fisher-Yates shuffle: draw k takes one of the entries not
  // drawn yet, each with the same chance.
  for (std::size_t k = 0; k < std::size_t(n); ++k) {
    std::uniform_int_distribution<std::size_t> pick(k, m - 1);
    std::swap(pool[k], pool[pick(random)]);
    out.push_back({pool[k]});
  }
}

QString marksText(double marks) { return QString::number(marks, 'g', 10); }

} // namespace

std::vector<CountRow> BuildCountRows(const std::vector<ExamCandidate> &candidates,
                                     const std::vector<ExamQuestionType> &types) {
  QHash<QString, int> perType;
  int cases = 0;
  for (const ExamCandidate &c : candidates) {
    if (c.isCase())
      ++cases;
    else
      ++perType[c.type];
  }
  std::vector<CountRow> rows;
  QSet<QString> listed;
  double caseScore = 0;
  bool caseScoreFound = false;
  for (const ExamQuestionType &t : types) {
    if (!caseScoreFound && t.name == MockExamText::CaseRow) {
      caseScore = t.score;
      caseScoreFound = true;
    }
    const auto it = perType.constFind(t.name);
    // A type listed twice in 类型说明 gets one row: two rows would draw the
    // same questions twice.
    if (it == perType.constEnd() || listed.contains(t.name))
      continue;
    listed.insert(t.name);
    rows.push_back({t.name, it.value(), std::min(kDefaultCount, it.value()), false, t.score});
  }
  if (cases > 0)
    rows.push_back({MockExamText::CaseRow, cases, std::min(kDefaultCount, cases), true, caseScore});
  return rows;
}

std::vector<TXiaoTi> DrawPaper(const std::vector<ExamCandidate> &candidates, const std::vector<CountRow> &rows,
                               std::mt19937_64 &random) {
  QHash<QString, std::vector<int>> byType;
  std::vector<int> cases;
  for (const ExamCandidate &c : candidates) {
    if (c.isCase())
      cases.push_back(c.XiaoTiHao);
    else
      byType[c.type].push_back(c.XiaoTiHao);
  }
  std::vector<TXiaoTi> paper;
  for (const CountRow &row : rows) {
    if (row.value <= 0)
      continue;
    if (row.isCase) {
      drawInto(cases, row.value, random, paper);
      continue;
    }
    const auto it = byType.find(row.label);
    if (it != byType.end())
      drawInto(it.value(), row.value, random, paper);
  }
  return paper;
}

ExamSummary SummaryOf(const std::vector<CountRow> &rows, const std::vector<ExamCandidate> &candidates) {
  ExamSummary s;
  std::vector<int> sizes;
  for (const CountRow &row : rows) {
    const int n = std::clamp(row.value, 0, row.maximum);
    s.questions += n;
    if (!row.isCase) {
      s.minMarks += n * row.score;
      s.maxMarks += n * row.score;
      continue;
    }
    if (sizes.empty()) {
      for (const ExamCandidate &c : candidates)
        if (c.isCase())
          sizes.push_back(c.caseSize);
      std::sort(sizes.begin(), sizes.end());
    }
    const std::size_t k = std::min(sizes.size(), std::size_t(n));
    double least = 0, most = 0;
    for (std::size_t i = 0; i < k; ++i) {
      least += sizes[i];
      most += sizes[sizes.size() - 1 - i];
    }
    s.minMarks += least * row.score;
    s.maxMarks += most * row.score;
  }
  return s;
}

QString SummaryText(const ExamSummary &summary) {
  QString marks = marksText(summary.minMarks);
  if (summary.maxMarks != summary.minMarks)
    marks += QStringLiteral("～") + marksText(summary.maxMarks);
  return QStringLiteral("共 %1 题，满分 %2 分").arg(summary.questions).arg(marks);
}

std::mt19937_64 &ExamRandom() {
  static std::mt19937_64 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       unsigned(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937_64(seed);
  }();
  return random;
}

int ReadExamMinutes(TADOConnection &connection) {
  bool ok = false;
  const int minutes = ParametersRepository(connection).value(MockExamText::TimeKey).trimmed().toInt(&ok);
  return ok ? std::clamp(minutes, 0, kMaxExamMinutes) : 0;
}

void StoreExamMinutes(TADOConnection &connection, int minutes) {
  ParametersRepository(connection).write(MockExamText::TimeKey,
                                         QString::number(std::clamp(minutes, 0, kMaxExamMinutes)));
}

// ---------------------------------------------------------------------------

MockExamSetup::FirstLoad MockExamSetup::readFirstLoad(TADOConnection &connection) {
  MockExamRepository repository(connection);
  FirstLoad load;
  load.subjects = repository.subjects();
  for (const ExamCategory &s : load.subjects) {
    std::vector<ExamCategory> chapters = repository.chapters(s.id);
    load.chapters.insert(load.chapters.end(), chapters.begin(), chapters.end());
  }
  std::vector<qint32> ids;
  for (const ExamCategory &c : load.chapters)
    ids.push_back(c.id);
  load.candidates = repository.candidates(QuestionRange::All, ids);
  if (!load.candidates.empty())
    load.types = repository.questionTypes();
  load.examMinutes = ReadExamMinutes(connection);
  return load;
}

void MockExamSetup::applyFirstLoad(FirstLoad &&load) {
  range = QuestionRange::All;
  subjects = std::move(load.subjects);
  chapters = std::move(load.chapters);
  examMinutes = load.examMinutes;
  m_types = std::move(load.types);
  setCandidates({});
  rows.clear();
  if (!chapters.empty())
    collected(std::move(load.candidates));
  rows = BuildCountRows(candidates, m_types);
  SetupReady = true;
}

void MockExamSetup::firstLoad() { applyFirstLoad(readFirstLoad(m_connection)); }

void MockExamSetup::ActReadKM() {
  subjects = m_repository.subjects();
}

void MockExamSetup::ActReadZJ() {
  chapters.clear();
  for (const ExamCategory &s : subjects) {
    if (!s.ticked)
      continue;
    std::vector<ExamCategory> more = m_repository.chapters(s.id);
    chapters.insert(chapters.end(), more.begin(), more.end());
  }
}

void MockExamSetup::ActGetAllXiaoTiHao() {
  setCandidates({});
  if (chapters.empty())
    return;
  const std::optional<std::vector<qint32>> ids = tickedChapterIds();
  if (!ids) {
    dialogs().message(MockExamText::NoChapter, MockExamText::NoChapterCaption, Dialogs::Icon::Question);
    return;
  }
  collected(m_repository.candidates(range, *ids));
}

void MockExamSetup::collected(std::vector<ExamCandidate> &&found) {
  setCandidates(std::move(found));
  if (candidates.empty())
    dialogs().message(MockExamText::NoQuestions, MockExamText::NoQuestionsCaption, Dialogs::Icon::Question);
}

void MockExamSetup::setCandidates(std::vector<ExamCandidate> &&found) {
  candidates = std::move(found);
  CandidateNumbers.clear();
  CaseNumbers.clear();
  CandidateNumbers.reserve(candidates.size());
  for (const ExamCandidate &c : candidates) {
    CandidateNumbers.push_back(c.XiaoTiHao);
    if (c.isCase())
      CaseNumbers.push_back(c.XiaoTiHao);
  }
}

void MockExamSetup::ActSetTXTL() {
  rows.clear();
  if (candidates.empty())
    return;
  m_types = m_repository.questionTypes();
  rows = BuildCountRows(candidates, m_types);
}

// A step that fails leaves no count row: 开始考试 then asks for counts
// instead of drawing from lists that no longer match the ticks.
void MockExamSetup::runSteps(bool readChapters) {
  try {
    if (readChapters)
      ActReadZJ();
    ActGetAllXiaoTiHao();
    ActSetTXTL();
  } catch (...) {
    setCandidates({});
    rows.clear();
    throw;
  }
}

void MockExamSetup::setRange(QuestionRange r) {
  range = r;
  runSteps(true);
}

void MockExamSetup::setSubjectTicked(int index, bool ticked) {
  if (index < 0 || index >= int(subjects.size()))
    return;
  subjects[std::size_t(index)].ticked = ticked;
  runSteps(true);
}

void MockExamSetup::setChapterTicked(int index, bool ticked) {
  if (index < 0 || index >= int(chapters.size()))
    return;
  chapters[std::size_t(index)].ticked = ticked;
  runSteps(false);
}

int MockExamSetup::setCount(int row, int value) {
  if (row < 0 || row >= int(rows.size()))
    return 0;
  CountRow &r = rows[std::size_t(row)];
  r.value = std::clamp(value, 0, r.maximum);
  return r.value;
}

bool MockExamSetup::hasCounts() const {
  return std::any_of(rows.begin(), rows.end(), [](const CountRow &r) { return r.value > 0; });
}

std::optional<std::vector<qint32>> MockExamSetup::tickedChapterIds() const {
  std::vector<qint32> ids;
  for (const ExamCategory &c : chapters)
    if (c.ticked)
      ids.push_back(c.id);
  if (ids.empty())
    return std::nullopt;
  return ids;
}

std::vector<ExamCandidate> MockExamSetup::collectAgain() {
  const std::optional<std::vector<qint32>> ids = tickedChapterIds();
  return ids ? m_repository.candidates(range, *ids) : std::vector<ExamCandidate>{};
}

PaperRequest MockExamSetup::drawRequest(std::vector<ExamCandidate> &&fresh, std::mt19937_64 &random,
                                        const QDateTime &now) {
  setCandidates(std::move(fresh));
  PaperRequest request;
  request.paper = DrawPaper(candidates, rows, random);
  request.kind = PaperKinds::MockExam;
  request.title = QStringLiteral("模拟考场(") + TestTimeText(now) + QLatin1Char(')');
  request.mode = 0;
  return request;
}

PaperRequest MockExamSetup::generate(std::mt19937_64 &random, const QDateTime &now) {
  return drawRequest(collectAgain(), random, now);
}
