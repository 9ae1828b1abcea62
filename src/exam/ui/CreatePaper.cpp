#include "exam/ui/CreatePaper.h"

#include <QProgressBar>

TFrmCreatePaper::TFrmCreatePaper(const MockExamSetup &setup, TADOConnection &connection, QWidget *parent)
    : BankReadDialog(QStringLiteral("生成试卷"), QStringLiteral("正在生成随机试卷，请稍候..."), connection,
                     // The worker reads with a copy of the choice, never the setup itself.
                     [this, &connection, range = setup.range, ids = setup.tickedChapterIds()] {
                       if (ids)
                         candidates = MockExamRepository(connection).candidates(range, *ids);
                     },
                     parent) {
  ProgressBar1->setRange(0, 0); // busy
}
