#include "common/Dialogs.h"
#include "render/Global.h"
#include "render/PageBuilder.h"
#include "render/WebHtmlView.h"
#include "store/DM.h"

#include <QDialog>
#include <QVBoxLayout>

// Error feedback for one sub-question: the feedback page shows that question
// alone (or its whole case question) without toolbars. Until the feedback
// form exists, the page is shown in a plain modal window.
void TDataModule1::CTFK(int XiaoTiHao) {
  QDialog form;
  form.setWindowTitle(QStringLiteral("错题反馈"));
  form.resize(700, 500);
  auto *browser = new WebHtmlView(&form);
  auto *layout = new QVBoxLayout(&form);
  layout->addWidget(browser);

  CurrentPaper.clear();
  CurrentPaper.push_back(TXiaoTi{XiaoTiHao});
  PaperKind = PaperKinds::Feedback;
  BuildQuestionPage(QStringLiteral("错题反馈"), 1, *this, programDir);

  browser->navigate(programDir.questionPagePath());
  dialogs().execModal(form);
}
