#include "sim/peripherals.h"

#include <algorithm>

namespace brimlo::sim {

RegisterFile::RegisterFile(const std::array<std::uint8_t, kFirmwareVersionSize>& version)
    : version_(version) {}

std::uint32_t RegisterFile::Read(std::uint32_t address) const {
    for (std::size_t i = 0; i < version_.size(); ++i) {
        if (address == kFirmwareVersionRegister + 4 * i) {
            return version_[i];
        }
    }
    const auto found = values_.find(address);
    return found == values_.end() ? 0 : found->second;
}

bool RegisterFile::Write(std::uint32_t address, std::uint32_t value) {
    if (address >= kFirmwareVersionRegister &&
        address < kFirmwareVersionRegister + 4 * version_.size() && address % 4 == 0) {
        return false;
    }
    values_[address] = value;
    return true;
}

GpioBank::GpioBank(const std::array<std::uint8_t, kGpioCount>& inputLevels)
    : inputLevels_(inputLevels) {}

std::uint8_t GpioBank::Read(std::uint8_t line) const {
    return lines_[line].output ? lines_[line].latch : inputLevels_[line];
}

IicBus::IicBus(const std::vector<SimIicDeviceConfig>& devices) {
    for (const SimIicDeviceConfig& config : devices) {
        devices_.push_back(Device{config.address, std::vector<std::uint8_t>(config.size, 0), 0});
    }
}

IicBus::Device* IicBus::Find(std::uint8_t address) {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const Device& device) {
        return device.address == (address & 0xFE);
    });
    return found == devices_.end() ? nullptr : &*found;
}

std::uint8_t IicBus::Write(std::uint8_t address, std::span<const std::uint8_t> data) {
    Device* device = Find(address);
    if (device == nullptr) {
        return kIicNoDevice;
    }
    if (data.empty()) {
        return kIicAck;  // an address probe
    }
    device->pointer = data[0] % device->memory.size();
    for (std::uint8_t byte : data.subspan(1)) {
        device->memory[device->pointer] = byte;
        device->pointer = (device->pointer + 1) % device->memory.size();
    }
    return kIicAck;
}

std::uint8_t IicBus::Read(std::uint8_t address, std::span<const std::uint8_t> written,
                          std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), 0);
    const std::uint8_t code = Write(address, written);
    if (code != kIicAck) {
        return code;
    }
    // Write found the device, so it exists.
    Device& device = *Find(address);
    for (std::uint8_t& byte : out) {
        byte = device.memory[device.pointer];
        device.pointer = (device.pointer + 1) % device.memory.size();
    }
    return kIicAck;
}

}  // namespace brimlo::sim
