#include "render/PageBuilder.h"

#include "common/Dialogs.h"
#include "common/MarkupCheck.h"
#include "common/ProgramDir.h"
#include "render/Gbk.h"
#include "render/Global.h"
#include "store/DM.h"
#include "store/SystemParameters.h"

#include <algorithm>

namespace {

const char16_t kNumerals[] = u"十一二三四五六七八九"; // index 0 is 十

// 1 to 9999 in full: 一十 for 10 to 19, 零 for every run of zeros inside.
QString fullBelow10000(int n) {
  static const char16_t *const units[] = {u"千", u"百", u"十", u""};
  QString s;
  bool gap = false;
  int div = 1000;
  for (int pos = 0; pos < 4; ++pos, div /= 10) {
    const int d = n / div % 10;
    if (d == 0) {
      gap = !s.isEmpty();
      continue;
    }
    if (gap)
      s += u'零';
    gap = false;
    s += kNumerals[d];
    s += QString::fromUtf16(units[pos]);
  }
  return s;
}

QString fullNumeral(int n) {
  if (n >= 100000000) {
    const int low = n % 100000000;
    QString s = fullNumeral(n / 100000000) + u'亿';
    if (low)
      s += (low < 10000000 ? QStringLiteral("零") : QString()) + fullNumeral(low);
    return s;
  }
  if (n >= 10000) {
    const int low = n % 10000;
    QString s = fullBelow10000(n / 10000) + u'万';
    if (low)
      s += (low < 1000 ? QStringLiteral("零") : QString()) + fullBelow10000(low);
    return s;
  }
  return fullBelow10000(n);
}

// Bank texts are written into the page as stored: they may carry markup.
// A text that would swallow the rest of the page is written as text
// (MarkupCheck::pageText), and every text inside an attribute value is
// escaped (MarkupCheck::attributeText). A character outside GBK becomes a
// numeric reference (GbkLineWriter).
const QString kTable = QStringLiteral(
    "<table width=\"95%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"3\">");

// The favourite link hands the bridge the state it shows after the click (1
// marked, 0 not): on a page whose marks were changed elsewhere since it was
// built (the favourites window), a click still sets what the learner sees.
const char16_t *const kScript[] = {
    u"function SubmitQuestion(Qid)",
    u"{",
    u"  var e=event.srcElement;",
    u"  if (e.innerHTML==\"收藏本题\")",
    u"  {",
    u"    e.style.color=\"red\";",
    u"    e.innerHTML=\"取消收藏\";",
    u"    scbt(Qid,1);",
    u"  }",
    u"  else",
    u"  {",
    u"    e.style.color=\"black\";",
    u"    e.innerHTML=\"收藏本题\";",
    u"    scbt(Qid,0);",
    u"  }",
    u"}",
    u"function showAnswer()",
    u"{",
    u"  var e=event.srcElement;",
    u"  var s=e.id.substring(10);",
    u"  if (e.innerText==\"显示答案\")",
    u"  {",
    u"    document.all.item(\"Answer\"+s,0).style.display='';",
    u"    e.innerText=\"隐藏答案\";",
    u"  }",
    u"  else",
    u"  {",
    u"    document.all.item(\"Answer\"+s,0).style.display='none';",
    u"    e.innerText=\"显示答案\";",
    u"  }",
    u"}",
    u"var ii=0;",
    u"var szs = new Array( 'small','medium','large','x-large');",
    u"function changeFont(mode)",
    u"{",
    u"  if (mode==0)",
    u"  {",
    u"    if (ii!=0)",
    u"      ii=ii-1;",
    u"  }",
    u"  else",
    u"  {",
    u"    if (ii!=3)",
    u"      ii=ii+1;",
    u"  }",
    u"  for (var i=0;i<document.all.length;i++)",
    u"    document.all[i].style.fontSize=szs[ii];",
    u"}",
    u"function scbt(id,mark)",
    u"{",
    u"  external.DoSeaarchData(id,mark);",
    u"}",
    u"function SubmitErrorQuestion(id)",
    u"{",
    u"  external.SubbitError(id);",
    u"}",
    u"function showAllAnswer(mode)",
    u"{",
    u"  var spans=document.getElementsByTagName(\"span\");",
    u"  for (var i=0;i<spans.length;i++)",
    u"  {",
    u"    if (spans[i].id.indexOf(\"ShowButton\")>=0)",
    u"    {",
    u"      if (mode==true && spans[i].innerText==\"显示答案\")",
    u"        spans[i].click();",
    u"      else if (mode==false && spans[i].innerText==\"隐藏答案\")",
    u"        spans[i].click();",
    u"    }",
    u"  }",
    u"}",
};

const char16_t *const kScriptTail[] = {
    u"function answerAgain()",
    u"{",
    u"  showAllAnswer(false);",
    u"  var inputs=document.getElementsByTagName(\"input\");",
    u"  for (var i=0;i<inputs.length;i++)",
    u"  {",
    u"    if (inputs[i].type=='radio' || inputs[i].type=='checkbox')",
    u"      inputs[i].checked=false;",
    u"  }",
    u"  var spans=document.getElementsByTagName(\"span\");",
    u"  for (var i=0;i<spans.length;i++)",
    u"  {",
    u"    if (spans[i].id.charAt(0)==\"T\")",
    u"      spans[i].style.color=beforeColor;",
    u"  }",
    u"}",
};

bool isTextualType(const QString &type) {
  static const QStringList textual = {QStringLiteral("填空题"), QStringLiteral("简答题"),
                                      QStringLiteral("计算题"), QStringLiteral("案例题"),
                                      QStringLiteral("方案题"), QStringLiteral("综合题")};
  return textual.contains(type);
}

QString num(qint64 n) { return QString::number(n); }

// The builder's statements (several per question) as one read of the bank:
// the file is locked and checked once instead of once per statement, and
// the page shows one state of the bank. Inside a transaction the caller
// opened, nothing is added.
class ReadScope {
public:
  explicit ReadScope(TADOConnection &connection) : m_connection(connection) {
    if (!m_connection.InTransaction()) {
      m_connection.BeginRead();
      m_own = true;
    }
  }
  ~ReadScope() {
    if (!m_own)
      return;
    try {
      m_connection.RollbackTrans(); // nothing was written: the read ends
    } catch (...) {
    }
  }
  ReadScope(const ReadScope &) = delete;
  ReadScope &operator=(const ReadScope &) = delete;

private:
  TADOConnection &m_connection;
  bool m_own = false;
};

class PageWriter {
public:
  PageWriter(const QString &title, int mode, const std::vector<TXiaoTi> &paper, qint16 kind, TDataModule1 &dm)
      : m_title(title), m_mode(mode), m_paper(paper), m_kind(kind), m_q1(dm.ADOQuery1), m_q2(dm.ADOQuery2) {}

