#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace drivesim {

// Where the front panel opens, so that the program's wizard page, centred on the same
// screen, stays in view beside it.
namespace Placement {

// Room left between the panel and the page, enough for the window frames around both.
inline constexpr int kClearance = 32;

// The top-left corner for a window of frame size `panel` on the screen area `screen`: right
// of `page` if it fits there, else left of it, else below or above it, else at the screen's
// right edge (a screen that small leaves no place clear of the page).
QPoint beside(const QRect &screen, const QRect &page, const QSize &panel);

// The wizard page's client area as the program places it, on the primary screen.
QRect wizardPage();

// Moves the window beside the wizard page, before it is first shown.
void besideWizard(QWidget &window);

} // namespace Placement

} // namespace drivesim
