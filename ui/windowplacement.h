#pragma once

class QWidget;

// Showing a window modeless: centred on the screen the first time when asked,
// and brought to the front when it is shown already.
namespace WindowPlacement {

void centreOnScreen(QWidget *window);
void showInFront(QWidget *window);

} // namespace WindowPlacement
