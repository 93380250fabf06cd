#pragma once

#include <QString>

// Fixed at build time: what the splash window and every message box show.
namespace AppInfo {
inline const QString kTitle = QStringLiteral("Quillet");
inline const QString kCompanyName = QStringLiteral("Morvane Ltd");
inline const QString kCopyright = QStringLiteral("Copyright \u00a9 2026 Morvane Ltd");
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 4;
constexpr int kVersionRevision = 145;
} // namespace AppInfo
