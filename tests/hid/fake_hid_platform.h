#pragma once
// A scripted HID stack for tests: a fixed list of interfaces, connections that record every
// report sent and answer input reads from a queue.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace brimlo::hid::testing {

// A vendor-defined descriptor with one value capability per channel and direction: channel i
// uses report ID ids[i] and reports of lengths[i] bytes (report ID byte included).
std::vector<std::uint8_t> VendorDescriptor(const std::vector<std::uint8_t>& ids,
                                           const std::vector<std::uint16_t>& outputLengths,
                                           const std::vector<std::uint16_t>& inputLengths);

struct FakeInterface {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::vector<std::uint8_t> descriptor;
    bool describeFails = false;  // the set cannot give its path
    bool openFails = false;      // e.g. permission denied
    bool heldElsewhere = false;  // with openFails: another program holds it
};

struct ExchangeLog {
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::pair<std::uint8_t, std::uint32_t>> reads;  // report ID, requested length
    std::deque<std::vector<std::uint8_t>> replies;
    bool unplugged = false;
};

class FakeConnection final : public HidConnection {
  public:
    FakeConnection(const FakeInterface& iface, ExchangeLog& log) : iface_(iface), log_(log) {}
    bool SendOutputReport(std::span<const std::uint8_t> report) override;
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override;
    std::string LastError() const override { return log_.unplugged ? "device gone" : ""; }
    bool GetAttributes(HiddAttributes& attributes) override;
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override;

  private:
    FakeInterface iface_;
    ExchangeLog& log_;
};

class FakeHidPlatform final : public HidPlatform {
  public:
    std::vector<FakeInterface> interfaces;
    bool refuseListing = false;
    std::vector<std::string> opened;  // paths, in the order Open was called
    ExchangeLog log;

    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenOptions& options,
                                        std::string& error) override;
};

}  // namespace brimlo::hid::testing
