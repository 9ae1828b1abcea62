#include "BankSynth.h"

#include "store/BankBuilder.h"
#include "store/DM.h"
#include "store/FileError.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <random>
#include <sqlite3.h>

namespace {

// A small prepared statement helper; the generator writes many rows fast.
class Insert {
public:
  Insert(sqlite3 *db, const char *sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
      throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_errcode(db));
  }
  ~Insert() { sqlite3_finalize(m_stmt); }
  Insert &bind(int i, qint64 v) {
    sqlite3_bind_int64(m_stmt, i, v);
    return *this;
  }
  Insert &bind(int i, double v) {
    sqlite3_bind_double(m_stmt, i, v);
    return *this;
  }
  Insert &bind(int i, const QString &v) {
    const QByteArray u = v.toUtf8();
    sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    return *this;
  }
  void run() {
    if (sqlite3_step(m_stmt) != SQLITE_DONE)
      throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db)), sqlite3_errcode(m_db));
    sqlite3_reset(m_stmt);
  }

private:
  sqlite3 *m_db;
  sqlite3_stmt *m_stmt = nullptr;
};

const char16_t kSyllables[] =
    u"管理信息系统项目质量成本进度风险沟通采购合同变更范围计划控制需求分析设计测试运维安全网络数据存储"
    u"备份恢复审计评估组织人员资源配置版本文档标准规范流程方法工具技术指标统计样本总体均值方差概率分布";

struct Words {
  std::mt19937_64 &rng;
  QString text(int minLen, int maxLen) {
    std::uniform_int_distribution<int> len(minLen, maxLen);
    std::uniform_int_distribution<int> pick(0, int(std::size(kSyllables)) - 2);
    const int n = len(rng);
    QString s;
    s.reserve(n + n / 12 + 1);
    for (int i = 0; i < n; ++i) {
      s += QChar(kSyllables[pick(rng)]);
      if (i % 12 == 11 && i + 1 < n)
        s += QChar(u'，');
    }
    return s;
  }
};

struct TypeInfo {
  const char16_t *name;
  int number;
  int options; // 0 for textual types and 判断题
  double score;
};

const TypeInfo kTypes[] = {
    {u"单项选择题", 1, 4, 1.0}, {u"多项选择题", 2, 4, 2.0}, {u"判断题", 3, 0, 1.0},
    {u"填空题", 4, 0, 1.0},     {u"简答题", 5, 0, 5.0},     {u"计算题", 6, 0, 5.0},
};
// Shares of the stand-alone questions per type, in percent.
const int kTypeShare[] = {45, 22, 15, 8, 6, 4};

QString letters(std::mt19937_64 &rng, int options, bool multiple) {
  std::uniform_int_distribution<int> pick(0, options - 1);
  if (!multiple)
    return QString(QChar('A' + pick(rng)));
  QString s;
  while (s.size() < 2) {
    s.clear();
    for (int k = 0; k < options; ++k)
      if (rng() % 2)
        s += QChar('A' + k);
  }
  return s;
}

struct SubRecord {
  int number;
  int section;
  bool graded; // a choice type: graded, so it gets a 测试题目 row
  bool favourite;
  double score;
};

