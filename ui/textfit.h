#pragma once

class QWidget;

// The windows are drawn for Arial's metrics, but a system may give a wider
// face for it (DejaVu Sans on a Linux without a metric-compatible font).
// Where a label's or a button's text no longer fits the box the window gave
// it, the box grows into the free space beside it, never over another
// control: a right-aligned text (or one the design pushes right with leading
// blanks) toward the left, any other toward the right, then the other way,
// and downwards last. Where the text fits, the window's box stays exactly as
// it is.
namespace TextFit {

// Fits the window's controls now, and again whenever a text, a font or the
// style changes while the window is shown, and each time it is shown.
void keep(QWidget *window);

// Fits them once; for a window that has just placed its controls anew.
void fit(QWidget *window);

} // namespace TextFit
