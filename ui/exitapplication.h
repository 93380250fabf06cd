#pragma once

#include <functional>

// The program's one orderly way out. While a transfer runs it stops the run
// as page 3's Cancel does, and the program ends once the run has returned;
// otherwise it runs the hook that the program installs (saving the settings
// and unloading every window).
void ExitApplication();

// Ends the program if ExitApplication was called while the transfer that has
// just returned was running; RunTransfer calls it last.
void ExitIfAskedDuringTransfer();

// What ending the program means. Without a hook every window is unloaded all
// the same.
void setExitApplicationHook(std::function<void()> hook);
