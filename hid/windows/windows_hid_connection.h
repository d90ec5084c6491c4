#pragma once
// One HID interface opened with CreateFileW, exchanging reports through hid.dll.

#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

class WindowsHidConnection final : public HidConnection {
  public:
    // Takes ownership of `handle`.
    WindowsHidConnection(const WinHidApi& api, HANDLE handle, std::string path);
    ~WindowsHidConnection() override;
    WindowsHidConnection(const WindowsHidConnection&) = delete;
    WindowsHidConnection& operator=(const WindowsHidConnection&) = delete;

    bool SendOutputReport(std::span<const std::uint8_t> report) override;
    // The buffer handed to HidD_GetInputReport is `requestedLength` bytes long, so the length
    // asked of the device carries the command code exactly as on every other stack.
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override;
    std::string LastError() const override { return lastError_; }
    bool GetAttributes(HiddAttributes& attributes) override;
    // Windows gives applications no report descriptor.
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override;
    bool GetCapabilities(HidPreparsedData& data, std::string& error) override;

  private:
    bool Fail(std::string text);
    std::string Describe(const char* call, std::uint8_t reportId, std::size_t length) const;

    const WinHidApi& api_;
    HANDLE handle_;
    std::string path_;
    std::string lastError_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace brimlo::hid
