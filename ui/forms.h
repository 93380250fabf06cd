#pragma once

#include <functional>

class QWidget;
class FrmMain1;
class FrmMain2;
class FrmMain3;
class FrmSplash;
class FrmReport;

// The program's windows. Each is a single instance, created (loaded) by its
// first use and then shown, hidden and unloaded by name; a hidden window
// keeps its contents.
enum class Form { Main1, Main2, Main3, Splash, Report };

FrmMain1 &frmMain1();
FrmMain2 &frmMain2();
FrmMain3 &frmMain3();
FrmSplash &frmSplash();
FrmReport &frmReport();

namespace Forms {

bool isLoaded(Form form);
int loadedCount();

// The loaded window, or nullptr; never creates it.
QWidget *loaded(Form form);

// Destroys the window, visible or hidden. The object itself goes once control
// is back in the event loop, so a handler may unload its own window and
// still return through it.
void unload(Form form);

// Unloads every window in the program's order: page 1, page 2, page 3, the
// splash window, the report window.
void unloadAll();

// Called once the last loaded window has been unloaded; the program ends there.
void setLastUnloadedHook(std::function<void()> hook);

// Told of every window as it is unloaded, in order; for tests.
void setUnloadObserver(std::function<void(Form)> observer);

} // namespace Forms