QString timeText(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

// A learner's history of `count` stored tests, as the program stores them:
// chapter practice (kind 1) named after the practised section, which is
// practised again and again under the same name; mock exams (2), favourites
// papers (4) and reviews of a past test (5) named with their time; some
// records later overwritten by a wrong-question redo (the redo keeps the
// record's name and kind and turns some wrong answers right). Kinds 3 and 9
// are never stored. Wrong answers fall on stand-alone and case sub-questions
// alike.
void writeHistory(sqlite3 *db, const std::vector<SubRecord> &subs, const std::vector<int> &sectionIds, int count,
                  std::uint64_t seed) {
  if (count == 0)
    return;
  std::mt19937_64 rng(seed ^ 0x9e3779b97f4a7c15ULL);
  std::uniform_int_distribution<int> percent(0, 99);

  QHash<int, QString> sectionName;
  {
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT 编号,名称 FROM 题目类别", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      sectionName.insert(sqlite3_column_int(st, 0),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))));
    sqlite3_finalize(st);
  }
  QHash<int, std::vector<const SubRecord *>> bySection;
  std::vector<const SubRecord *> graded, favourites;
  for (const SubRecord &r : subs) {
    if (!r.graded)
      continue;
    bySection[r.section].push_back(&r);
    graded.push_back(&r);
    if (r.favourite)
      favourites.push_back(&r);
  }
  if (graded.empty())
    return;
  if (favourites.empty())
    favourites.push_back(graded.front());
  // A learner keeps to a few dozen sections and comes back to them.
  std::vector<int> practised;
  for (int i = 0; i < std::min<int>(40, int(sectionIds.size())); ++i)
    practised.push_back(sectionIds[std::size_t(rng() % sectionIds.size())]);

  Insert test(db, "INSERT INTO 测试结果(测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节) VALUES(?,?,?,?,?,?,?,?,?)");
  Insert testQ(db, "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(?,?,?)");
  Insert redo(db, "UPDATE 测试结果 SET 试题数=?,答对=?,总分=?,得分=?,正确率=?,测试时间=? WHERE 编号=?");
  Insert redoQ(db, "UPDATE 测试题目 SET 回答正确=-1 WHERE 测试编号=? AND 小题号=?");

  struct Stored {
    qint64 id;
    std::vector<const SubRecord *> questions;
    std::vector<bool> right;
  };
  std::vector<Stored> stored;
  QDateTime when(QDate(2026, 1, 5), QTime(19, 0));
  int chapterId = 0; // the last chapter practised since the start, as the program keeps it
  const int skill = 60 + percent(rng) % 25; // percent of answers right

  for (int n = 0; n < count; ++n) {
    when = when.addSecs(600 + qint64(rng() % (36 * 3600)));
    const int r = percent(rng);
    int kind;
    QString name;
    std::vector<const SubRecord *> paper;
    if (r < 60 || stored.empty()) {
      kind = 1;
      const int section = practised[std::size_t(rng() % practised.size())];
      chapterId = section;
      name = sectionName.value(section);
      paper = bySection.value(section);
      if (paper.empty())
        paper.push_back(graded[std::size_t(rng() % graded.size())]);
    } else if (r < 80) {
      kind = 2;
      name = QStringLiteral("模拟考场(") + timeText(when) + QLatin1Char(')');
      const int size = 50 + int(rng() % 51);
      for (int k = 0; k < size; ++k)
        paper.push_back(graded[std::size_t(rng() % graded.size())]);
    } else if (r < 90) {
      kind = 4;
      name = QStringLiteral("收藏试题(") + timeText(when) + QLatin1Char(')');
      const int size = std::min<int>(int(favourites.size()), 10 + int(rng() % 41));
      for (int k = 0; k < size; ++k)
        paper.push_back(favourites[std::size_t(rng() % favourites.size())]);
    } else {
      kind = 5;
      name = QStringLiteral("温故知新(") + timeText(when) + QLatin1Char(')');
      paper = stored[std::size_t(rng() % stored.size())].questions;
    }
    std::sort(paper.begin(), paper.end(), [](const SubRecord *a, const SubRecord *b) { return a->number < b->number; });
    paper.erase(std::unique(paper.begin(), paper.end()), paper.end());

    Stored s;
    s.questions = paper;
    int right = 0;
    double total = 0, score = 0;
    for (const SubRecord *q : paper) {
      const bool ok = percent(rng) < skill;
      s.right.push_back(ok);
      right += ok;
      total += q->score;
      score += ok ? q->score : 0;
    }
    test.bind(1, name).bind(2, qint64(paper.size())).bind(3, qint64(right)).bind(4, total).bind(5, score)
        .bind(6, total > 0 ? score / total : 0.0).bind(7, timeText(when)).bind(8, qint64(kind))
        .bind(9, qint64(chapterId)).run();
    s.id = sqlite3_last_insert_rowid(db);
    for (std::size_t k = 0; k < paper.size(); ++k)
      testQ.bind(1, s.id).bind(2, qint64(paper[k]->number)).bind(3, qint64(s.right[k] ? -1 : 0)).run();
    stored.push_back(std::move(s));

    // Now and then the learner redoes the wrong questions of an earlier test:
    // the record takes the redo's counts and time, some wrong turn right.
    if (percent(rng) < 10) {
      Stored &old = stored[std::size_t(rng() % stored.size())];
      when = when.addSecs(300 + qint64(rng() % 7200));
      int redoCount = 0, redoRight = 0;
      double redoTotal = 0, redoScore = 0;
      for (std::size_t k = 0; k < old.questions.size(); ++k) {
        if (old.right[k])
          continue;
        ++redoCount;
        redoTotal += old.questions[k]->score;
        if (percent(rng) < skill) {
          old.right[k] = true;
          ++redoRight;
          redoScore += old.questions[k]->score;
          redoQ.bind(1, old.id).bind(2, qint64(old.questions[k]->number)).run();
        }
      }
      if (redoCount > 0)
        redo.bind(1, qint64(redoCount)).bind(2, qint64(redoRight)).bind(3, redoTotal).bind(4, redoScore)
            .bind(5, redoTotal > 0 ? redoScore / redoTotal : 0.0).bind(6, timeText(when)).bind(7, old.id).run();
    }
  }
}

} // namespace

