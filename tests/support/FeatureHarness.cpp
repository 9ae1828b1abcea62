#include "FeatureHarness.h"

#include "collections/FavouritesWriter.h"
#include "render/MyExternal.h"
#include "render/StyleSheet.h"
#include "render/ui/ExternalContainer.h"
#include "render/ui/WebHtmlView.h"
#include "store/ParametersRepository.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

FeatureHarness::FeatureHarness(const QStringList &sql, DialogsKind dialogs,
                               const std::function<void(const QString &root)> &prepare)
    : dir(sql), programDir(dir.root()), context{dm, programDir, {}, presenter, paper, events, &window} {
  if (prepare)
    prepare(dir.root());
  if (!dir.isValid() || OpenBankAtStartup(dm, dir.root()) != StartupResult::Opened)
    qFatal("the test bank did not open");
  if (dialogs == RealDialogs) {
    m_real.emplace();
    setDialogs(&*m_real);
  } else {
    m_fake.emplace(); // installs itself
  }
}

FeatureHarness::~FeatureHarness() {
  m_writer.reset();
  m_container.reset();
  m_view.reset();
  if (m_real)
    setDialogs(nullptr);
}

QString FeatureHarness::parameter(const QString &key) { return ParametersRepository(dm).value(key); }

int FeatureHarness::count(const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
  q.SQL.Add(sql);
  q.Open();
  return q.Fields(0).AsInteger();
}

void FeatureHarness::loadParameters() { LoadSystemParameters(dm); }

WebHtmlView &FeatureHarness::openView() {
  if (!m_view) {
    WriteStyleSheet(programDir);
    m_view = std::make_unique<WebHtmlView>();
    m_container = std::make_unique<TExternalContainer>(m_view.get(), dir.root());
    m_view->resize(900, 700);
    m_view->show();
  }
  return *m_view;
}

FavouritesWriter &FeatureHarness::connectFavourites() {
  openView();
  if (!m_writer) {
    m_writer = std::make_unique<FavouritesWriter>(dm, paper);
    QObject::connect(m_container->GetExternal(), &TMyExternal::favouriteRequested, m_writer.get(),
                     &FavouritesWriter::request);
  }
  return *m_writer;
}

void FeatureHarness::buildPaper(const std::vector<TXiaoTi> &items, qint16 kind, const QString &title) {
  paper = PaperState{};
  paper.paper = items;
  paper.kind = kind;
  BuildQuestionPage(paper, title, 0, dm, programDir);
}

bool FeatureHarness::showPaper(const std::vector<TXiaoTi> &items, qint16 kind, const QString &title,
                               int loadTimeoutMs) {
  openView();
  buildPaper(items, kind, title);
  m_view->navigate(programDir.questionPagePath());
  return m_view->waitForLoad(loadTimeoutMs);
}
