#pragma once
// What a HID stack must offer the enumeration: the present interfaces in a stable order, and
// opening one of them into a connection that reads its identity and exchanges reports.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hid/hid_caps.h"
#include "hid/transport.h"

namespace brimlo::hid {

struct HiddAttributes {
    std::uint32_t Size = sizeof(HiddAttributes);
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

struct HidOpenOptions {
    bool readAccess = false;
    bool writeAccess = false;
    bool overlapped = false;
    bool exclusive = false;
};

// An open interface. Report exchanges go through the Transport half.
class HidConnection : public Transport {
  public:
    virtual bool GetAttributes(HiddAttributes& attributes) = 0;
    virtual bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) = 0;
    // The interface's capabilities, or false with `error` saying why. By default they are parsed
    // from the report descriptor; a stack that hands out no descriptor gives its own parser's.
    virtual bool GetCapabilities(HidPreparsedData& data, std::string& error);
    // Which top-level collection of the descriptor this interface is (0 for the first): a stack
    // that lists each collection of a descriptor as an interface of its own says so here.
    void SelectTopLevelCollection(std::size_t collection) { topLevelCollection_ = collection; }

  private:
    std::size_t topLevelCollection_ = 0;
};

// A snapshot of the present interfaces, walked by index.
class HidInterfaceSet {
  public:
    enum class Status { Ok, NoMoreItems, Failed };
    virtual ~HidInterfaceSet() = default;
    // Path of the interface at `index`; NoMoreItems past the last one; Failed for an interface
    // that cannot be described (the walk skips it).
    virtual Status InterfacePath(std::uint32_t index, std::string& path) = 0;
};

// Where a board sits: the USB port path ("1-1.2": bus, then the port on each hub down to it),
// stable for a given socket, and the serial number; either is empty when not known.
struct BoardLocation {
    std::string port;
    std::string serial;
};

// How the error of an open ends when another program or process holds the interface (a node
// that is busy, the emulated board's state directory locked elsewhere): a front end can then
// say "busy, try later" rather than "not there".
inline constexpr std::string_view kHeldElsewhere = "; try again when it has finished";
inline bool HeldElsewhere(std::string_view error) {
    return error.ends_with(kHeldElsewhere);
}

class HidPlatform {
  public:
    virtual ~HidPlatform() = default;
    // Where the interface at `path` sits; nothing known by default.
    virtual BoardLocation Locate(const std::string& /*path*/) { return {}; }
    // The present interfaces, or null when the stack refuses to list them (`error` says why).
    virtual std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) = 0;
    // Opens one interface, or null with `error` naming the path and the cause.
    virtual std::unique_ptr<HidConnection> Open(const std::string& path,
                                                const HidOpenOptions& options,
                                                std::string& error) = 0;
};

}  // namespace brimlo::hid
