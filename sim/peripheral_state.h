#pragma once
// state.json: what the peripherals hold between runs, so that one run of a front end can write
// a register or an IIC byte and the next can read it back.

#include <filesystem>
#include <string>

#include "sim/peripherals.h"

namespace brimlo::sim {

struct Peripherals {
    RegisterFile registers;
    GpioBank gpio;
    IicBus iic;

    explicit Peripherals(const SimConfig& config)
        : registers(config.firmwareVersion), gpio(config.gpioInputLevels), iic(config.iicDevices) {}
};

// Restores `peripherals` from `file`; a missing file leaves them as they are. An IIC device
// kept in the file but no longer configured is dropped. False with `error` naming the file
// and the key when the file cannot be read or holds something else.
bool LoadPeripheralState(const std::filesystem::path& file, Peripherals& peripherals,
                         std::string& error);

// Replaces `file` as a whole (written beside it, then renamed), so a reader never sees half.
bool SavePeripheralState(const std::filesystem::path& file, const Peripherals& peripherals,
                         std::string& error);

}  // namespace brimlo::sim
