#pragma once
// The shared paper state: what the paper commands, the page builder, grading
// and the result report hand to each other.

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <vector>

// A sub-question number of the paper to build.
struct TXiaoTi {
  int XiaoTiHao = 0;
};

// One objective sub-question of the page on display, in page order.
struct TShiTi {
  int XiaoTiHao = 0;  // 小题号
  int NumOfSel = 0;   // option inputs written for it
  QString TiMuType;   // 题目类型
  QString Answer;     // 答案
  bool IsRight = false;
  int DaTiHao = 0;    // 0 stand-alone, else the case question's 大题号
};

// One question type of a graded paper.
struct TTest {
  QString TiMuType;
  int NumOfShiTi = 0;
  int Right = 0;
  int Error = 0;
  float Total = 0;
  float Score = 0;
  float MNPP = 0;
  bool alreadyCount = false;
};

// An element of a list of numbers.
struct TBH {
  int BH = 0;
};

// Which command produced the paper on display.
namespace PaperKinds {
constexpr qint16 Chapter = 1, MockExam = 2, Search = 3, Favourites = 4, Review = 5, Redo = 6,
                 Feedback = 9;
}

inline std::vector<TXiaoTi> CurrentPaper;
inline qint16 PaperKind = 0;
inline QString PaperTitle;
inline std::vector<TShiTi> PaperQuestions;
inline std::vector<TTest> TypeResults;
inline qint32 ChapterId = 0;
inline quint32 RedoTestId = 0; // 32 bits wide, so any test number works
inline bool PaperOnDisplay = false;
// The sub-question numbers that the favourite and feedback links of the
// question page pass (a stand-alone question's own, a case question's first
// sub-question's), sorted, no number twice; recorded with the page by the
// page builder. The page bridge accepts favourite changes for these alone.
inline std::vector<int> PaperLinkNumbers;
// The search text whose matches the page on display marks once loaded
// (render/PageHighlight.h); empty for a paper that marks nothing.
inline QString PaperHighlight;

// Back to the state at program start (tests).
inline void ResetPaperState() {
  CurrentPaper.clear();
  PaperKind = 0;
  PaperTitle.clear();
  PaperQuestions.clear();
  TypeResults.clear();
  ChapterId = 0;
  RedoTestId = 0;
  PaperOnDisplay = false;
  PaperLinkNumbers.clear();
  PaperHighlight.clear();
}

// Whether the question page has a link that passes `XiaoTiHao`.
inline bool PaperLinks(int XiaoTiHao) {
  return std::binary_search(PaperLinkNumbers.begin(), PaperLinkNumbers.end(), XiaoTiHao);
}
