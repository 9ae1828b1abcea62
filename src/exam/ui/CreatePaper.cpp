#include "exam/ui/CreatePaper.h"

#include <QProgressBar>

TFrmCreatePaper::TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent)
    : TFrmCreatePaper(setup, connection, parent, std::make_shared<std::vector<ExamCandidate>>()) {}

TFrmCreatePaper::TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent,
                                 std::shared_ptr<std::vector<ExamCandidate>> candidates)
    : BankReadDialog(QStringLiteral("生成试卷"), QStringLiteral("正在生成随机试卷，请稍候..."), connection,
                     // The worker reads with a copy of the choice, never the setup itself.
                     [&connection, into = candidates, range = setup.range, ids = setup.tickedChapterIds()] {
                       if (ids)
                         *into = MockExamRepository(connection).candidates(range, *ids);
                     },
                     parent),
      m_candidates(std::move(candidates)) {
  ProgressBar1->setRange(0, 0); // busy
}
