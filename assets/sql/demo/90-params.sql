-- 系统参数：显示设置、标题、题库版本和各链接地址。
INSERT INTO 系统参数(参数名,参数值) VALUES('字体','宋体');
INSERT INTO 系统参数(参数名,参数值) VALUES('字号','14px');
INSERT INTO 系统参数(参数名,参数值) VALUES('工具栏字号','10px');
INSERT INTO 系统参数(参数名,参数值) VALUES('颜色','#000000');
INSERT INTO 系统参数(参数名,参数值) VALUES('背景色','#F9F9F9');
INSERT INTO 系统参数(参数名,参数值) VALUES('行间距','170');
INSERT INTO 系统参数(参数名,参数值) VALUES('软件标题','Venqor考试软件 — 信息系统管理员（初级）');
INSERT INTO 系统参数(参数名,参数值) VALUES('题库版本','2026.01');
INSERT INTO 系统参数(参数名,参数值) VALUES('升级下载地址','http://127.0.0.1:8765/update/');
INSERT INTO 系统参数(参数名,参数值) VALUES('错误反馈网址','http://127.0.0.1:8765/dagang/index.html');
INSERT INTO 系统参数(参数名,参数值) VALUES('增值服务网址','https://service.example.invalid/');
INSERT INTO 系统参数(参数名,参数值) VALUES('招考信息','https://zhaokao.example.invalid/');
INSERT INTO 系统参数(参数名,参数值) VALUES('职位查询','https://zhiwei.example.invalid/');
INSERT INTO 系统参数(参数名,参数值) VALUES('TreeViewIndex','0');
INSERT INTO 系统参数(参数名,参数值) VALUES('错误反馈数据库','host=127.0.0.1 port=55432 dbname=qbrx_feedback user=qbrx connect_timeout=5');
INSERT INTO 系统参数(参数名,参数值) VALUES('考试时间','90');
