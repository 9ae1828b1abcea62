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
  if (summary.maxMarks == summary.minMarks)
    return QStringLiteral("共 %1 题，满分 %2 分").arg(summary.questions).arg(marks);
  marks += QStringLiteral("～") + marksText(summary.maxMarks);
  return QStringLiteral("共 %1 题，满分 %2 分（%3）").arg(summary.questions).arg(marks, MockExamText::MarksRangeWhy);
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

namespace {
std::vector<qint32> tickedIds(const std::vector<ExamCategory> &items) {
  std::vector<qint32> ids;
  for (const ExamCategory &c : items)
    if (c.ticked)
      ids.push_back(c.id);
  return ids;
}
} // namespace

SetupRead MockExamSetup::read(TADOConnection &connection, const SetupChoice &choice, SetupStep from) {
  MockExamRepository repository(connection);
  SetupRead r;
  r.from = from;
  if (from <= SetupStep::ReadKM) {
    r.subjects = repository.subjects();
    r.examMinutes = ReadExamMinutes(connection);
  }
  if (from <= SetupStep::ReadZJ) {
    for (qint32 subject : tickedIds(from <= SetupStep::ReadKM ? r.subjects : choice.subjects)) {
      std::vector<ExamCategory> more = repository.chapters(subject);
      r.chapters.insert(r.chapters.end(), more.begin(), more.end());
    }
  }
  if (from <= SetupStep::GetAllXiaoTiHao)
    r.candidates = repository.candidates(choice.range, tickedIds(from <= SetupStep::ReadZJ ? r.chapters : choice.chapters));
  r.types = repository.questionTypes();
  return r;
}

void MockExamSetup::apply(SetupRead &&r) {
  if (r.from <= SetupStep::ReadKM) {
    subjects = std::move(r.subjects);
    examMinutes = r.examMinutes;
  }
  if (r.from <= SetupStep::ReadZJ)
    chapters = std::move(r.chapters);
  if (r.from <= SetupStep::GetAllXiaoTiHao) {
    setCandidates({});
    if (chapters.empty()) {
      // No chapter to choose from: nothing to say.
    } else if (!tickedChapterIds()) {
      dialogs().message(MockExamText::NoChapter, MockExamText::NoChapterCaption, Dialogs::Icon::Question);
    } else {
      setCandidates(std::move(r.candidates));
      if (candidates.empty())
        dialogs().message(MockExamText::NoQuestions, MockExamText::NoQuestionsCaption, Dialogs::Icon::Question);
    }
  }
  rows = candidates.empty() ? std::vector<CountRow>{} : BuildCountRows(candidates, r.types);
  SetupReady = true;
}

void MockExamSetup::run(SetupStep from) {
  SetupRead r;
  try {
    r = read(m_connection, choice(), from);
  } catch (...) {
    dropCandidates();
    throw;
  }
  apply(std::move(r));
}

void MockExamSetup::dropCandidates() {
  setCandidates({});
  rows.clear();
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

SetupStep MockExamSetup::chooseRange(QuestionRange r) {
  range = r;
  return SetupStep::ReadZJ;
}

SetupStep MockExamSetup::tickSubject(int index, bool ticked) {
  if (index >= 0 && index < int(subjects.size()))
    subjects[std::size_t(index)].ticked = ticked;
  return SetupStep::ReadZJ;
}

SetupStep MockExamSetup::tickChapter(int index, bool ticked) {
  if (index >= 0 && index < int(chapters.size()))
    chapters[std::size_t(index)].ticked = ticked;
  return SetupStep::GetAllXiaoTiHao;
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
  std::vector<qint32> ids = tickedIds(chapters);
  if (ids.empty())
    return std::nullopt;
  return ids;
}

std::vector<ExamCandidate> MockExamSetup::collectAgain() {
  return MockExamRepository(m_connection).candidates(range, tickedIds(chapters));
}

PaperRequest MockExamSetup::drawRequest(std::vector<ExamCandidate> &&fresh, std::mt19937_64 &random,
                                        const QDateTime &now) {
  setCandidates(std::move(fresh));
  PaperRequest request;
  request.paper = DrawPaper(candidates, rows, random);
  request.kind = PaperKinds::MockExam;
  request.title = DatedPaperTitle(QStringLiteral("模拟考场"), now);
  request.mode = 0;
  return request;
}

PaperRequest MockExamSetup::generate(std::mt19937_64 &random, const QDateTime &now) {
  return drawRequest(collectAgain(), random, now);
}
