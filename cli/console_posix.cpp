#include "cli/console.h"

#include <unistd.h>

namespace Console {

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace Console
