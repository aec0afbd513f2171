#pragma once
// The product's own words, shown by the splash and the About box.
#include <QString>

namespace ravo {

inline const QString ProductName = QStringLiteral("RAVO");
inline const QString ProductTitle = QStringLiteral("RAVO 计量器具管理系统");

// The version of this build, "0.1" and the like.
QString productVersion();

} // namespace ravo
