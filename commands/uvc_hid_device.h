#pragma once
// The capture device's vendor HID interface as one object: opening it, and every register,
// IIC, GPIO, HDMI and flash exchange. Front ends and tests drive the same members.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands/flash_progress.h"
#include "commands/stop_request.h"
#include "hid/hid_enumeration.h"
#include "hid/report_framing.h"

namespace brimlo {

// Operation selectors of RegisterAccess, IicAccess and GpioAccess: one numbering across all three.
inline constexpr std::uint32_t kRegisterWrite = 0;
inline constexpr std::uint32_t kRegisterRead = 1;
inline constexpr std::uint32_t kIicWrite = 2;
inline constexpr std::uint32_t kIicRead = 3;
inline constexpr std::uint32_t kGpioSetDirection = 4;
inline constexpr std::uint32_t kGpioWrite = 5;
inline constexpr std::uint32_t kGpioRead = 6;

inline constexpr std::size_t kHdmiInfoLength = 24;
using HdmiInfo = std::array<std::uint8_t, kHdmiInfoLength>;

// Value-capability indexes of the three channels.
inline constexpr std::size_t kFlashChannel = 0;
inline constexpr std::size_t kControlChannel = 1;
inline constexpr std::size_t kIicChannel = 2;

// Flash operation codes: 16 and 17 are also the command codes of the two data reports.
inline constexpr std::uint32_t AP_FLASH_WRITE = 16;
inline constexpr std::uint32_t AP_FLASH_READ = 17;
inline constexpr std::uint32_t AP_FLASH_BURST_LATER = 19;
inline constexpr std::uint32_t kBurstWrite = 16;
inline constexpr std::uint32_t kBurstCompare = 17;
inline constexpr std::uint32_t kBurstReadToSink = 18;

// Access modes: the region the device sets up.
inline constexpr std::uint8_t kAccessFirmware = 0;
inline constexpr std::uint8_t kAccessEntireFlash = 1;
inline constexpr std::uint8_t kAccessFlagSector = 2;
inline constexpr std::uint8_t kAccessOtherArea = 3;

// Where a compare found differences, counted in image offsets (= flash addresses).
struct CompareReport {
    bool mismatch = false;
    std::uint32_t firstDifference = 0;  // address of the first differing byte
    std::uint32_t expected = 0;         // the image's byte there
    std::uint32_t found = 0;            // the flash's byte there
    std::uint64_t differingBytes = 0;   // counted over the chunks compared
};

// What a burst reports to, and for a verify, whether it reads on past the first mismatch.
struct BurstOptions {
    FlashProgress* progress = nullptr;
    FlashChunkSink* sink = nullptr;  // required by kBurstReadToSink
    CompareReport* compare = nullptr;
    bool compareWholeRegion = false;
    // Checked before each report; once requested, the burst ends there.
    const StopRequest* stop = nullptr;
};

enum class OpenStatus {
    Opened,
    NotFound,           // no interface with the identifiers
    EnumerationFailed,  // the HID stack could not list its interfaces
    Unusable,           // found, but its reports cannot carry the protocol
};

// LastError() of a command refused because another thread holds the device.
inline constexpr std::string_view kDeviceBusy =
    "The device is busy with a burn or dump; wait until it has finished.";

struct OpenResult {
    OpenStatus status = OpenStatus::NotFound;
    std::string message;  // what went wrong and what the user can do; empty when opened
    // NotFound, and an interface was passed over because another program holds it: the board
    // may be there, but busy.
    bool heldElsewhere = false;
};

class UvcHidDevice {
  public:
    explicit UvcHidDevice(hid::HidPlatform& platform) : platform_(platform) {}
    UvcHidDevice(const UvcHidDevice&) = delete;
    UvcHidDevice& operator=(const UvcHidDevice&) = delete;
    ~UvcHidDevice();

    // Finds the first interface with these identifiers, takes its record and sizes the three
    // transfer buffers from its output value capabilities. Replaces a device opened before.
    OpenResult Open(std::uint16_t vendorId, std::uint16_t productId);

    // True when a device is open and its three channels and buffers are usable.
    bool IsOpen() const { return open_; }
    std::uint32_t MatchedIndex() const { return matchedIndex_; }
    const hid::HidDeviceRecord& Record() const { return record_; }
    // "Device #%d: VID: 0x%04X  PID: 0x%04X  UsagePage: 0x%X  Usage: 0x%X"
    std::string Description() const;

    // Report lengths (report ID byte included) of one channel.
    std::size_t OutputReportLength(std::size_t channel) const;
    std::size_t InputReportLength(std::size_t channel) const;

