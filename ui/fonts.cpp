#include "ui/fonts.h"

namespace Fonts {

QFont named(const QString &family, double points, bool bold)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    if (family.startsWith(QLatin1String("Courier"), Qt::CaseInsensitive)) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

QFont pageDefault()
{
    return named(QStringLiteral("Arial"), 8.25);
}

} // namespace Fonts
