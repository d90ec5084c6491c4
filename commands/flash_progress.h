#pragma once
// How flash bursts tell a front end what they are doing, and where a dump's chunks go.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brimlo {

inline constexpr std::string_view kStatusWrite = "Status: Write";
inline constexpr std::string_view kStatusCompare = "Status: Compare";
inline constexpr std::string_view kStatusRead = "Status: Read";
inline constexpr std::string_view kStatusWait = "Status: Wait";

// Called from the thread that runs the burst, once per chunk at most; implementations must
// not block on the user interface.
class FlashProgress {
  public:
    virtual ~FlashProgress() = default;
    // The region the next bursts move, by its control's caption ("Entire Flash", "Firmware",
    // "Private Data", "Customized Data"); the view lasts only for the call.
    virtual void RegionStarted(std::string_view /*region*/) {}
    virtual void StatusChanged(std::string_view status) = 0;
    // A burst of `total` bytes starts; progress counts from 0.
    virtual void BurstStarted(std::uint32_t total) = 0;
    virtual void BytesDone(std::uint32_t done) = 0;
};

// Receives the chunks a read burst takes from the flash, in order.
class FlashChunkSink {
  public:
    virtual ~FlashChunkSink() = default;
    // Returns the number of bytes stored; fewer than given stops the burst.
    virtual std::size_t Write(std::span<const std::uint8_t> chunk) = 0;
    // Why the last Write stored less than it was given, naming where the bytes were going;
    // empty when it did not say.
    virtual std::string WriteError() const { return {}; }
};

}  // namespace brimlo
