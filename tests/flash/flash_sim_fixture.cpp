#include "flash_sim_fixture.h"

#include "sim/sim_connection.h"

namespace brimlo::flash::testing {
namespace {

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

class RecordingConnection final : public hid::HidConnection {
  public:
    RecordingConnection(std::unique_ptr<hid::HidConnection> inner, const sim::SimConfig& config,
                        WireLog& log)
        : inner_(std::move(inner)), config_(config), log_(log) {}

    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        const std::uint8_t id = report[0];
        if (id == config_.reportIds[sim::kCommandChannel] && report[2] == 3) {
            pending_ = {report[3], Le32(report, 4), 0};
        } else if (id == config_.reportIds[sim::kCommandChannel] && report[2] == 5) {
            pending_.length = Le32(report, 3);
            log_.setUps.push_back(pending_);
            log_.dataReportsAfter.push_back(0);
        } else if (id == config_.reportIds[sim::kFlashChannel] && !log_.setUps.empty()) {
            if (log_.dataReportsAfter.back()++ == 0 && log_.onFirstData) {
                log_.onFirstData(log_.setUps.back());
            }
        }
        return inner_->SendOutputReport(report);
    }
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override {
        ++log_.inputReads;
        return inner_->GetInputReport(reportId, requestedLength, buffer);
    }
    std::string LastError() const override { return inner_->LastError(); }
    bool GetAttributes(hid::HiddAttributes& attributes) override {
        return inner_->GetAttributes(attributes);
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override {
        return inner_->GetReportDescriptor(descriptor);
    }

  private:
    std::unique_ptr<hid::HidConnection> inner_;
    const sim::SimConfig& config_;
    WireLog& log_;
    WireRegion pending_{};
};

}  // namespace

std::unique_ptr<hid::HidConnection> RecordingPlatform::Open(const std::string& path,
                                                            const hid::HidOpenOptions& options,
                                                            std::string& error) {
    std::unique_ptr<hid::HidConnection> inner = inner_.Open(path, options, error);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<RecordingConnection>(std::move(inner), device_->Config(), log_);
}

void FlashSimTest::Start(sim::SimConfig config) {
    device.reset();
    platform.reset();
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
