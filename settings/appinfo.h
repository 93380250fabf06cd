#pragma once

#include "settings/appversion.h"

#include <QString>

// Fixed at build time: what the splash window and every message box show.
namespace AppInfo {
inline const QString kTitle = QStringLiteral("Quillet");
inline const QString kCompanyName = QStringLiteral("Morvane Ltd");
inline const QString kCopyright = QStringLiteral("Copyright \u00a9 2026 Morvane Ltd");
constexpr int kVersionMajor = QUILLET_VERSION_MAJOR;
constexpr int kVersionMinor = QUILLET_VERSION_MINOR;
constexpr int kVersionRevision = QUILLET_VERSION_PATCH;

// "1.4.145": what --version and the splash window show.
inline QString version()
{
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}
} // namespace AppInfo
