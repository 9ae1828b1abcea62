#pragma once
// What the mock exam reads from the bank: the subjects and their chapters,
// the questions of the chosen chapters in a question range, and the question
// types with their marks. Every statement runs on the repository's own query
// object, on the thread that holds the connection.

#include "store/DM.h"

#include <QString>
#include <vector>

// Which questions a mock exam draws from.
enum class QuestionRange {
  All = 0,        // 全部试题
  Favourites = 1, // 收藏试题: a sub-question of the question is marked
  Wrong = 2,      // 错题重做: a sub-question of the question was once answered wrongly
};

// A row of 题目类别 offered in the setup lists.
struct ExamCategory {
  qint32 id = 0;   // 编号
  QString name;    // 名称
  bool ticked = true;
};

// A question that a mock exam can draw: a stand-alone sub-question, or the
// head sub-question (小题号 = 大题号) that stands for a case question.
struct ExamCandidate {
  int XiaoTiHao = 0;
  QString type;     // 题目类型
  int caseSize = 0; // sub-questions of its case question; 0 when stand-alone
  bool isCase() const { return caseSize > 0; }
  bool operator==(const ExamCandidate &o) const {
    return XiaoTiHao == o.XiaoTiHao && type == o.type && caseSize == o.caseSize;
  }
};

// A row of 类型说明.
struct ExamQuestionType {
  QString name; // 题目类型
  double score = 0; // 分数 of one question (of one sub-question of a case)
};

class MockExamRepository {
public:
  explicit MockExamRepository(TADOConnection &connection);
  explicit MockExamRepository(TDataModule1 &dm);

  // 题目类别 rows with 属性 '0', in query order.
  std::vector<ExamCategory> subjects();
  // The direct children of subject `subjectId`, in query order.
  std::vector<ExamCategory> chapters(qint32 subjectId);
  // The candidates of `range` whose 所属编号 is a direct child of one of
  // `chapterIds` (a section): questions on a chapter itself or further down
  // are not candidates. In query order; one row per question. An empty list
  // of chapters finds nothing without a statement.
  std::vector<ExamCandidate> candidates(QuestionRange range, const std::vector<qint32> &chapterIds);
  // 类型说明 in the order of its ID.
  std::vector<ExamQuestionType> questionTypes();

  // The statement candidates() runs.
  static QString candidateStatement(QuestionRange range, const std::vector<qint32> &chapterIds);

private:
  std::vector<ExamCategory> categories(const QString &statement);
  TADOQuery m_query;
};
