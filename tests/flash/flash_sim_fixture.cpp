#include "flash_sim_fixture.h"

#include "sim/sim_connection.h"
#include "sim/sim_platform.h"

namespace brimlo::flash::testing {
namespace {

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

// Logs each flash region the host sets up (REPORT_FLASH_ACCESS_MODE, code 3, then
// REPORT_FLASH_SET_LEN, code 5) and counts the flash data reports that follow it.
class RecordingConnection final : public hid::HidConnection {
  public:
    RecordingConnection(std::shared_ptr<sim::SimDevice> device, WireLog& log)
        : inner_(device), ids_(device->Config().reportIds), log_(log) {}

    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        const bool command = report[0] == ids_[sim::kCommandChannel];
        if (command && report[2] == 3) {
            pending_ = {report[3], Le32(report, 4), 0};
        } else if (command && report[2] == 5) {
            pending_.length = Le32(report, 3);
            log_.setUps.push_back(pending_);
            log_.dataReportsAfter.push_back(0);
        } else if (report[0] == ids_[sim::kFlashChannel] && !log_.setUps.empty()) {
            ++log_.dataReportsAfter.back();
        }
        return inner_.SendOutputReport(report);
    }
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override {
        return inner_.GetInputReport(reportId, requestedLength, buffer);
    }
    std::string LastError() const override { return inner_.LastError(); }
    bool GetAttributes(hid::HiddAttributes& attributes) override {
        return inner_.GetAttributes(attributes);
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override {
        return inner_.GetReportDescriptor(descriptor);
    }

  private:
    sim::SimConnection inner_;
    std::vector<std::uint8_t> ids_;
    WireLog& log_;
    WireRegion pending_{};
};

class RecordingPlatform final : public hid::HidPlatform {
  public:
    RecordingPlatform(std::shared_ptr<sim::SimDevice> device, WireLog& log)
        : inner_(std::move(device)), log_(log) {}
    std::unique_ptr<hid::HidInterfaceSet> PresentInterfaces(std::string& error) override {
        return inner_.PresentInterfaces(error);
    }
    std::unique_ptr<hid::HidConnection> Open(const std::string&, const hid::HidOpenOptions&,
                                             std::string& error) override {
        return std::make_unique<RecordingConnection>(inner_.Device(error), log_);
    }

  private:
    sim::SimPlatform inner_;
    WireLog& log_;
};

}  // namespace

void FlashSimTest::Start(sim::SimConfig config) {
    device.reset();
    std::string error;
    sim = sim::SimDevice::Create(config, error);
    ASSERT_TRUE(sim) << error;
    platform = std::make_unique<RecordingPlatform>(sim, wire);
    device = std::make_unique<UvcHidDevice>(*platform);
    const OpenResult opened = device->Open(config.vid, config.pid);
    ASSERT_EQ(opened.status, OpenStatus::Opened) << opened.message;
    ASSERT_TRUE(IdentifyFlash(*device, identity, error)) << error;
    ASSERT_EQ(identity.chipIndex, config.chipRow);
    wire = WireLog{};
}

}  // namespace brimlo::flash::testing
