#include "ui/exitapplication.h"

#include "transfer/transfersession.h"
#include "ui/forms.h"

#include <utility>

namespace {

bool exitAskedDuringTransfer = false;

std::function<void()> &exitHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

void ExitApplication()
{
    // Unloading page 3 under the running loop would leave the loop on freed
    // windows: the run is stopped as page 3's Cancel stops it, and the
    // program ends once the loop has returned.
    if (transferRunning()) {
        exitAskedDuringTransfer = true;
        transferSession().cancel();
        return;
    }
    if (exitHook())
        exitHook()();
    else
        Forms::unloadAll();
}

void ExitIfAskedDuringTransfer()
{
    if (std::exchange(exitAskedDuringTransfer, false))
        ExitApplication();
}

void setExitApplicationHook(std::function<void()> hook)
{
    exitHook() = std::move(hook);
}
