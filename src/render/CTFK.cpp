#include "common/Dialogs.h"
#include "mainwin/ErrorReport.h"
#include "render/Global.h"
#include "render/PageBuilder.h"
#include "render/WebHtmlView.h"
#include "store/DM.h"

#include <QApplication>

// Error feedback for one sub-question: the feedback form shows that question
// alone (or its whole case question) without toolbars, on a page written to
// the question page file; the paper state then belongs to that page.
void TDataModule1::CTFK(int XiaoTiHao) {
  TFrmErrorReport form(*this, QApplication::activeWindow());

  CurrentPaper.clear();
  CurrentPaper.push_back(TXiaoTi{XiaoTiHao});
  PaperKind = PaperKinds::Feedback;
  BuildQuestionPage(QStringLiteral("错题反馈"), 1, *this, programDir);

  form.WebBrowser1->navigate(programDir.questionPagePath());
  dialogs().execModal(form);
}
