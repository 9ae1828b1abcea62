#include "collections/Favourites.h"
#include "store/DM.h"

std::vector<FavouriteChapter> ReadFavourites(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("Favourites"));
  q.SQL.Add(QStringLiteral("SELECT s.小题号,COALESCE(d.大题内容,s.题目内容),s.题目类型,s.所属编号,c.名称"));
  q.SQL.Add(QStringLiteral(" FROM 小题 s JOIN 题目类别 c ON s.所属编号=c.编号 LEFT JOIN 大题 d ON d.大题号=s.小题号"));
  q.SQL.Add(QStringLiteral(" WHERE s.是否收藏=1 ORDER BY s.所属编号,s.小题号,s.题目类型"));
  // Thousands of rows: each taken as it is read, none kept twice.
  std::vector<FavouriteChapter> out;
  q.OpenForward([&out](const TForwardRow &row) {
    const qint64 chapter = row.Fields(3).AsLargeInt();
    if (out.empty() || out.back().id != chapter)
      out.push_back({chapter, row.Fields(4).AsString(), {}});
    out.back().rows.push_back({row.Fields(0).AsInteger(), row.Fields(1).AsString(), row.Fields(2).AsString()});
  });
  return out;
}
