#pragma once
// Several emulated boards on one HID stack, as on a production station's hub: board K keeps
// its state in DIR/board-K and sits on its own port with its own serial number. A hotplug
// script plugs and unplugs boards at given times; a board unplugged mid-job fails every
// exchange from then on, as a pulled cable would.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/hotplug_monitor.h"
#include "sim/sim_device.h"

namespace brimlo::sim {

struct HotplugEvent {
    std::chrono::milliseconds at{0};  // after the platform was made
    std::size_t board = 1;            // 1-based
    bool plug = true;
};

// "TIME:+K" plugs board K, "TIME:-K" unplugs it; entries are separated by commas, TIME is in
// seconds (fractions allowed), e.g. "0:+1,0.5:+2,1.2:-1". False with `error` saying which
// entry is wrong when one does not parse or names no board of `boards`.
bool ParseHotplugScript(std::string_view text, std::size_t boards,
                        std::vector<HotplugEvent>& events, std::string& error);

class MultiBoardPlatform final : public hid::HidPlatform, public hid::HotplugMonitor {
  public:
    // Loads boards 1 to `count` from `dir`/board-K. A board without a device.json gets one
    // naming port "1-K" and serial "SIM000K". With a script, every board starts unplugged
    // and the script plugs them; without one, all are plugged. Null with `error` set when a
    // board cannot be loaded.
    static std::unique_ptr<MultiBoardPlatform> Load(const std::filesystem::path& dir,
                                                    std::size_t count,
                                                    std::vector<HotplugEvent> script,
                                                    std::string& error);

    std::unique_ptr<hid::HidInterfaceSet> PresentInterfaces(std::string& error) override;
    std::unique_ptr<hid::HidConnection> Open(const std::string& path,
                                             const hid::HidOpenOptions& options,
                                             std::string& error) override;
    hid::BoardLocation Locate(const std::string& path) override;

    int EventFd() const override { return -1; }
    std::optional<Clock::time_point> NextChangeDue() const override;
    void Settle() override;
    std::uint64_t PlugGeneration(const std::string& path) const override;

    std::size_t BoardCount() const { return slots_.size(); }
    // Board `board` (1-based).
    SimDevice& Board(std::size_t board) { return *slots_.at(board - 1)->device; }
    // Plugs or unplugs board `board` now; any thread may call it.
    void SetPlugged(std::size_t board, bool plugged);

  private:
    struct Slot {
        std::shared_ptr<SimDevice> device;
        std::atomic<bool> plugged{true};
        // Counts the plugs: a connection opened before an unplug stays dead after a replug.
        std::atomic<std::uint64_t> plugCount{0};
    };
    MultiBoardPlatform() = default;
    Slot* Find(const std::string& path) const;

    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<HotplugEvent> script_;
    std::size_t nextEvent_ = 0;
    Clock::time_point start_;
};

}  // namespace brimlo::sim
