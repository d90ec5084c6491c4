#pragma once
// Rounds of load, write registers, let go: one command of the tool each, for the suites that
// share a state directory between processes and for the program they start as the other one.

#include <cstdint>
#include <filesystem>
#include <string>

#include "sim_wire.h"

namespace brimlo::sim::testing {

// Each round writes the round's number to `count` registers from `base` on. The error of the
// first round that fails, or nothing.
inline std::string WriteRounds(const std::filesystem::path& dir, int rounds, std::uint32_t base,
                               std::uint32_t count) {
    for (int round = 0; round < rounds; ++round) {
        std::string error;
        auto device = SimDevice::Load(dir, error);
        if (!device) {
            return error;
        }
        Wire wire(device);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!wire.WriteRegister(base + 4 * i, static_cast<std::uint32_t>(round))) {
                return wire.Connection().LastError();
            }
        }
    }
    return {};
}

}  // namespace brimlo::sim::testing
