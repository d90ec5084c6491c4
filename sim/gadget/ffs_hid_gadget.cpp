// brimlo-hid-gadget: the emulated device as a USB HID function on a FunctionFS mount, so that
// the host side of the kernel (usbhid, hidraw) talks to it over a real USB stack.
//
//   brimlo-hid-gadget --ids --state DIR
//       prints the device's vendor ID, product ID and bcdDevice as hex numbers, then the size
//       of its flash chip in bytes
//   brimlo-hid-gadget --ffs MOUNT --state DIR [--wire-log FILE] [--echo-report-id-0]
//       writes the descriptors to MOUNT/ep0 and answers the control requests until the file
//       system goes away; FILE gets one JSON line per event and control request. With
//       --echo-report-id-0 the gadget itself answers report ID 0 (which the emulated device
//       lacks) by sending back the last bytes a SET_REPORT of ID 0 carried, so that a probe can
//       see what the host stack puts on the wire and where it places a reply.
//
// Once the descriptors are written MOUNT/ep1 appears, and the gadget can be bound to a UDC.

#include <endian.h>
#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/sim_connection.h"
#include "sim/sim_device.h"
#include "sim/gadget/ffs_descriptors.h"
#include "sim/gadget/hid_gadget_requests.h"

namespace {

using brimlo::kernel_test::HidGadgetRequests;
using brimlo::kernel_test::SetupDecision;
using brimlo::kernel_test::SetupPacket;

struct Options {
    std::string ffsDir;
    std::string stateDir;
    std::string wireLog;
    bool ids = false;
    bool echoReportIdZero = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--ids") {
            options.ids = true;
        } else if (arg == "--echo-report-id-0") {
            options.echoReportIdZero = true;
        } else if (arg == "--ffs" && hasValue) {
            options.ffsDir = argv[++i];
        } else if (arg == "--state" && hasValue) {
            options.stateDir = argv[++i];
        } else if (arg == "--wire-log" && hasValue) {
            options.wireLog = argv[++i];
        } else {
            return false;
        }
    }
    return !options.stateDir.empty() && (options.ids || !options.ffsDir.empty());
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

// One JSON line per event, flushed at once so that a reader sees every request that happened
// before the line count it takes.
class WireLog {
  public:
    explicit WireLog(const std::string& path) {
        if (!path.empty()) {
            file_ = std::fopen(path.c_str(), "w");
        }
    }
    ~WireLog() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    bool Failed(const std::string& path) const { return !path.empty() && file_ == nullptr; }

    void Write(const nlohmann::json& line) {
        if (file_ == nullptr) {
            return;
        }
        const std::string text = line.dump() + "\n";
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fflush(file_);
    }

  private:
    std::FILE* file_ = nullptr;
};

