#pragma once
// The records of a paper: what the paper commands, the page builder, grading
// and the result report hand to each other (the paper on display itself is
// app/PaperState).

#include <QString>
#include <QtGlobal>
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
                 DueReview = 7, // 今日复习: the questions due for review, stored as a new test
                 Feedback = 9;
}
