#pragma once

#include <QProcess>
#include <QString>

namespace BenchSupport {
struct Session;
}

// The real quillet program in a process of its own, driven through its
// windows on the X server with xdotool, as a user drives it.
namespace BenchProgram {

// Page 1's and page 2's Next, in pixels inside the page: the button at
// 3840, 2040 twips, 1215 x 375, 15 twips a pixel.
constexpr int kNextX = 296;
constexpr int kNextY = 148;

// The X window of that title once it is on screen; empty after 15 s.
QString visibleWindow(const QString &title);
// A real click of the pointer, as a user makes it.
bool click(const QString &window, int x, int y);
// The settings file as the program saves it, so that page 1 opens filled in.
bool writeSettings(const BenchSupport::Session &session, int type, const QString &file, int baud);
// The program, started with the session's settings, on page 1 with Next
// clicked; with accessibility, Qt's bridge always on. Returns why it
// failed, or nullptr.
const char *startAndClickNext(QProcess &program, bool accessibility);
void stopProgram(QProcess &program);

} // namespace BenchProgram
