// Flash region set-up and the chunked burst transfer. One flash data report per chunk, the
// transfer buffer reused for every chunk, nothing allocated on the way.

#include <algorithm>

#include "commands/panel_format.h"
#include "commands/report_bytes.h"
#include "commands/uvc_hid_device.h"
#include "hid/debug_output.h"

namespace brimlo {

using hid::kCommandTable;

namespace {

// Data starts behind the report ID byte and three zero bytes.
constexpr std::size_t kFlashDataOffset = 4;

std::string_view BurstStatus(std::uint32_t code) {
    switch (code) {
        case kBurstWrite:
            return kStatusWrite;
        case kBurstCompare:
            return kStatusCompare;
        default:
            return kStatusRead;
    }
}

}  // namespace

bool UvcHidDevice::FlashAccess(std::uint32_t code, std::uint8_t accessMode, std::uint32_t address,
                               std::uint32_t length, std::span<std::uint8_t> data) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    if (code == AP_FLASH_WRITE && (length > ChunkSize() || data.size() < length)) {
        return Fail("A single flash write of " + std::to_string(length) +
                    " bytes does not fit the device's " + std::to_string(ChunkSize()) +
                    "-byte flash reports.");
    }
    if (code == AP_FLASH_READ &&
        (length > InputReportLength(kFlashChannel) || data.size() < length)) {
        return Fail("A single flash read of " + std::to_string(length) +
                    " bytes does not fit the device's " +
                    std::to_string(InputReportLength(kFlashChannel)) + "-byte flash reports.");
    }

    std::span<std::uint8_t> rw = rwBuffer_;
    Clear(rw);
    rw[3] = accessMode;
    PutLe32(rw, 4, address);
    if (!SendRow(hid::REPORT_FLASH_ACCESS_MODE, kCommandTable[hid::REPORT_FLASH_ACCESS_MODE], rw)) {
        return false;
    }
    Clear(rw);
    PutLe32(rw, 3, length);
    if (!SendRow(hid::REPORT_FLASH_SET_LEN, kCommandTable[hid::REPORT_FLASH_SET_LEN], rw)) {
        return false;
    }

    std::span<std::uint8_t> flash = flashBuffer_;
    if (code == AP_FLASH_READ) {
        if (!ReceiveRow(hid::REPORT_FLASH_READ, flash, length)) {
            return false;
        }
        std::copy_n(ReplyBytes().begin(), length, data.begin());
    } else if (code == AP_FLASH_WRITE) {
        Clear(flash);
        std::copy_n(data.begin(), length, flash.begin() + kFlashDataOffset);
        if (!SendRow(hid::REPORT_FLASH_WRITE, kCommandTable[hid::REPORT_FLASH_WRITE], flash)) {
            return false;
        }
    }
    return true;
}

bool UvcHidDevice::ReadFlashChipIndex(std::uint16_t& answer) {
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return false;
    }
    if (InputReportLength(kControlChannel) < 2) {
        return Fail("The device's command reports are too short to carry a flash chip index.");
    }
    if (!ReceiveRow(hid::REPORT_FLASH_GET_ID, rwBuffer_, 2)) {
        return false;
    }
    answer = static_cast<std::uint16_t>(ReplyBytes()[0] | ReplyBytes()[1] << 8);
    return true;
}

std::string UvcHidDevice::ReadBackProblem() const {
    const std::size_t chunk = ChunkSize();
    const std::size_t input = InputReportLength(kFlashChannel);
    if (chunk == 0 || input >= chunk) {
        return {};
    }
    return "This device's flash input reports carry " + std::to_string(input) +
           " bytes, fewer than the " + std::to_string(chunk) +
           " bytes each flash write report carries, so the flash cannot be read back in "
           "chunks: this tool cannot compare or dump it on this device.";
}

