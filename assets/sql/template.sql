-- 安装版的初始题库：学员从这里开始，没有做过的测试，也没有收藏。
DELETE FROM 测试题目;
DELETE FROM 测试结果;
UPDATE 小题 SET 是否收藏=0;
