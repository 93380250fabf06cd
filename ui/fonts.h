#pragma once

#include <QFont>

// Fonts named by the windows. Where a face is missing, the fallback keeps its
// kind: a monospace face for Courier, a sans face for Arial.
namespace Fonts {

QFont named(const QString &family, double points, bool bold = false);
// The wizard pages' own face for their plain labels and buttons.
QFont pageDefault();

} // namespace Fonts
