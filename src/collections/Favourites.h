#pragma once
// The favourites as the favourites window lists them: every marked
// sub-question grouped by chapter, a case question under its shared stem.
// One statement, on a query object of its own.

#include <QString>
#include <vector>

class TDataModule1;

namespace FavouritesText {
inline const QString Caption = QStringLiteral("收藏试题");
inline const QString Empty = QStringLiteral("收藏夹是空的，没有可以显示的试题信息！");
inline const QString EmptyCaption = QStringLiteral("收藏夹空");
inline const QString ConfirmCaption = QStringLiteral("确定取消收藏");
inline const QString ConfirmAllCaption = QStringLiteral("确定取消全部收藏");
inline const QString ConfirmAll = QStringLiteral("确定取消全部收藏吗？取消后不能恢复！");
inline const QString NoneLeft = QStringLiteral("已经没有收藏的试题，程序将关闭收藏夹窗口！");
inline const QString NoneLeftCaption = QStringLiteral("提示");
constexpr int kNoneLeftResult = 11; // the window's result when nothing is left
} // namespace FavouritesText

struct FavouriteRow {
  int xiaoTiHao = 0;
  QString content; // the case question's shared stem when there is one
  QString type;
};

struct FavouriteChapter {
  qint64 id = 0; // 所属编号
  QString name;  // 题目类别.名称
  std::vector<FavouriteRow> rows;
};

// In chapter number, then sub-question number order.
std::vector<FavouriteChapter> ReadFavourites(TDataModule1 &dm);