bool WriteAll(int fd, const std::vector<std::uint8_t>& blob, const char* what) {
    const ssize_t written = ::write(fd, blob.data(), blob.size());
    if (written != static_cast<ssize_t>(blob.size())) {
        std::fprintf(stderr, "brimlo-hid-gadget: writing the %s to ep0 failed: %s\n", what,
                     written < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}

const char* EventName(std::uint8_t type) {
    switch (type) {
        case FUNCTIONFS_BIND:
            return "bind";
        case FUNCTIONFS_UNBIND:
            return "unbind";
        case FUNCTIONFS_ENABLE:
            return "enable";
        case FUNCTIONFS_DISABLE:
            return "disable";
        case FUNCTIONFS_SETUP:
            return "setup";
        case FUNCTIONFS_SUSPEND:
            return "suspend";
        case FUNCTIONFS_RESUME:
            return "resume";
        default:
            return "unknown";
    }
}

// A read or write on ep0 in the direction opposite to the request's stalls it; FunctionFS
// then fails the call with EL2HLT.
bool StallEp0(int ep0, const SetupPacket& setup) {
    std::uint8_t dummy = 0;
    const ssize_t result = setup.DirectionIn() ? ::read(ep0, &dummy, 0) : ::write(ep0, &dummy, 0);
    return result < 0 && errno == EL2HLT;
}

// Answers one setup packet. Returns the wire-log line.
nlohmann::json AnswerSetup(int ep0, HidGadgetRequests& requests, const SetupPacket& setup) {
    nlohmann::json line = {{"event", "setup"},         {"request_type", setup.requestType},
                           {"request", setup.request}, {"value", setup.value},
                           {"index", setup.index},     {"length", setup.length}};
    SetupDecision decision = requests.Setup(setup);
    line["note"] = decision.note;
    std::uint8_t dummy = 0;
    ssize_t result = 0;
    switch (decision.action) {
        case SetupDecision::Action::kSend:
            result = ::write(ep0, decision.data.data(), decision.data.size());
            line["action"] = "send";
            line["data"] = Hex(decision.data.data(), decision.data.size());
            break;
        case SetupDecision::Action::kAcknowledge:
            result = ::read(ep0, &dummy, 0);
            line["action"] = "acknowledge";
            break;
        case SetupDecision::Action::kReceive: {
            std::vector<std::uint8_t> data(setup.length);
            result = ::read(ep0, data.data(), data.size());
            line["action"] = "receive";
            if (result >= 0) {
                data.resize(static_cast<std::size_t>(result));
                line["data"] = Hex(data.data(), data.size());
                line["note"] = requests.Received(setup, data);
            }
            break;
        }
        case SetupDecision::Action::kStall:
            line["action"] = "stall";
            if (!StallEp0(ep0, setup)) {
                line["stall_error"] = std::strerror(errno);
            }
            return line;
    }
    if (result < 0) {
        // EIDRM: a newer setup packet cancelled this one; the host has given up on it and the
        // next event read brings the new one.
        line["error"] = errno == EIDRM ? "cancelled by a newer request (EIDRM)"
                                       : std::string(std::strerror(errno));
    }
    return line;
}

int Serve(const Options& options) {
    std::string error;
    const std::shared_ptr<brimlo::sim::SimDevice> device =
        brimlo::sim::SimDevice::Load(options.stateDir, error);
    if (!device) {
        std::fprintf(stderr, "brimlo-hid-gadget: %s\n", error.c_str());
        return 1;
    }
    const brimlo::sim::SimConfig& config = device->Config();
    std::vector<std::uint16_t> outputLengths(256, 0);
    for (std::size_t channel = 0; channel < config.reportIds.size(); ++channel) {
        outputLengths[config.reportIds[channel]] = config.outputReportLengths[channel];
    }
    const std::size_t largestInput =
        *std::max_element(config.inputReportLengths.begin(), config.inputReportLengths.end());
    brimlo::sim::SimConnection connection(device);
    const std::vector<std::uint8_t>& descriptor = device->ReportDescriptor();
    HidGadgetRequests requests(connection, descriptor, outputLengths, largestInput);
    if (options.echoReportIdZero) {
        requests.EchoReportIdZero();
    }

    WireLog wire(options.wireLog);
    if (wire.Failed(options.wireLog)) {
        std::fprintf(stderr, "brimlo-hid-gadget: cannot write %s: %s\n", options.wireLog.c_str(),
                     std::strerror(errno));
        return 1;
    }

    const std::string ep0Path = options.ffsDir + "/ep0";
    const int ep0 = ::open(ep0Path.c_str(), O_RDWR | O_CLOEXEC);
    if (ep0 < 0) {
        std::fprintf(stderr, "brimlo-hid-gadget: open(%s) failed: %s\n", ep0Path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!WriteAll(ep0,
                  brimlo::kernel_test::BuildFunctionFsDescriptors(
                      static_cast<std::uint16_t>(descriptor.size())),
                  "descriptors") ||
        !WriteAll(ep0, brimlo::kernel_test::BuildFunctionFsStrings(), "strings")) {
        ::close(ep0);
        return 1;
    }
    std::fprintf(stderr, "brimlo-hid-gadget: descriptors written, report descriptor %zu bytes\n",
                 descriptor.size());

    for (;;) {
        // One event per read: a setup packet must be answered before the next read, or that
        // read would be taken as its data stage.
        usb_functionfs_event event{};
        const ssize_t got = ::read(ep0, &event, sizeof event);
        if (got < 0) {
            if (errno == EINTR || errno == EIDRM || errno == EAGAIN) {
                continue;
            }
            if (errno == ENODEV || errno == EBADF) {
                std::fprintf(stderr, "brimlo-hid-gadget: ep0 is gone: %s\n", std::strerror(errno));
                break;
            }
            wire.Write({{"event", "read_error"}, {"error", std::strerror(errno)}});
            ::usleep(10000);
            continue;
        }
        if (got != static_cast<ssize_t>(sizeof event)) {
            wire.Write({{"event", "short_read"}, {"bytes", got}});
            continue;
        }
        if (event.type != FUNCTIONFS_SETUP) {
            wire.Write({{"event", EventName(event.type)}});
            continue;
        }
        const usb_ctrlrequest& raw = event.u.setup;
        SetupPacket setup;
        setup.requestType = raw.bRequestType;
        setup.request = raw.bRequest;
        setup.value = le16toh(raw.wValue);
        setup.index = le16toh(raw.wIndex);
        setup.length = le16toh(raw.wLength);
        wire.Write(AnswerSetup(ep0, requests, setup));
    }
    ::close(ep0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: brimlo-hid-gadget --ids --state DIR\n"
                     "       brimlo-hid-gadget --ffs MOUNT --state DIR [--wire-log FILE] "
                     "[--echo-report-id-0]\n");
        return 2;
    }
    if (options.ids) {
        std::string error;
        const auto device = brimlo::sim::SimDevice::Load(options.stateDir, error);
        if (!device) {
            std::fprintf(stderr, "brimlo-hid-gadget: %s\n", error.c_str());
            return 1;
        }
        const brimlo::sim::SimConfig& config = device->Config();
        std::printf("0x%04x 0x%04x 0x%04x %u\n", config.vid, config.pid, config.version,
                    brimlo::sim::SimFlashSize(config));
        return 0;
    }
    return Serve(options);
}
