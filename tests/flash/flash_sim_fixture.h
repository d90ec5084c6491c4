#pragma once
// The emulated device behind a connection that logs the flash regions set up, opened and
// identified, with boxes and progress that remember what they were shown: the ground the burn,
// verify and dump suites stand on.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/uvc_hid_device.h"
#include "flash/flash_identity.h"
#include "flash_test_data.h"
#include "recording_boxes.h"
#include "sim/sim_device.h"

namespace brimlo::flash::testing {

class RecordingProgress final : public FlashProgress {
  public:
    void RegionStarted(std::string_view region) override { regions.emplace_back(region); }
    void StatusChanged(std::string_view status) override { statuses.emplace_back(status); }
    void BurstStarted(std::uint32_t) override {}
    void BytesDone(std::uint32_t done) override { lastDone = done; }
    std::vector<std::string> regions;
    std::vector<std::string> statuses;
    std::uint32_t lastDone = 0;
};

// One region announced to the device: REPORT_FLASH_ACCESS_MODE then REPORT_FLASH_SET_LEN.
struct WireRegion {
    std::uint8_t mode;
    std::uint32_t address, length;
    bool operator==(const WireRegion&) const = default;
};

// What the host sent: the regions it set up, and how many flash data reports followed each.
struct WireLog {
    std::vector<WireRegion> setUps;
    std::vector<std::size_t> dataReportsAfter;
};

// An emulated device with the chip of `chipRow` (an 8 MB part unless told), opened and
// identified.
class FlashSimTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(4); }
    void Start(sim::SimConfig config);
    void Start(std::uint32_t chipRow) {
        sim::SimConfig config;
        config.chipRow = chipRow;
        Start(config);
    }
    std::uint8_t FlagByte() const { return sim->PeekFlash(kFlagSectorAddress, 1).at(0); }

    std::shared_ptr<sim::SimDevice> sim;
    WireLog wire;
    std::unique_ptr<hid::HidPlatform> platform;
    std::unique_ptr<UvcHidDevice> device;
    FlashIdentity identity;
    RecordingBoxes boxes;
    RecordingProgress progress;
};

}  // namespace brimlo::flash::testing
