#include "review/PastTests.h"
#include "store/DM.h"

QString MarksCell(double marks) { return QString::number(marks, 'f', 2); }

QString AccuracyCell(double ratio) { return QString::number(ratio * 100.0, 'f', 2) + QChar(0xFF05); }

QString CountAccuracyCell(qint64 right, qint64 count) {
  constexpr qint64 kExact = qint64(1) << 40;
  if (count <= 0)
    return QStringLiteral("0.00") + QChar(0xFF05);
  if (right > kExact || right < -kExact || count > kExact) // a bank's own numbers: no overflow
    return QString::number(double(right) / double(count) * 100.0, 'f', 2) + QChar(0xFF05);
  // Hundredths of a percent in integers: exact, ties away from zero.
  const qint64 num = right * 10000;
  const qint64 h = num >= 0 ? (2 * num + count) / (2 * count) : -((-2 * num + count) / (2 * count));
  const qint64 a = h < 0 ? -h : h;
  return (h < 0 ? QStringLiteral("-") : QString()) + QString::number(a / 100) + QLatin1Char('.') +
         QStringLiteral("%1").arg(a % 100, 2, 10, QLatin1Char('0')) + QChar(0xFF05);
}

PastTests::PastTests(TDataModule1 &dm) : m_dm(dm) { showAllTests(); }

void PastTests::showAllTests() {
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("PastTests"));
  q.SQL.Add(QStringLiteral("SELECT 编号,测试名称,试题数,答对,总分,得分,正确率,测试时间 FROM 测试结果 ORDER BY 编号"));
  q.Open();
  m_listing = Listing::Tests;
  m_headers = {QStringLiteral("    测试名称"), QStringLiteral("  试题数量"), QStringLiteral("  答对题数"),
               QStringLiteral("  总分"),      QStringLiteral("  得分"),     QStringLiteral(" 正确率"),
               QStringLiteral(" 得分率"),     QStringLiteral("    测试时间")};
  m_rows.clear();
  m_numbers.clear();
  if (q.IsEmpty()) {
    m_rows.push_back({QString(), PastTestsText::NoTests, QString(), QString(), QString(), QString(), QString(),
                      QString()});
    return;
  }
  m_rows.reserve(std::size_t(q.RecordCount()));
  m_numbers.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next()) {
    m_rows.push_back({q.Fields(1).AsString(), q.Fields(2).AsString(), q.Fields(3).AsString(),
                      MarksCell(q.Fields(4).AsFloat()), MarksCell(q.Fields(5).AsFloat()),
                      CountAccuracyCell(q.Fields(3).Value().toLongLong(), q.Fields(2).Value().toLongLong()),
                      AccuracyCell(q.Fields(6).AsFloat()), q.Fields(7).AsString()});
    m_numbers.push_back(q.Fields(0).AsLargeInt());
  }
}

void PastTests::fillQuestions(qint64 testId) {
  // A case question is listed once, by its head. The head is found through
  // the stored sub-questions' 大题号, so a case whose head was not stored
  // (a written answer is never graded) is listed too.
  TADOQuery q(m_dm.ADOConnection1, QStringLiteral("PastTestQuestions"));
  q.SQL.Add(QStringLiteral("SELECT 小题号,题目内容,题目类型 FROM 小题 WHERE 小题号 IN("));
  q.SQL.Add(QStringLiteral("SELECT 大题号 FROM 小题 WHERE 小题号 IN(SELECT 小题号 FROM 测试题目 WHERE 测试编号=?))"));
  q.SQL.Add(QStringLiteral(" AND 小题号=大题号 ORDER BY 小题号"));
  q.openWith({testId});
  m_listing = Listing::Questions;
  m_headers = {QStringLiteral("序号"), QStringLiteral("    题目内容"), QStringLiteral("题目类型")};
  m_rows.clear();
  m_numbers.clear();
  if (q.IsEmpty()) {
    m_rows.push_back({QString(), PastTestsText::NoQuestions, QString()});
    return;
  }
  int n = 0;
  for (q.First(); !q.Eof(); q.Next()) {
    m_rows.push_back({QString::number(++n), q.Fields(1).AsString(), q.Fields(2).AsString()});
    m_numbers.push_back(q.Fields(0).AsLargeInt());
  }
}

PastTests::Outcome PastTests::showDetails(int row) {
  Outcome out;
  if (m_numbers.empty() || row < 0 || row >= int(m_numbers.size())) {
    // The placeholder row of an empty history beeps; "没有题目" does nothing.
    out.beep = m_listing == Listing::Tests;
    return out;
  }
  if (m_listing == Listing::Tests) {
    fillQuestions(m_numbers[std::size_t(row)]);
    out.switchedToQuestions = true;
    return out;
  }
  out.paper = std::vector<TXiaoTi>{TXiaoTi{int(m_numbers[std::size_t(row)])}};
  return out;
}

PastTests::Outcome PastTests::activate(Control control, int controlTag, int row) {
  if (controlTag == 0)
    return showDetails(row);
  Outcome out;
  if (m_listing != Listing::Questions || m_numbers.empty())
    return out;
  if (control == Control::Grid) {
    if (row >= 0 && row < int(m_numbers.size()))
      out.paper = std::vector<TXiaoTi>{TXiaoTi{int(m_numbers[std::size_t(row)])}};
    return out;
  }
  std::vector<TXiaoTi> paper;
  paper.reserve(m_numbers.size());
  for (qint64 n : m_numbers)
    paper.push_back(TXiaoTi{int(n)});
  out.paper = std::move(paper);
  return out;
}
