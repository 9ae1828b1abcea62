#pragma once
// The vendor's fixed addresses and contact lines.

#include <QStringList>

namespace VendorInfo {

// The web site (官方网站) and the feedback page (错误反馈).
inline const QString SiteUrl = QStringLiteral("https://www.venqor.example.invalid/");
inline const QString FeedbackPageUrl = QStringLiteral("https://www.venqor.example.invalid/feedback/");

// The lines of the contact dialog.
inline QStringList ContactLines() {
  return {QStringLiteral("Venqor考试软件"),
          QStringLiteral("客服邮箱：service@venqor.example.invalid"),
          QStringLiteral("技术支持：support@venqor.example.invalid"),
          QStringLiteral("题库纠错：tiku@venqor.example.invalid"),
          QStringLiteral("官方网站：https://www.venqor.example.invalid/"),
          QStringLiteral("服务时间：工作日 9:00—17:30")};
}

} // namespace VendorInfo
