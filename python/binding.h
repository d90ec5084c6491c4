#pragma once
// What the module's source files share: its errors, and the open board a Device holds.

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>

#include "commands/uvc_hid_device.h"
#include "hid/hid_platform.h"
#include "session/platform_stack.h"

namespace brimlo::python {

namespace py = pybind11;

// The exception classes under brimlo_hid.Error.
enum class ErrorKind { NotFound, Busy, Device, Compare, Image, Usage };

// Thrown by the binding's code; the module turns it into its exception class. `difference`
// becomes the attributes of a CompareError.
struct ModuleError {
    ErrorKind kind;
    std::string message;
    std::optional<CompareReport> difference;
};

// A device opened on a HID stack that other Devices with the same options share.
struct OpenBoard {
    std::shared_ptr<session::PlatformStack> stack;
    std::unique_ptr<hid::HidPlatform> chosen;  // the stack narrowed to the chosen board
    std::unique_ptr<UvcHidDevice> device;
};

class Device {
  public:
    explicit Device(std::shared_ptr<OpenBoard> board) : board_(std::move(board)) {}
    // The open board, kept alive for one call even if another thread closes the Device;
    // a UsageError once it is closed.
    std::shared_ptr<OpenBoard> Use() const;
    void Close() { board_.reset(); }
    bool Closed() const { return !board_; }

  private:
    std::shared_ptr<OpenBoard> board_;
};

// The device's last error as the exception of a failed `what`: BusyError while another
// thread holds the device, else DeviceError.
[[noreturn]] void ThrowDeviceError(const UvcHidDevice& device, const std::string& what);

void AddFlash(py::module_& module, py::class_<Device>& device);

}  // namespace brimlo::python