void SynthesizeBank(const QString &out, int questions, std::uint64_t seed, int tests) {
  if (questions < 1)
    throw AppError(QStringLiteral("试题数必须大于 0"));
  BuildBankFromTexts(out, {}, true, [&](TADOConnection &c) {
    sqlite3 *db = c.handle();
    std::mt19937_64 rng(seed);
    Words words{rng};

    // About 100 sub-questions per section, three sections per chapter,
    // eight chapters per subject, at least two subjects.
    const int sections = std::max(4, questions / 100);
    const int chapters = std::max(2, (sections + 2) / 3);
    const int subjects = std::max(2, (chapters + 7) / 8);

    Insert node(db, "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(?,?,?,?)");
    int nextId = 1;
    std::vector<int> subjectIds, chapterIds, sectionIds;
    for (int s = 0; s < subjects; ++s) {
      subjectIds.push_back(nextId);
      node.bind(1, qint64(nextId++)).bind(2, QStringLiteral("科目%1 ").arg(s + 1) + words.text(4, 8)).bind(3, qint64(0)).bind(4, QStringLiteral("0")).run();
    }
    for (int ch = 0; ch < chapters; ++ch) {
      chapterIds.push_back(nextId);
      node.bind(1, qint64(nextId++)).bind(2, QStringLiteral("第%1章 ").arg(ch + 1) + words.text(4, 10)).bind(3, qint64(subjectIds[ch % subjects])).bind(4, QStringLiteral("1")).run();
    }
    for (int se = 0; se < sections; ++se) {
      sectionIds.push_back(nextId);
      node.bind(1, qint64(nextId++)).bind(2, QStringLiteral("第%1节 ").arg(se + 1) + words.text(4, 10)).bind(3, qint64(chapterIds[se % chapters])).bind(4, QStringLiteral("2")).run();
    }

    Insert type(db, "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(?,?,?,?)");
    int typeId = 1;
    for (const TypeInfo &t : kTypes)
      type.bind(1, qint64(typeId++)).bind(2, QString::fromUtf16(t.name)).bind(3, QStringLiteral("（每题%1分）").arg(t.score)).bind(4, t.score).run();
    type.bind(1, qint64(typeId)).bind(2, QStringLiteral("案例分析题")).bind(3, QStringLiteral("（每小题2分）")).bind(4, 2.0).run();

    Insert sub(db, "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏) VALUES(?,?,?,?,?,?,?,?,?)");
    Insert option(db, "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(?,?,?,?)");
    Insert caseRow(db, "INSERT INTO 大题(大题号,大题内容) VALUES(?,?)");

    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<SubRecord> subs; // what a test history draws from
    auto pickType = [&]() -> const TypeInfo & {
      int r = percent(rng);
      for (int i = 0; i < int(std::size(kTypes)); ++i) {
        if (r < kTypeShare[i])
          return kTypes[i];
        r -= kTypeShare[i];
      }
      return kTypes[0];
    };
    auto writeSub = [&](int number, int caseNumber, int section, const TypeInfo &t) {
      QString answer;
      if (t.options > 0)
        answer = letters(rng, t.options, t.number == 2);
      else if (t.number == 3)
        answer = (rng() % 2) ? QStringLiteral("A") : QStringLiteral("B");
      else
        answer = words.text(10, 40);
      const bool favourite = percent(rng) == 0;
      subs.push_back({number, section, t.number <= 3, favourite, t.score});
      sub.bind(1, qint64(number)).bind(2, qint64(caseNumber)).bind(3, qint64(section))
          .bind(4, QString::fromUtf16(t.name)).bind(5, qint64(t.number))
          .bind(6, words.text(30, 120)).bind(7, answer).bind(8, words.text(30, 90))
          .bind(9, qint64(favourite ? 1 : 0)).run();
      for (int k = 0; k < t.options; ++k)
        option.bind(1, qint64(caseNumber)).bind(2, qint64(number)).bind(3, qint64(k + 1)).bind(4, words.text(6, 24)).run();
    };

    // Questions are numbered 1..N and dealt to sections in runs; about one
    // in twelve belongs to a case question of three sub-questions.
    int number = 1;
    while (number <= questions) {
      const int section = sectionIds[((number - 1) / 100) % sections];
      if (questions - number >= 2 && percent(rng) < 3) {
        const int lead = number;
        caseRow.bind(1, qint64(lead)).bind(2, words.text(120, 300)).run();
        for (int k = 0; k < 3; ++k)
          writeSub(number++, lead, section, k == 2 ? kTypes[1] : kTypes[0]);
      } else {
        writeSub(number, number, section, pickType());
        ++number;
      }
    }

    if (tests < 0) {
      // A test record per thousand questions, fifty questions each.
      Insert test(db, "INSERT INTO 测试结果(测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节) VALUES(?,?,?,?,?,?,?,?,?)");
      Insert testQ(db, "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(?,?,?)");
      const int records = std::max(1, questions / 1000);
      std::uniform_int_distribution<int> anyQuestion(1, questions);
      for (int r = 0; r < records; ++r) {
        const int right = 25 + int(rng() % 26);
        const int chapter = sectionIds[r % sections];
        test.bind(1, QStringLiteral("章节练习 %1").arg(r + 1)).bind(2, qint64(50)).bind(3, qint64(right))
            .bind(4, 50.0).bind(5, double(right)).bind(6, right / 50.0)
            .bind(7, QStringLiteral("2026-%1-%2 10:%3:00").arg(1 + r % 12, 2, 10, QLatin1Char('0')).arg(1 + r % 28, 2, 10, QLatin1Char('0')).arg(r % 60, 2, 10, QLatin1Char('0')))
            .bind(8, qint64(1)).bind(9, qint64(chapter)).run();
        const qint64 id = sqlite3_last_insert_rowid(db);
        for (int q = 0; q < 50; ++q)
          testQ.bind(1, id).bind(2, qint64(anyQuestion(rng))).bind(3, qint64(q < right ? -1 : 0)).run();
      }
    } else {
      writeHistory(db, subs, sectionIds, tests, seed);
    }

    const QStringList params = {
        QStringLiteral("字体|宋体"), QStringLiteral("字号|14px"), QStringLiteral("工具栏字号|10px"),
        QStringLiteral("颜色|#000000"), QStringLiteral("背景色|#F9F9F9"), QStringLiteral("行间距|170"),
        QStringLiteral("软件标题|Venqor考试软件（合成题库）"), QStringLiteral("题库版本|2026.01"),
        QStringLiteral("升级下载地址|http://127.0.0.1:8765/update/"),
        QStringLiteral("错误反馈网址|https://feedback.example.invalid/"),
        QStringLiteral("增值服务网址|https://service.example.invalid/"),
        QStringLiteral("招考信息|https://zhaokao.example.invalid/"),
        QStringLiteral("职位查询|https://zhiwei.example.invalid/"), QStringLiteral("TreeViewIndex|0")};
    Insert param(db, "INSERT INTO 系统参数(参数名,参数值) VALUES(?,?)");
    for (const QString &p : params)
      param.bind(1, p.section(QLatin1Char('|'), 0, 0)).bind(2, p.section(QLatin1Char('|'), 1)).run();
  });
}
