// The window tests end the program as it ends itself: ExitApplication saves
// the settings and unloads every window through the hook main() installs.
#include "app/modmain.h"
#include "ui/exitapplication.h"

namespace {
const bool kInstalled = (setExitApplicationHook(EndProgram), true);
} // namespace
