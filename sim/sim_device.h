#pragma once
// The emulated capture device: its firmware, flash chip and peripherals, the faults it was told
// to show, and where its state is kept. Connections (sim_connection.h) carry reports to it.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "sim/firmware.h"
#include "sim/nor_flash.h"
#include "sim/sim_config.h"
#include "sim/state_dir_lock.h"

namespace brimlo::sim {

class SimDevice {
  public:
    // A device that lives in memory only. Null with `error` when `config` is not valid.
    static std::shared_ptr<SimDevice> Create(const SimConfig& config, std::string& error);

    // The device kept in `stateDir` (created when missing): device.json, written with the
    // defaults when missing; flash.bin, the flash contents; state.json, the peripherals. Null
    // with `error` naming the file and the key when one of them cannot be used. The device
    // holds the directory until it is destroyed; while another process holds it, Load waits
    // up to `busyWait`, then fails saying the board is busy.
    static std::shared_ptr<SimDevice> Load(
        const std::filesystem::path& stateDir, std::string& error,
        std::chrono::milliseconds busyWait = std::chrono::seconds(5));

    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // One output report as the firmware receives it; report[0] is the report ID. False with
    // `error` set when the exchange fails (the device stalls it).
    bool OutputReport(std::span<const std::uint8_t> report, std::string& error);

    // One input report as the firmware is asked for it. The reply (the channel's input report
    // length) goes into `buffer` from byte 0, cut to its size; returns the bytes placed.
    std::optional<std::size_t> InputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                           std::span<std::uint8_t> buffer, std::string& error);

    const SimConfig& Config() const { return config_; }
    const std::vector<std::uint8_t>& ReportDescriptor() const { return descriptor_; }
    // "sim:<state dir>", or "sim:memory".
    const std::string& Path() const { return path_; }

    // False once the device was unplugged by the unplug fault.
    bool Present() const;
    // New faults; the exchange count starts again and an unplugged device comes back.
    void SetFaults(const SimFaults& faults);
    std::uint64_t ExchangeCount() const;

    // Ends an unfinished flash region and writes the peripheral state out. Connections call it
    // when they close.
    void Persist();

    // Direct access to the flash array, past the firmware (as a programmer clip would have):
    // for tests that arrange contents or check them without a transfer. Bytes past the chip's
    // end are left out.
    std::vector<std::uint8_t> PeekFlash(std::uint32_t address, std::uint32_t length) const;
    void PokeFlash(std::uint32_t address, std::span<const std::uint8_t> data);

  private:
    SimDevice(const SimConfig& config, std::unique_ptr<NorFlash> flash,
              std::optional<std::filesystem::path> stateDir, std::unique_ptr<StateDirLock> lock);

    // The channel whose report ID this is, or nothing.
    std::optional<std::size_t> ChannelOf(std::uint8_t reportId) const;
    void SavePeripheralsLocked();

    // First, so that it is let go only after everything else was written out.
    const std::unique_ptr<StateDirLock> lock_;
    const SimConfig config_;
    const std::vector<std::uint8_t> descriptor_;
    const std::optional<std::filesystem::path> stateDir_;
    const std::string path_;

    mutable std::mutex mutex_;
    FaultInjector faults_;
    std::unique_ptr<NorFlash> flash_;
    Firmware firmware_;
    std::vector<std::uint8_t> reply_;  // one input report, reused for every read
};

}  // namespace brimlo::sim
