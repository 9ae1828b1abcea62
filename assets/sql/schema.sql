-- The question bank schema. Every integer column is declared INTEGER, so a
-- text literal such as '-1' is stored as the integer it spells.

CREATE TABLE 题目类别 (
  编号 INTEGER PRIMARY KEY,
  名称 TEXT,
  父级编号 INTEGER NOT NULL DEFAULT 0,
  属性 TEXT
);
CREATE INDEX 题目类别_父级编号 ON 题目类别(父级编号);

CREATE TABLE 小题 (
  小题号 INTEGER PRIMARY KEY,
  大题号 INTEGER NOT NULL DEFAULT 0,
  所属编号 INTEGER,
  题目类型 TEXT,
  题目类型编号 INTEGER,
  题目内容 TEXT,
  答案 TEXT,
  解释 TEXT,
  是否收藏 INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX 小题_大题号 ON 小题(大题号);
CREATE INDEX 小题_所属编号 ON 小题(所属编号);
CREATE INDEX 小题_题目类型 ON 小题(题目类型);
CREATE INDEX 小题_是否收藏 ON 小题(是否收藏);

CREATE TABLE 大题 (
  大题号 INTEGER PRIMARY KEY,
  大题内容 TEXT
);

CREATE TABLE 答案选项 (
  大题号 INTEGER,
  小题号 INTEGER,
  答案编号 INTEGER,
  答题选项 TEXT
);
CREATE INDEX 答案选项_题号 ON 答案选项(大题号, 小题号);

CREATE TABLE 类型说明 (
  ID INTEGER PRIMARY KEY,
  题目类型 TEXT,
  类型说明 TEXT,
  分数 REAL
);
CREATE INDEX 类型说明_题目类型 ON 类型说明(题目类型);

CREATE TABLE 试题技巧 (
  编号 INTEGER PRIMARY KEY,
  名称 TEXT,
  父级编号 INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE 技巧说明 (
  所属编号 INTEGER,
  技巧内容 TEXT
);

CREATE TABLE 系统参数 (
  参数名 TEXT PRIMARY KEY,
  参数值 TEXT
);

CREATE TABLE 测试结果 (
  编号 INTEGER PRIMARY KEY AUTOINCREMENT,
  测试名称 TEXT,
  试题数 INTEGER,
  答对 INTEGER,
  总分 REAL,
  得分 REAL,
  正确率 REAL,
  测试时间 TEXT,
  测试类型 INTEGER,
  所属章节 INTEGER
);
CREATE INDEX 测试结果_测试类型 ON 测试结果(测试类型);
CREATE INDEX 测试结果_所属章节 ON 测试结果(所属章节);

CREATE TABLE 测试题目 (
  测试编号 INTEGER,
  小题号 INTEGER,
  回答正确 INTEGER
);
CREATE INDEX 测试题目_测试编号 ON 测试题目(测试编号);
CREATE INDEX 测试题目_小题号 ON 测试题目(小题号);

-- When each sub-question answered wrong at least once is to be reviewed
-- again (store/ReviewSchedule): its memory state, the last answer's time
-- (yyyy-MM-dd HH:mm:ss), the day it is due (yyyy-MM-dd) and how many times
-- it was answered wrong. A bank made before this table existed gains it at
-- its first start, rebuilt from its stored tests.
CREATE TABLE 复习计划 (
  小题号 INTEGER PRIMARY KEY,
  稳定性 REAL NOT NULL,
  难度 REAL NOT NULL,
  上次复习 TEXT NOT NULL,
  到期 TEXT NOT NULL,
  错次 INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX 复习计划_到期 ON 复习计划(到期);
