#include "placement.h"

#include "ui/pagearea.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace drivesim::Placement {

QPoint beside(const QRect &screen, const QRect &page, const QSize &panel)
{
    const QRect around = page.adjusted(-kClearance, -kClearance, kClearance, kClearance);
    const int top = std::clamp(page.top(), screen.top(),
                               std::max(screen.top(), screen.bottom() + 1 - panel.height()));
    const int left = std::clamp(page.center().x() - panel.width() / 2, screen.left(),
                                std::max(screen.left(), screen.right() + 1 - panel.width()));
    const QPoint candidates[] = {
        {around.right() + 1, top},
        {around.left() - panel.width(), top},
        {left, around.bottom() + 1},
        {left, around.top() - panel.height()},
    };
    for (const QPoint &corner : candidates) {
        if (screen.contains(QRect(corner, panel)))
            return corner;
    }
    return {std::max(screen.left(), screen.right() + 1 - panel.width()), top};
}

QRect wizardPage()
{
    QRect page(QPoint(), Twips::size(PageArea::kWidth, PageArea::kHeight));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        page.moveCenter(screen->availableGeometry().center());
    return page;
}

void besideWizard(QWidget &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window.adjustSize();
    // The frame is not known before the window is shown: allow for one.
    const QSize framed = window.size() + QSize(kClearance / 2, kClearance);
    window.move(beside(screen->availableGeometry(), wizardPage(), framed));
}

} // namespace drivesim::Placement
