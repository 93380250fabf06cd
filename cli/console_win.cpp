#include "cli/console.h"

#include <windows.h>

namespace Console {

bool stderrIsTerminal()
{
    // _isatty also takes the NUL device for a terminal; only a console has a mode.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace Console
