#pragma once

#include <QRect>

// The window layouts are given in twips (1/1440 inch). This is the one place
// that turns them into the window system's pixels, at the screen's logical DPI
// (15 twips to a pixel at 96 DPI).
namespace Twips {

int toPixels(double twips);
double fromPixels(int pixels);
QRect rect(int left, int top, int width, int height);
QSize size(int width, int height);

} // namespace Twips
