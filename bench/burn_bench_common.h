#pragma once
// What the Linux and the Win32 dialog benches share: the burn they time, the goals they check,
// and the helpers around them, so that both views are measured the same way.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <cstdio>

#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_sequence.h"
#include "hid/debug_output.h"
#include "sim/sim_platform.h"

namespace brimlo::bench {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kImageSize = 8 * 1024 * 1024;
constexpr int kTickMs = 10;
constexpr double kStallGoalMs = 50;
constexpr double kRatioGoal = 1.2;

class NoDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

// Keeps the last text; a burn that did not end with the whole-flash text has failed.
class LastBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view, MessageIcon) override { last = text; }
    std::string last;
};

// An 8 MB chip with 64-byte reports: many small exchanges, the hardest case for the dialog.
inline sim::SimConfig SmallReports() {
    sim::SimConfig config;
    config.chipRow = 4;  // 8 MB
    config.outputReportLengths = {64, 64, 64};
    config.inputReportLengths = {64, 64, 64};
    return config;
}

inline std::vector<std::uint8_t> Image() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>((i * 13 + 7 + (i >> 9)) % 253 + 1);
    }
    return image;
}

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The library alone: no progress, no thread, no window. `timed` is given the burn to run once
// between its own readings of the clocks.
template <typename Timed>
bool LibraryBurn(const char* bench, const std::vector<std::uint8_t>& image, Timed timed) {
    std::string error;
    const auto sim = sim::SimDevice::Create(SmallReports(), error);
    sim::SimPlatform platform(sim);
    UvcHidDevice device(platform);
    flash::FlashIdentity identity;
    if (device.Open(SmallReports().vid, SmallReports().pid).status != OpenStatus::Opened ||
        !flash::IdentifyFlash(device, identity, error)) {
        std::fprintf(stderr, "%s: %s\n", bench, error.c_str());
        return false;
    }
    LastBoxes boxes;
    flash::FixedAreaChoice entire(flash::BurnSelection{});
    bool updated = false;
    timed([&] {
        updated = flash::RunBurn(device, image, identity, entire, boxes, nullptr).entireUpdated;
    });
    return updated && sim->PeekFlash(0, kImageSize) == image;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace brimlo::bench
