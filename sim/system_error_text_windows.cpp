#include "hid/windows/windows_errors.h"
#include "hid/windows/windows_headers.h"
#include "sim/system_error_text.h"

namespace brimlo::sim {

std::string LastSystemErrorText() {
    const DWORD error = GetLastError();
    return hid::WindowsErrorText(hid::SystemWinHidApi(), error);
}

}  // namespace brimlo::sim
