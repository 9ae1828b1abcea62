#include "review/WrongRedo.h"
#include "store/DM.h"
#include "store/Transaction.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {
// A test's wrong answers counted beside it, one statement for a whole list.
const QString kTestsWithWrongCount = QStringLiteral(
    "SELECT r.编号,r.测试名称,r.所属章节,"
    "(SELECT count(*) FROM 测试题目 t WHERE t.测试编号=r.编号 AND t.回答正确=0) AS 错题数 FROM 测试结果 r ");
} // namespace

WrongRedo::WrongRedo(TDataModule1 &dm) : m_dm(dm) {}

std::vector<RedoTestRow> WrongRedo::testsOfKind(int kind) {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoTests"));
  q.SQL.Add(kTestsWithWrongCount);
  if (kind == 1)
    q.SQL.Add(QStringLiteral("WHERE r.测试类型=1 ORDER BY r.所属章节,r.测试时间 DESC,r.编号 DESC"));
  else
    q.SQL.Add(QStringLiteral("WHERE r.测试类型=? ORDER BY r.编号"));
  if (kind == 1)
    q.Open();
  else
    q.openWith({kind});
  std::vector<RedoTestRow> out;
  bool haveChapter = false;
  qint64 lastChapter = 0;
  for (q.First(); !q.Eof(); q.Next()) {
    RedoTestRow row;
    row.id = q.Fields(0).AsLargeInt();
    row.name = q.Fields(1).AsString();
    row.chapter = q.Fields(2).AsLargeInt();
    row.wrong = q.Fields(3).AsInteger();
    row.caption = row.name;
    if (row.wrong == 0)
      continue;
    if (kind == 1) {
      // The newest test of each chapter that still has wrong answers.
      if (haveChapter && row.chapter == lastChapter)
        continue;
      haveChapter = true;
      lastChapter = row.chapter;
    }
    out.push_back(row);
  }
  return out;
}

void WrongRedo::load() {
  m_pages[int(RedoPage::MockExams)] = testsOfKind(PaperKinds::MockExam);
  m_pages[int(RedoPage::Favourites)] = testsOfKind(PaperKinds::Favourites);
  m_pages[int(RedoPage::Reviews)] = testsOfKind(PaperKinds::Review);
  m_pages[int(RedoPage::Chapters)] = testsOfKind(PaperKinds::Chapter);
  captionChapters(m_pages[int(RedoPage::Chapters)]);
}

void WrongRedo::captionChapters(std::vector<RedoTestRow> &rows) {
  QHash<QString, std::vector<std::size_t>> byName;
  for (std::size_t i = 0; i < rows.size(); ++i)
    byName[rows[i].name].push_back(i);
  bool clash = false;
  for (const auto &group : byName)
    clash = clash || group.size() > 1;
  if (!clash)
    return;
  // The tree, read once: each node's name and parent.
  struct Node {
    QString name;
    qint64 parent = 0;
  };
  QHash<qint64, Node> tree;
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoTree"));
  q.SQL.Add(QStringLiteral("SELECT 编号,名称,父级编号 FROM 题目类别"));
  q.OpenForward([&](const TForwardRow &row) {
    tree.insert(row.LargeInt(0), Node{QString::fromUtf8(row.Utf8(1)), row.LargeInt(2)});
  });
  // The names above a test's section, nearest first (a few levels; a tree
  // with a loop ends too).
  const auto ancestors = [&tree](qint64 section) {
    QStringList out;
    qint64 at = tree.value(section).parent;
    for (int level = 0; level < 4 && tree.contains(at); ++level) {
      out << tree.value(at).name;
      at = tree.value(at).parent;
    }
    return out;
  };
  // Tests of the same name are led by as many levels as tell them apart;
  // names that the tree cannot tell apart stay as they are.
  for (const auto &group : byName) {
    if (group.size() < 2)
      continue;
    std::vector<QStringList> above;
    for (std::size_t i : group)
      above.push_back(ancestors(rows[i].chapter));
    for (int depth = 1; depth <= 4; ++depth) {
      QSet<QString> seen;
      QStringList captions;
      for (std::size_t k = 0; k < group.size(); ++k) {
        QStringList parts = above[k].mid(0, depth);
        std::reverse(parts.begin(), parts.end());
        parts << rows[group[k]].name;
        parts.removeAll(QString());
        captions << parts.join(QStringLiteral(" · "));
        seen.insert(captions.back());
      }
      if (seen.size() == int(group.size())) {
        for (std::size_t k = 0; k < group.size(); ++k)
          rows[group[k]].caption = captions[int(k)];
        break;
      }
    }
  }
}