    // Selector 0 writes `value` to `address`; selector 1 reads it into `value`.
    bool RegisterAccess(std::uint32_t selector, std::uint32_t address, std::uint32_t& value);
    // Selector 2 writes data[0..count); selector 3 writes data[0..count) then reads readCount
    // bytes. On success data[0] is the device's return code and data[1..readCount] the bytes
    // read; data must hold max(count, readCount + 1) bytes. On failure data is unchanged.
    bool IicAccess(std::uint32_t selector, std::uint8_t deviceAddress, std::uint8_t count,
                   std::span<std::uint8_t> data, std::uint8_t readCount);
    // Selector 4 sets the direction (0 input, 1 output), 5 writes `value`, 6 reads into it.
    bool GpioAccess(std::uint32_t selector, std::uint8_t number, std::uint8_t& value);
    bool ReadHdmiInfo(HdmiInfo& info);

    // Chunk of a burst: the flash data report's length less the report ID and three zero bytes.
    std::size_t ChunkSize() const { return flashBuffer_.size() > 4 ? flashBuffer_.size() - 4 : 0; }
    // Why a burst cannot read the flash back (compare or dump) on this device: its flash input
    // reports are shorter than a chunk. Empty when it can. Sequences ask before they send
    // anything, so that a burn never writes what it could not compare.
    std::string ReadBackProblem() const;

    // Sets up a region (accessMode, address, length) and, for AP_FLASH_WRITE or AP_FLASH_READ,
    // moves `length` bytes of `data` in one flash data report. Other codes only set up.
    bool FlashAccess(std::uint32_t code, std::uint8_t accessMode, std::uint32_t address,
                     std::uint32_t length, std::span<std::uint8_t> data = {});
    // Moves `total` bytes of the region set up last, one chunk per report: writes
    // image[offset..], compares the flash with it, or hands what it reads to options.sink.
    // Returns the bytes not moved (0 when complete); `done` gets the bytes moved. A stop
    // requested through options.stop ends it before the next report.
    std::uint32_t FlashBurst(std::uint32_t code, std::uint32_t total,
                             std::span<const std::uint8_t> image, std::uint32_t offset,
                             std::uint32_t& done, const BurstOptions& options = {});

    // Asks the device which row of the flash chip table its chip is (answer bytes 0-1).
    bool ReadFlashChipIndex(std::uint16_t& answer);

    // Keeps every other thread's commands out until the returned lock is released: a burn or
    // dump holds it for its whole run, and commands from elsewhere fail as busy meanwhile.
    std::unique_lock<std::recursive_mutex> LockExclusive() {
        return std::unique_lock<std::recursive_mutex>(exchangeMutex_);
    }

    // Why the last command failed, with what the user can do about it.
    std::string LastError() const;

  private:
    // Takes the exchange lock without waiting; false (and a busy error) while another thread
    // holds it.
    bool Acquire(std::unique_lock<std::recursive_mutex>& lock);
    bool RequireOpen();
    bool Fail(std::string message);
    // Why the open device cannot carry the protocol; empty when it can.
    std::string ChannelProblem() const;
    // Frames and sends one output row from `buffer`; on failure writes the debug line naming
    // `name` (the row's own name when empty).
    bool SendRow(hid::CommandRow row, const hid::CommandDescriptor& descriptor,
                 std::span<std::uint8_t> buffer, std::string_view name = {});
    // Reads one input row; the reply is left in the record's input report buffer and must hold
    // at least `needed` bytes.
    bool ReceiveRow(hid::CommandRow row, std::span<std::uint8_t> buffer, std::size_t needed,
                    std::string_view name = {});
    bool ExchangeFailed(std::string_view name, std::string cause);
    std::string TransportCause() const;
    // Compares the chunk staged in the flash buffer with `expected`; false stops the burst.
    bool CompareChunk(std::span<const std::uint8_t> expected, std::uint32_t at,
                      const BurstOptions& options, bool& mismatch);
    std::span<std::uint8_t> ReplyBytes() { return record_.inputReportBuffer; }

    hid::HidPlatform& platform_;
    hid::HidMatchState match_;
    hid::HidDeviceRecord record_;
    std::uint32_t matchedIndex_ = hid::kNoMatchedIndex;
    bool open_ = false;
    std::vector<std::uint8_t> flashBuffer_;
    std::vector<std::uint8_t> rwBuffer_;
    std::vector<std::uint8_t> iicBuffer_;
    // Per thread, so that a command refused as busy on one thread never hides the cause of a
    // worker's failure on another.
    mutable std::mutex errorMutex_;
    std::map<std::thread::id, std::string> lastErrors_;
    // One request cycle at a time: the record's report buffers and the transfer buffers are
    // shared by every command.
    std::recursive_mutex exchangeMutex_;
};

}  // namespace brimlo
