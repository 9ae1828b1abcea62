#pragma once
#include <QString>

// The application title: the caption of the general error handler's message
// boxes. It starts as the product name and becomes the bank's 软件标题.
inline QString ApplicationTitle = QStringLiteral("Venqor考试软件");
