#include <cstdlib>

#include "sim/sim_platform.h"

namespace brimlo::sim {

std::optional<std::filesystem::path> DefaultSimStateDir() {
    const std::filesystem::path suffix = std::filesystem::path("brimlo-hid") / "sim";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') {
        return std::filesystem::path(cache) / suffix;
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return std::filesystem::path(home) / ".cache" / suffix;
    }
    return std::nullopt;
}

}  // namespace brimlo::sim