  void head();
  void openPaperStatement();
  void body();

  GbkLineWriter out;
  std::vector<TShiTi> questions;
  std::vector<int> links; // what the favourite and feedback links pass
  bool answerWritten = false;

private:
  void line(const QString &s) { out.writeLine(s); }
  void groupHeader(const QString &type);
  void subQuestion(const TADOQuery &row, int daTiHao);
  // `shownAnswer` and `explanation` are page text already; `answer` is the
  // stored answer written into the hidden input's value.
  void answerBlock(const QString &shownAnswer, const QString &answer, const QString &explanation, int first,
                   int favourite, int hiddenId, const QString &hiddenType);
  void cases(const std::vector<TBH> &found);

  QString m_title;
  int m_mode;
  const std::vector<TXiaoTi> &m_paper;
  qint16 m_kind;
  TADOQuery &m_q1;
  TADOQuery &m_q2;
  int m_n = 1;       // running number
  QString m_group;   // type of the current group
  QString m_input;   // input type of option lists: "Radio" or "CheckBox"
  int m_options = 0; // option rows of the latest option list
};

void PageWriter::head() {
  line(QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"));
  line(QStringLiteral("<head>"));
  line(QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"));
  line(QStringLiteral("<META http-equiv=\"MSThemeCompatible\" content=\"yes\" >"));
  // The title element ends only at "</title": an end tag in an ordinary
  // title is written as a reference, which the title shows the same.
  line(QStringLiteral("<title>") + MarkupCheck::pageText(m_title).replace(QLatin1String("</"), QLatin1String("&lt;/")) +
       QStringLiteral("</title>"));
  line(QStringLiteral("<link href=\"main.css\" rel=\"stylesheet\" type=\"text/css\" />"));
  line(QStringLiteral("<script language=\"JavaScript\">"));
  for (const char16_t *s : kScript)
    line(QString::fromUtf16(s));
  line(QStringLiteral("var beforeColor=\"") + DisplaySettings.FontColor + QStringLiteral("\";"));
  for (const char16_t *s : kScriptTail)
    line(QString::fromUtf16(s));
  line(QStringLiteral("</script>"));
  line(QStringLiteral("</head>"));
  line(QStringLiteral(
      "<body oncontextmenu=\"self.event.returnValue=false\" onselectstart=\"return false\" class=\"TestBody\">"));
  line(QStringLiteral("<div>"));
  line(kTable);
  line(QStringLiteral("<tr><td width=\"77%\" align=\"center\" class=\"TestCaption\">"));
}

void PageWriter::openPaperStatement() {
  m_q1.Close();
  m_q1.SQL.Clear();
  m_q1.SQL.Add(QStringLiteral("SELECT * FROM 小题 WHERE 小题号 IN("));
  for (size_t i = 0; i < m_paper.size(); ++i)
    m_q1.SQL.Add(num(m_paper[i].XiaoTiHao) + (i + 1 < m_paper.size() ? u',' : u')'));
  switch (m_kind) {
  case PaperKinds::Chapter:
  case PaperKinds::MockExam:
  case PaperKinds::Search:
  case PaperKinds::Favourites:
  case PaperKinds::Review:
  case PaperKinds::Redo:
  case PaperKinds::DueReview:
    m_q1.SQL.Add(QStringLiteral(" AND 大题号=小题号 ORDER BY 题目类型编号,小题号"));
    break;
  default:
    break;
  }
}

void PageWriter::body() {
  m_q1.Open();
  if (m_q1.IsEmpty()) {
    line(QStringLiteral("</div> </div></body></html>"));
    return;
  }
  line(MarkupCheck::pageText(m_title));
  line(QStringLiteral("</td></tr></table>"));

  std::vector<TBH> found; // case questions, in the order met
  for (m_q1.First(); !m_q1.Eof(); m_q1.Next()) {
    const QString type = m_q1.FieldByName(QStringLiteral("题目类型")).AsString();
    if (type.isEmpty()) {
      ++m_n;
      continue;
    }
    const int daTiHao = m_q1.FieldByName(QStringLiteral("大题号")).AsInteger();
    if (daTiHao != 0) {
      m_q2.Close();
      m_q2.SQL.Clear();
      m_q2.SQL.Add(QStringLiteral("SELECT * FROM 小题"));
      m_q2.SQL.Add(QStringLiteral(" WHERE 大题号=?"));
      m_q2.openWith({daTiHao});
      if (m_q2.RecordCount() > 1) {
        found.push_back(TBH{daTiHao});
        continue;
      }
    }
    if (type != m_group)
      groupHeader(type);
    subQuestion(m_q1, 0);
    if (m_kind != PaperKinds::Feedback) {
      const int x = m_q1.FieldByName(QStringLiteral("小题号")).AsInteger();
      const QString answer = m_q1.FieldByName(QStringLiteral("答案")).AsString();
      answerBlock(MarkupCheck::pageText(answer), answer,
                  MarkupCheck::pageText(m_q1.FieldByName(QStringLiteral("解释")).AsString()), x,
                  m_q1.FieldByName(QStringLiteral("是否收藏")).AsInteger(), x, type);
    }
    ++m_n;
  }

  if (!found.empty())
    cases(found);
  line(QStringLiteral("</div> </div></body></html>"));
}

void PageWriter::groupHeader(const QString &type) {
  m_group = type;
  m_q2.Close();
  m_q2.SQL.Clear();
  m_q2.SQL.Add(QStringLiteral("SELECT * FROM 类型说明 "));
  m_q2.SQL.Add(QStringLiteral("WHERE 题目类型=?"));
  m_q2.openWith({type});
  if (m_q2.IsEmpty())
    return;
  line(QStringLiteral("<div class=\"MiddleFont\" id=\"zoom\">"));
  line(kTable);
  line(QStringLiteral("<tr><td class=\"TestStyleExplain\">"));
  line(MarkupCheck::pageText(type) + MarkupCheck::pageText(m_q2.FieldByName(QStringLiteral("类型说明")).AsString()));
  line(QStringLiteral("</td></tr></table>"));
}

void PageWriter::subQuestion(const TADOQuery &row, int daTiHao) {
  TShiTi rec;
  rec.XiaoTiHao = row.FieldByName(QStringLiteral("小题号")).AsInteger();
  rec.TiMuType = row.FieldByName(QStringLiteral("题目类型")).AsString();
  rec.Answer = row.FieldByName(QStringLiteral("答案")).AsString();
  rec.DaTiHao = daTiHao;
  const QString x = num(rec.XiaoTiHao);
  const QString name = x + u'_' + x;

  line(QLatin1Char(' ') + kTable);
  line(QStringLiteral(" <tr><td class=\"TestMainTitle\"><span id=\"T") + name +
       QStringLiteral("\" class=\"TestContent\">") + num(m_n) + QStringLiteral(". ") +
       MarkupCheck::pageText(row.FieldByName(QStringLiteral("题目内容")).AsString()) + QStringLiteral("</span></td></tr>"));

  const QString &type = rec.TiMuType;
  if (type == u"单项选择题" || type == u"判断题")
    m_input = QStringLiteral("Radio");
  else if (type == u"多项选择题")
    m_input = QStringLiteral("CheckBox");

  auto option = [&](int k, const QString &value, const QString &caption) {
    const QString id = x + u'/' + num(k);
    line(QStringLiteral("<tr><td class=\"TestContent\">"));
    line(QStringLiteral("<input type=\"") + m_input + QStringLiteral("\" id=\"") + id +
         QStringLiteral("\" name=\"") + name + QStringLiteral("\" value=\"") + value +
         QStringLiteral("\" />   <label for=\"") + id + QStringLiteral("\">") + caption +
         QStringLiteral("</label><br /></td></tr>"));
  };

  if (isTextualType(type)) {
    line(QStringLiteral("<tr><td class=\"TestContent\">"));
    line(QStringLiteral("<FORM><textarea rows=\"5\" COLS=\"100\" id=\"") + x + u'/' + num(m_options) +
         QStringLiteral("\" name=\"") + name + QStringLiteral("\" /></textarea></FORM> </td></tr>"));
  } else if (type == u"判断题") {
    option(0, QStringLiteral("A"), QStringLiteral("正确"));
    option(1, QStringLiteral("B"), QStringLiteral("错误"));
    rec.NumOfSel = 2;
    if (m_mode == 0)
      questions.push_back(rec);
  } else {
    m_q2.Close();
    m_q2.SQL.Clear();
    m_q2.SQL.Add(QStringLiteral("SELECT * FROM 答案选项 "));
    m_q2.SQL.Add(QStringLiteral("WHERE 大题号=?"));
    m_q2.SQL.Add(QStringLiteral("AND 小题号=?"));
    m_q2.SQL.Add(QStringLiteral(" ORDER BY 答案编号"));
    m_q2.openWith({row.FieldByName(QStringLiteral("大题号")).AsLargeInt(), qint64(rec.XiaoTiHao)});
    int k = 0;
    for (m_q2.First(); !m_q2.Eof(); m_q2.Next(), ++k)
      option(k, QString(QChar(65 + k)), MarkupCheck::pageText(m_q2.FieldByName(QStringLiteral("答题选项")).AsString()));
    m_options = k;
    rec.NumOfSel = k;
    if (m_mode == 0)
      questions.push_back(rec);
  }
  line(QStringLiteral("</table>"));
}

void PageWriter::answerBlock(const QString &shownAnswer, const QString &answer, const QString &explanation,
                             int first, int favourite, int hiddenId, const QString &hiddenType) {
  const QString f = num(first);
  const QString n = num(m_n);
  const QString prev = num(qint64(m_n) - 1);
  const QString h = num(hiddenId);
  line(QStringLiteral("<table width=\"95%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"3\" "
                      "id=\"ToolBar1\" class=\"TestToolBar\">"));
  line(QStringLiteral("<tr><td><span id=\"ShowButton") + n +
       QStringLiteral("\" onclick=\"showAnswer()\" class=\"ShowAnswer\">显示答案</span>&nbsp;<a id=\"") + prev +
       QStringLiteral("\" mode=\"sc\" onclick=\"SubmitQuestion('") + f + QStringLiteral("');\">"));
  if (favourite == 1)
    line(QStringLiteral("<span style=\"color:red\" class=\"ShowAnswer\">取消收藏</span></a>&nbsp;"));
  else
    line(QStringLiteral("<span style=\"color:black\" class=\"ShowAnswer\">收藏本题</span></a>&nbsp;"));
  line(QStringLiteral("<a id=\"") + prev + QStringLiteral("\" mode=\"ct\" onclick=\"SubmitErrorQuestion('") + f +
       QStringLiteral("');\">"));
  line(QStringLiteral("<span style=\"color:black\" class=\"ShowAnswer\">错题反馈</span></a>&nbsp;"));
  line(QStringLiteral("</td></tr></table> "));
  line(QStringLiteral("<span id=\"Answer") + n + QStringLiteral("\" style=\"display: none\"> "));
  line(QStringLiteral("<table width=\"95%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"3\" "
                      "class=\"AnswerTable\"> "));
  line(QStringLiteral("<tr><td>【答案解析】") + shownAnswer + QStringLiteral("<br>") + explanation +
       QStringLiteral("</td></tr></table>"));
  line(QStringLiteral("<input id=\"") + h + u'_' + h + QStringLiteral("\" type=\"hidden\" name=\"da\" lx=\"") +
       MarkupCheck::attributeText(hiddenType) + QStringLiteral("\" value=\"") + MarkupCheck::attributeText(answer) +
       QStringLiteral("\" /></span><hr size='1px' width='100%' />"));
  links.push_back(first);
  answerWritten = true;
}

void PageWriter::cases(const std::vector<TBH> &found) {
  const QString caseType = QStringLiteral("案例分析题");
  groupHeader(caseType);

  int j = 0;
  for (const TBH &b : found) {
    ++j;
    m_q1.Close();
    m_q1.SQL.Clear();
    m_q1.SQL.Add(QStringLiteral("SELECT * FROM 大题 "));
    m_q1.SQL.Add(QStringLiteral("WHERE 大题号=?"));
    m_q1.openWith({b.BH});
    if (!m_q1.IsEmpty()) {
      line(QStringLiteral("<div class=\"MiddleFont\" id=\"zoom\">"));
      line(kTable);
      line(QStringLiteral("<tr><td class=\"TestContent\">"));
      line(u'（' + CaseNumeral(j) + u'）' + MarkupCheck::pageText(m_q1.FieldByName(QStringLiteral("大题内容")).AsString()));
      line(QStringLiteral("</td></tr></table>"));
    }

    m_q1.Close();
    m_q1.SQL.Clear();
    m_q1.SQL.Add(QStringLiteral("SELECT * FROM 小题 WHERE 大题号=?"));
    m_q1.SQL.Add(QStringLiteral(" ORDER BY 小题号"));
    m_q1.openWith({b.BH});
    if (m_q1.IsEmpty())
      continue; // the case lost its sub-questions since they were counted
    m_q1.First();
    const int first = m_q1.FieldByName(QStringLiteral("小题号")).AsInteger();
    const int favourite = m_q1.FieldByName(QStringLiteral("是否收藏")).AsInteger();
    QString answers, shownAnswers, explanations;
    int lastId = 0;
    QString lastType;
    for (; !m_q1.Eof(); m_q1.Next()) {
      subQuestion(m_q1, b.BH);
      line(QStringLiteral("<hr size='1px' width='100%' />"));
      if (!answers.isEmpty()) {
        answers += u'；';
        shownAnswers += u'；';
      }
      const QString answer = m_q1.FieldByName(QStringLiteral("答案")).AsString();
      answers += num(m_n) + u'.' + answer;
      shownAnswers += num(m_n) + u'.' + MarkupCheck::pageText(answer);
      explanations += num(m_n) + u'.' + MarkupCheck::pageText(m_q1.FieldByName(QStringLiteral("解释")).AsString());
      lastId = m_q1.FieldByName(QStringLiteral("小题号")).AsInteger();
      lastType = m_q1.FieldByName(QStringLiteral("题目类型")).AsString();
      ++m_n;
    }
    answers += u'。';
    shownAnswers += u'。';
    if (m_kind != PaperKinds::Feedback)
      answerBlock(shownAnswers, answers, explanations, first, favourite, lastId, lastType);
  }
}

} // namespace

QString CaseNumeral(int j) {
  if (j < 1)
    return QString();
  if (j < 10)
    return QString(QChar(kNumerals[j]));
  if (j < 100) {
    QString s = j / 10 == 1 ? QString(QChar(kNumerals[0])) : QString(QChar(kNumerals[j / 10])) + u'十';
    if (j % 10)
      s += QChar(kNumerals[j % 10]);
    return s;
  }
  return fullNumeral(j);
}

QuestionPage RenderQuestionPage(const QString &title, int mode, const std::vector<TXiaoTi> &paper, qint16 kind,
                                TDataModule1 &dm) {
  QuestionPage result;
  result.title = title;
  result.mode = mode;
  const ReadScope read(dm.ADOConnection1);
  PageWriter page(title, mode, paper, kind, dm);
  page.head();
  page.openPaperStatement();
  if (paper.empty()) {
    result.empty = true;
  } else {
    page.body(); // an engine error leaves before anything is written or changed
    result.questions = std::move(page.questions);
    result.links = std::move(page.links);
    result.answerWritten = page.answerWritten;
  }
  result.bytes = std::move(page.out);
  return result;
}

void WriteQuestionPage(const QuestionPage &page, const ProgramDir &dir) { page.bytes.replaceFile(dir.questionPagePath()); }

QString BuildFeedbackPage(int XiaoTiHao, TDataModule1 &dm, const ProgramDir &dir) {
  const std::vector<TXiaoTi> paper{TXiaoTi{XiaoTiHao}};
  const ReadScope read(dm.ADOConnection1);
  PageWriter page(QStringLiteral("错题反馈"), 1, paper, PaperKinds::Feedback, dm);
  page.head();
  page.openPaperStatement();
  page.body();
  const QString path = dir.feedbackPagePath();
  page.out.replaceFile(path);
  return path;
}
