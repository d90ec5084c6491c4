#include "session/simulated_platform.h"

#include "files/file_io.h"
#include "session/system_stack.h"
#include "sim/sim_platform.h"

namespace brimlo::session {

std::unique_ptr<hid::HidPlatform> MakeSimulatedPlatform(const std::string& stateDir,
                                                        StackError& error) {
    std::filesystem::path dir = files::PathFromUtf8(stateDir);
    if (dir.empty()) {
        const auto fallback = sim::DefaultSimStateDir();
        if (!fallback) {
            error = {StackError::Kind::Usage,
                     std::string("No state directory for the emulated device: set ") +
                         StateDirVariables() + ", or pass --sim-state DIR."};
            return nullptr;
        }
        dir = *fallback;
    }
    auto platform = std::make_unique<sim::SimPlatform>(dir);
    // Load now, so that a broken device.json is reported before any command runs.
    std::string cause;
    if (!platform->Device(cause)) {
        error = StackError::Unavailable(cause);
        return nullptr;
    }
    return platform;
}

}  // namespace brimlo::session
