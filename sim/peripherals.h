#pragma once
// The capture chip's peripherals as the firmware reaches them: 32-bit registers, four GPIO lines
// and the devices on the IIC bus.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/sim_config.h"

namespace brimlo::sim {

// Registers hold what was last written to them and read 0 before that. The four firmware
// version registers (0x54, 0x58, 0x5C, 0x60) are read-only and hold one version byte each.
class RegisterFile {
  public:
    explicit RegisterFile(const std::array<std::uint8_t, kFirmwareVersionSize>& version);

    std::uint32_t Read(std::uint32_t address) const;
    // False when the register is read-only (the write is ignored, as the chip ignores it).
    bool Write(std::uint32_t address, std::uint32_t value);

    const std::map<std::uint32_t, std::uint32_t>& Written() const { return values_; }

  private:
    std::array<std::uint8_t, kFirmwareVersionSize> version_;
    std::map<std::uint32_t, std::uint32_t> values_;
};

inline constexpr std::uint32_t kFirmwareVersionRegister = 0x54;

struct GpioLine {
    std::uint8_t output = 0;  // direction: 0 input, 1 output
    std::uint8_t latch = 0;   // level driven while an output
};

// Four lines. An output reads back its latch, an input the level outside drives onto it.
class GpioBank {
  public:
    explicit GpioBank(const std::array<std::uint8_t, kGpioCount>& inputLevels);

    void SetDirection(std::uint8_t line, bool output) { lines_[line].output = output ? 1 : 0; }
    void Write(std::uint8_t line, bool high) { lines_[line].latch = high ? 1 : 0; }
    std::uint8_t Read(std::uint8_t line) const;

    std::array<GpioLine, kGpioCount>& Lines() { return lines_; }
    const std::array<GpioLine, kGpioCount>& Lines() const { return lines_; }

  private:
    std::array<std::uint8_t, kGpioCount> inputLevels_;
    std::array<GpioLine, kGpioCount> lines_{};
};

inline constexpr std::uint8_t kIicAck = 0;
inline constexpr std::uint8_t kIicNoDevice = 1;

// Register-space devices: the first byte written sets the sub-address pointer, the bytes after
// it are stored there, and reads come from the pointer; the pointer advances and wraps.
class IicBus {
  public:
    struct Device {
        std::uint8_t address = 0;
        std::vector<std::uint8_t> memory;
        std::size_t pointer = 0;
    };

    explicit IicBus(const std::vector<SimIicDeviceConfig>& devices);

    // Each returns the transfer's return code: kIicAck, or kIicNoDevice when nothing answers
    // the address (whose R/W bit is ignored). `out` receives the bytes read, zeros on failure.
    std::uint8_t Write(std::uint8_t address, std::span<const std::uint8_t> data);
    std::uint8_t Read(std::uint8_t address, std::span<const std::uint8_t> written,
                      std::span<std::uint8_t> out);

    std::vector<Device>& Devices() { return devices_; }
    const std::vector<Device>& Devices() const { return devices_; }

  private:
    Device* Find(std::uint8_t address);

    std::vector<Device> devices_;
};

}  // namespace brimlo::sim
