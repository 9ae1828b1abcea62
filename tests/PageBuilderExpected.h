#pragma once
// The page tst_pagebuilder expects from its mixed bank, written out by hand
// from the page format (kept out of the test source, whose raw strings moc
// cannot read when they hold double quotes). Lines end in \n here; the test
// turns them into CR LF. The script block is compared separately.

static const char *kMixedPage = R"PAGE(<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312" />
<META http-equiv="MSThemeCompatible" content="yes" >
<title>第一章 概论</title>
<link href="main.css" rel="stylesheet" type="text/css" />
<script language="JavaScript">
[SCRIPT]
</script>
</head>
<body oncontextmenu="self.event.returnValue=false" onselectstart="return false" class="TestBody">
<div>
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
<tr><td width="77%" align="center" class="TestCaption">
第一章 概论
</td></tr></table>
<div class="MiddleFont" id="zoom">
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
<tr><td class="TestStyleExplain">
单项选择题（每题1分）
</td></tr></table>
 <table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
 <tr><td class="TestMainTitle"><span id="T7_7" class="TestContent">1. 项目的<b>首要</b>目标是？</span></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="7/0" name="7_7" value="A" />   <label for="7/0">质量</label><br /></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="7/1" name="7_7" value="B" />   <label for="7/1">成本</label><br /></td></tr>
</table>
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" id="ToolBar1" class="TestToolBar">
<tr><td><span id="ShowButton1" onclick="showAnswer()" class="ShowAnswer">显示答案</span>&nbsp;<a id="0" mode="sc" onclick="SubmitQuestion('7');">
<span style="color:red" class="ShowAnswer">取消收藏</span></a>&nbsp;
<a id="0" mode="ct" onclick="SubmitErrorQuestion('7');">
<span style="color:black" class="ShowAnswer">错题反馈</span></a>&nbsp;
</td></tr></table> 
<span id="Answer1" style="display: none"> 
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" class="AnswerTable"> 
<tr><td>【答案解析】B<br>质量优先&#x20000;</td></tr></table>
<input id="7_7" type="hidden" name="da" lx="单项选择题" value="B" /></span><hr size='1px' width='100%' />
<div class="MiddleFont" id="zoom">
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
<tr><td class="TestStyleExplain">
判断题（每题1分，对的选A）
</td></tr></table>
 <table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
 <tr><td class="TestMainTitle"><span id="T12_12" class="TestContent">3. 风险可以完全消除。</span></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="12/0" name="12_12" value="A" />   <label for="12/0">正确</label><br /></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="12/1" name="12_12" value="B" />   <label for="12/1">错误</label><br /></td></tr>
</table>
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" id="ToolBar1" class="TestToolBar">
<tr><td><span id="ShowButton3" onclick="showAnswer()" class="ShowAnswer">显示答案</span>&nbsp;<a id="2" mode="sc" onclick="SubmitQuestion('12');">
<span style="color:black" class="ShowAnswer">收藏本题</span></a>&nbsp;
<a id="2" mode="ct" onclick="SubmitErrorQuestion('12');">
<span style="color:black" class="ShowAnswer">错题反馈</span></a>&nbsp;
</td></tr></table> 
<span id="Answer3" style="display: none"> 
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" class="AnswerTable"> 
<tr><td>【答案解析】B<br>不能</td></tr></table>
<input id="12_12" type="hidden" name="da" lx="判断题" value="B" /></span><hr size='1px' width='100%' />
 <table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
 <tr><td class="TestMainTitle"><span id="T30_30" class="TestContent">4. 填写____。</span></td></tr>
<tr><td class="TestContent">
<FORM><textarea rows="5" COLS="100" id="30/2" name="30_30" /></textarea></FORM> </td></tr>
</table>
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" id="ToolBar1" class="TestToolBar">
<tr><td><span id="ShowButton4" onclick="showAnswer()" class="ShowAnswer">显示答案</span>&nbsp;<a id="3" mode="sc" onclick="SubmitQuestion('30');">
<span style="color:black" class="ShowAnswer">收藏本题</span></a>&nbsp;
<a id="3" mode="ct" onclick="SubmitErrorQuestion('30');">
<span style="color:black" class="ShowAnswer">错题反馈</span></a>&nbsp;
</td></tr></table> 
<span id="Answer4" style="display: none"> 
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" class="AnswerTable"> 
<tr><td>【答案解析】进度<br>略</td></tr></table>
<input id="30_30" type="hidden" name="da" lx="填空题" value="进度" /></span><hr size='1px' width='100%' />
<div class="MiddleFont" id="zoom">
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
<tr><td class="TestStyleExplain">
案例分析题（每小题2分）
</td></tr></table>
<div class="MiddleFont" id="zoom">
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
<tr><td class="TestContent">
（一）某公司承接项目。
</td></tr></table>
 <table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
 <tr><td class="TestMainTitle"><span id="T20_20" class="TestContent">5. 第一问</span></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="20/0" name="20_20" value="A" />   <label for="20/0">甲</label><br /></td></tr>
<tr><td class="TestContent">
<input type="Radio" id="20/1" name="20_20" value="B" />   <label for="20/1">乙</label><br /></td></tr>
</table>
<hr size='1px' width='100%' />
 <table width="95%" border="0" align="center" cellpadding="0" cellspacing="3">
 <tr><td class="TestMainTitle"><span id="T21_21" class="TestContent">6. 第二问</span></td></tr>
<tr><td class="TestContent">
<input type="CheckBox" id="21/0" name="21_21" value="A" />   <label for="21/0">丙</label><br /></td></tr>
<tr><td class="TestContent">
<input type="CheckBox" id="21/1" name="21_21" value="B" />   <label for="21/1">丁</label><br /></td></tr>
</table>
<hr size='1px' width='100%' />
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" id="ToolBar1" class="TestToolBar">
<tr><td><span id="ShowButton7" onclick="showAnswer()" class="ShowAnswer">显示答案</span>&nbsp;<a id="6" mode="sc" onclick="SubmitQuestion('20');">
<span style="color:red" class="ShowAnswer">取消收藏</span></a>&nbsp;
<a id="6" mode="ct" onclick="SubmitErrorQuestion('20');">
<span style="color:black" class="ShowAnswer">错题反馈</span></a>&nbsp;
</td></tr></table> 
<span id="Answer7" style="display: none"> 
<table width="95%" border="0" align="center" cellpadding="0" cellspacing="3" class="AnswerTable"> 
<tr><td>【答案解析】5.A；6.BD。<br>5.解一6.解二</td></tr></table>
<input id="21_21" type="hidden" name="da" lx="多项选择题" value="5.A；6.BD。" /></span><hr size='1px' width='100%' />
</div> </div></body></html>
)PAGE";
