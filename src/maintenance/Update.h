#pragma once
// The online update apart from its window: the texts the learner reads, the
// version file and the version rule. The transfer (UpdateTransfer), the
// archive checks (UpdateArchive), the swap with the learner's history
// (UpdateSwap) and the run that ties them together (UpdateJob) sit beside it.

#include <QByteArray>
#include <QString>

namespace UpdateText {
inline const QString Caption = QStringLiteral("在线升级");
inline const QString Analysing = QStringLiteral("正在分析网络升级信息，请稍候...");
inline const QString NoNewer = QStringLiteral("没有新的题库，不需要升级...");
inline const QString Offered = QStringLiteral("有新的题库，请选择是否升级...");
inline const QString Question = QStringLiteral("有新的题库，现在是否升级？");
inline const QString QuestionCaption = QStringLiteral("有升级");
inline const QString Declined = QStringLiteral("用户放弃升级。");
inline const QString Downloading = QStringLiteral("开始下载新的题库，请稍候...");
inline const QString UnpackBank = QStringLiteral("下载完成，开始解压题库文件...");
inline const QString BankUnpacked = QStringLiteral("解压题库文件完成。");
inline const QString UnpackPictures = QStringLiteral("下载完成，开始解压图片文件...");
inline const QString PicturesUnpacked = QStringLiteral("解压图片文件完成。");
inline const QString UnpackOutline = QStringLiteral("下载完成，开始解压考试大纲...");
inline const QString OutlineUnpacked = QStringLiteral("解压考试大纲完成。");
inline const QString Finishing = QStringLiteral("本次升级即将完成，正在进行最后的更新工作。");
inline const QString Done = QStringLiteral("本次升级完成。");
// The learner stopped the run (关闭 or Escape while it worked).
inline const QString Cancelled = QStringLiteral("升级已取消：题库和文件保持原样。");
// The failure line; the reason follows it in brackets.
inline const QString Failed = QStringLiteral("读取软件升级信息出错！在线升级失败，请稍后再试！");
} // namespace UpdateText

// The four files of the server, relative to the update address.
namespace UpdateFiles {
inline const QString Version = QStringLiteral("TKVersion.inf");
inline const QString Bank = QStringLiteral("QBRX.rar");
inline const QString Pictures = QStringLiteral("images.rar");
inline const QString Outline = QStringLiteral("KSDG.rar");
} // namespace UpdateFiles

// The offered version: the first line of the version file without its line
// end (a UTF-8 byte-order mark and a closing CR removed; other blanks kept).
// Empty with `error` set when the file is an HTML page (an error page saved
// in its place) or holds a NUL byte: such a file names no version.
QString ReadVersionText(const QByteArray &file, QString *error);

// True when `offered` is newer than `stored`: ordinal comparison by
// characters, the first differing character decides and a longer text
// beats its prefix ("2011.9" is newer than "2011.10").
bool IsNewerVersion(const QString &offered, const QString &stored);
