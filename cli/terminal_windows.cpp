#include <io.h>
#include <windows.h>

#include "cli/terminal.h"

namespace brimlo::cli {

// _isatty also says yes for NUL and serial ports; only a console has a console mode.
bool IsTerminal(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        return false;
    }
    ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

}  // namespace brimlo::cli