std::vector<RedoQuestionRow> WrongRedo::wrongQuestions(qint64 testId) {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoQuestions"));
  q.SQL.Add(QStringLiteral("SELECT 小题号,题目内容,题目类型 FROM 小题 WHERE 小题号 IN "
                           "(SELECT 小题号 FROM 测试题目 WHERE 测试编号=? AND 回答正确=0)"));
  q.SQL.Add(QStringLiteral(" ORDER BY 所属编号,小题号,题目类型"));
  q.openWith({testId});
  std::vector<RedoQuestionRow> out;
  out.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.Fields(0).AsInteger(), q.Fields(1).AsString(), q.Fields(2).AsString()});
  return out;
}

std::vector<TXiaoTi> WrongRedo::heads(const QString &where, const QVariantList &values, bool distinct) {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoHeads"));
  q.SQL.Add(QStringLiteral("SELECT ") + (distinct ? QStringLiteral("DISTINCT ") : QString()) +
            QStringLiteral("s.大题号 FROM 小题 s WHERE ") + where);
  // Only heads that are questions of the bank: never 0, never a number the
  // page builder would find nothing for.
  q.SQL.Add(QStringLiteral(" AND s.大题号<>0 AND EXISTS(SELECT 1 FROM 小题 h WHERE h.小题号=s.大题号)"));
  if (distinct)
    q.SQL.Add(QStringLiteral(" ORDER BY s.大题号"));
  q.openWith(values);
  std::vector<TXiaoTi> out;
  for (q.First(); !q.Eof(); q.Next())
    out.push_back(TXiaoTi{q.Fields(0).AsInteger()});
  return out;
}

std::vector<TXiaoTi> WrongRedo::testPaper(qint64 testId) {
  return heads(QStringLiteral("s.小题号 IN(SELECT 小题号 FROM 测试题目 WHERE 回答正确=0 AND 测试编号=?)"), {testId},
               true);
}

std::vector<TXiaoTi> WrongRedo::questionPaper(int xiaoTiHao) {
  std::vector<TXiaoTi> h = heads(QStringLiteral("s.小题号=?"), {xiaoTiHao}, true);
  h.resize(std::min<std::size_t>(h.size(), 1));
  return h;
}

std::vector<TXiaoTi> WrongRedo::questionsPaper(const std::vector<int> &xiaoTiHao) {
  std::vector<TXiaoTi> out;
  for (int x : xiaoTiHao) {
    const std::vector<TXiaoTi> h = questionPaper(x);
    out.insert(out.end(), h.begin(), h.end());
  }
  return out;
}

void WrongRedo::deleteTest(RedoPage page, qint64 testId) {
  {
    Transaction t(m_dm);
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoDelete"));
    q.SQL.Add(QStringLiteral("DELETE FROM 测试题目 WHERE 测试编号=?"));
    q.execSQLWith({testId});
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("DELETE FROM 测试结果 WHERE 编号=?"));
    q.execSQLWith({testId});
    t.commit();
  }
  std::vector<RedoTestRow> &rows = m_pages[int(page)];
  rows.erase(std::remove_if(rows.begin(), rows.end(), [testId](const RedoTestRow &r) { return r.id == testId; }),
             rows.end());
}

void WrongRedo::deleteQuestion(qint64 testId, int xiaoTiHao) {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("WrongRedoDeleteQuestion"));
  q.SQL.Add(QStringLiteral("DELETE FROM 测试题目 WHERE 测试编号=? AND 小题号=?"));
  q.execSQLWith({testId, xiaoTiHao});
  if (q.RowsAffected() == 0)
    return;
  for (RedoTestRow &r : m_pages[int(RedoPage::Chapters)])
    if (r.id == testId && r.wrong > 0)
      --r.wrong;
}
