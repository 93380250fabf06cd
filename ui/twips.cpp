#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace Twips {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultDpi = 96.0;

double dpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : kDefaultDpi;
}

} // namespace

int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips * dpi() / kTwipsPerInch));
}

double fromPixels(int pixels)
{
    return pixels * kTwipsPerInch / dpi();
}

QRect rect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

QSize size(int width, int height)
{
    return {toPixels(width), toPixels(height)};
}

} // namespace Twips
