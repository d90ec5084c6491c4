#include "hid/hid_dispatcher.h"

#include <algorithm>

namespace brimlo::hid {
namespace {

void GetInputReport(HidCallBlock& block, HidCallResult& result) {
    block.received = 0;
    if (block.device == nullptr || block.reportBuffer.empty()) {
        result.failed = 1;
        return;
    }
    block.reportBuffer[0] = block.reportId;
    const auto received =
        block.device->GetInputReport(block.reportId, block.reportLength, block.reportBuffer);
    if (!received) {
        result.failed = 1;
        return;
    }
    // A short reply must not leave an older answer's bytes behind it.
    const std::size_t used = std::min(*received, block.reportBuffer.size());
    block.received = static_cast<std::uint32_t>(used);
    std::fill(block.reportBuffer.begin() + static_cast<std::ptrdiff_t>(used),
              block.reportBuffer.end(), std::uint8_t{0});
}

void SetOutputReport(HidCallBlock& block, HidCallResult& result) {
    if (block.device == nullptr || block.reportLength == 0 ||
        block.reportLength > block.reportBuffer.size()) {
        result.failed = 1;
        return;
    }
    if (!block.device->SendOutputReport(block.reportBuffer.first(block.reportLength))) {
        result.failed = 1;
    }
}

}  // namespace

std::uint32_t RunHidOperation(std::uint32_t code, HidCallBlock& block, HidCallResult& result) {
    result.failed = 0;
    switch (code) {
        case kHidOpGetInputReport:
            GetInputReport(block, result);
            return 1;
        case kHidOpSetOutputReport:
            SetOutputReport(block, result);
            return 1;
        default:
            return 0;
    }
}

}  // namespace brimlo::hid
