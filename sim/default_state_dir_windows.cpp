#include <cstdlib>

#include "sim/sim_platform.h"

namespace brimlo::sim {

std::optional<std::filesystem::path> DefaultSimStateDir() {
    // Read wide, so that a user name outside the ANSI code page stays whole.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (!local || !std::filesystem::path(local).is_absolute()) {
        return std::nullopt;
    }
    return std::filesystem::path(local) / "brimlo-hid" / "sim";
}

}  // namespace brimlo::sim
