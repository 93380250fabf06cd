#pragma once

// What the command needs to know of the console it runs in; each system's
// half is console_posix.cpp or console_win.cpp.
namespace Console {

// True when standard error is a terminal a person reads, where the progress
// line may be redrawn.
bool stderrIsTerminal();

} // namespace Console
