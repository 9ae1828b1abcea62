#pragma once
// The vendor's addresses and contact lines, set when the program is built
// (QBRX_HOMEPAGE, QBRX_FEEDBACK_PAGE_URL, QBRX_CONTACT_LINES): empty where
// the vendor set none, and then the command says so.

#include "VendorConfig.h"

#include <QStringList>

namespace VendorInfo {

// The web site (官方网站) and the feedback page (错误反馈).
inline const QString SiteUrl = VendorConfig::SiteUrl;
inline const QString FeedbackPageUrl = VendorConfig::FeedbackPageUrl;

// The lines of the contact dialog.
inline QStringList ContactLines() {
  const QStringList lines = VendorConfig::ContactLines();
  return lines.isEmpty() ? QStringList{QStringLiteral("联系方式未配置：这个程序的发行方没有设置联系方式。")} : lines;
}

// What a command whose address the vendor left empty says.
inline QString NotConfigured(const QString &command) {
  return QStringLiteral("“%1”未配置：这个程序的发行方没有设置它的地址。").arg(command);
}

} // namespace VendorInfo
