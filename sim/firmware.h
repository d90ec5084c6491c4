#pragma once
// The device firmware's command interpreter: what it does with each output report it receives
// and what it answers to each input report asked of it. It sees only what the wire carries:
// the channel a report came on, its bytes, and for a read the command code.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/flash_region.h"
#include "sim/nor_flash.h"
#include "sim/peripheral_state.h"
#include "sim/sim_config.h"

namespace brimlo::sim {

class Firmware {
  public:
    // `flash` and `faults` must outlive the firmware; faults may change between exchanges.
    Firmware(const SimConfig& config, NorFlash& flash, const SimFaults& faults);

    // `report` is a whole output report of `channel`, report ID byte included. False with
    // `error` set for a request the firmware does not know or cannot carry out; such a
    // request changes nothing.
    bool Output(std::size_t channel, std::span<const std::uint8_t> report, std::string& error);

    // Writes the answer to a read of `channel` into `reply`, the channel's zeroed input report.
    // `code` is the command code the read carried (none on the flash data channel).
    bool Input(std::size_t channel, std::uint8_t code, std::span<std::uint8_t> reply,
               std::string& error);

    // True once after a request changed registers, GPIO lines or IIC devices.
    bool TakePeripheralsChanged();

    Peripherals& PeripheralState() { return peripherals_; }
    FlashRegion& Region() { return region_; }

  private:
    bool CommandOutput(std::span<const std::uint8_t> report, std::string& error);
    bool IicOutput(std::span<const std::uint8_t> report, std::string& error);
    bool CommandInput(std::uint8_t code, std::span<std::uint8_t> reply, std::string& error);
    bool IicInput(std::uint8_t code, std::span<std::uint8_t> reply, std::string& error);

    const SimConfig& config_;
    const SimFaults& faults_;
    Peripherals peripherals_;
    FlashRegion region_;
    std::size_t flashReadChunk_;

    bool peripheralsChanged_ = false;
    std::uint32_t registerAddress_ = 0;        // latched by REPORT_REG_WRITE_ADDR
    std::uint8_t gpioLine_ = 0;                // latched by REPORT_GPIO_READ(OUTPUT)
    std::uint8_t iicWriteCode_ = 0;            // answer of the last IIC write
    std::vector<std::uint8_t> iicReadAnswer_;  // return code, then the bytes of the last read
};

}  // namespace brimlo::sim
