-- 试题技巧目录与文章（文章页面位于 css/文章 目录）。
INSERT INTO 试题技巧(编号,名称,父级编号) VALUES(1,'应试技巧',0);
INSERT INTO 试题技巧(编号,名称,父级编号) VALUES(2,'选择题答题方法',1);
INSERT INTO 试题技巧(编号,名称,父级编号) VALUES(3,'案例分析题答题方法',1);
INSERT INTO 技巧说明(所属编号,技巧内容) VALUES(2,'jq001.html');
INSERT INTO 技巧说明(所属编号,技巧内容) VALUES(3,'jq002.html');