bool UvcHidDevice::CompareChunk(std::span<const std::uint8_t> expected, std::uint32_t at,
                                const BurstOptions& options, bool& mismatch) {
    const std::span<const std::uint8_t> found(flashBuffer_.data(), expected.size());
    const auto [e, f] = std::mismatch(expected.begin(), expected.end(), found.begin());
    if (e == expected.end()) {
        return true;
    }
    if (options.compare != nullptr) {
        CompareReport& report = *options.compare;
        if (!report.mismatch) {
            report.mismatch = true;
            report.firstDifference = at + static_cast<std::uint32_t>(e - expected.begin());
            report.expected = *e;
            report.found = *f;
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            report.differingBytes += expected[i] != found[i] ? 1 : 0;
        }
    }
    if (!mismatch) {
        const auto end = at + static_cast<std::uint32_t>(expected.size());
        hid::DebugPrintf("FlashWrite -- Compare data fail, data(0x%08x~0x%08x) \n", at, end);
        Fail("The flash differs from the image in bytes 0x" + FormatRegister(at) + " to 0x" +
             FormatRegister(end) + ".");
    }
    mismatch = true;
    return options.compareWholeRegion;
}

std::uint32_t UvcHidDevice::FlashBurst(std::uint32_t code, std::uint32_t total,
                                       std::span<const std::uint8_t> image, std::uint32_t offset,
                                       std::uint32_t& done, const BurstOptions& options) {
    done = 0;
    std::unique_lock<std::recursive_mutex> lock;
    if (!Acquire(lock) || !RequireOpen()) {
        return total;
    }
    const bool usesImage = code == kBurstWrite || code == kBurstCompare;
    if (usesImage && std::uint64_t{offset} + total > image.size()) {
        Fail("The image holds " + std::to_string(image.size()) + " bytes; bytes " +
             std::to_string(offset) + " to " + std::to_string(std::uint64_t{offset} + total) +
             " were asked for.");
        return total;
    }
    if (code == kBurstReadToSink && options.sink == nullptr) {
        Fail("A read burst needs somewhere to put the data.");
        return total;
    }
    if (code != kBurstWrite && code != kBurstCompare && code != kBurstReadToSink) {
        Fail("Unknown burst operation " + std::to_string(code));
        return total;
    }
    const std::size_t chunk = ChunkSize();
    if (chunk == 0) {
        Fail("The device's flash reports are too short for a burst.");
        return total;
    }
    if (code != kBurstWrite) {
        if (std::string problem = ReadBackProblem(); !problem.empty()) {
            Fail(std::move(problem));
            return total;
        }
    }

    FlashProgress* progress = options.progress;
    if (progress != nullptr) {
        progress->BurstStarted(total);
        progress->StatusChanged(BurstStatus(code));
    }
    std::span<std::uint8_t> flash = flashBuffer_;
    std::uint32_t processed = 0;  // bytes exchanged, past a difference too when verifying
    bool mismatch = false;
    while (processed < total) {
        if (options.stop != nullptr && options.stop->Requested()) {
            hid::DebugPrintf("Flash burst stopped on request after %u bytes\n", processed);
            Fail("Stopped on request after " + std::to_string(processed) + " of " +
                 std::to_string(total) + " bytes.");
            break;
        }
        const std::uint32_t n =
            static_cast<std::uint32_t>(std::min<std::size_t>(total - processed, chunk));
        const std::uint32_t at = offset + processed;
        Clear(flash);
        if (code == kBurstWrite) {
            std::copy_n(image.begin() + at, n, flash.begin() + kFlashDataOffset);
            if (!SendRow(hid::BURST_FLASH_WRITE, kCommandTable[hid::REPORT_FLASH_WRITE], flash,
                         "BURST_FLASH_WRITE")) {
                break;
            }
        } else {
            if (!ReceiveRow(hid::BURST_FLASH_READ, flash, n, "BURST_FLASH_READ")) {
                break;
            }
            std::copy_n(ReplyBytes().begin(), n, flash.begin());
            if (code == kBurstCompare &&
                !CompareChunk(image.subspan(at, n), at, options, mismatch)) {
                break;
            }
            if (code == kBurstReadToSink) {
                const std::size_t stored = options.sink->Write(flash.first(n));
                if (stored < n) {
                    hid::DebugPrintf("FlashRead -- Read data fail, data(0x%08x~0x%08x) \n",
                                     processed, processed + n);
                    Fail("The dump file took only " + std::to_string(stored) + " of " +
                         std::to_string(n) + " bytes at offset " + std::to_string(processed));
                    break;
                }
            }
        }
        processed += n;
        if (!mismatch) {
            done = processed;
        }
        if (progress != nullptr) {
            progress->BytesDone(processed);
        }
    }
    const std::uint32_t remaining = total - done;
    if (remaining == 0 && progress != nullptr) {
        progress->StatusChanged(kStatusWait);
    }
    return remaining;
}

}  // namespace brimlo
