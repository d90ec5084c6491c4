#include "hid/linux/setup_checks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

#include "hid/linux/hidraw_errors.h"
#include "hid/linux/sysfs_usb_interface.h"

namespace brimlo::hid {
namespace {

namespace fs = std::filesystem;

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream stream(file);
    std::string line;
    std::getline(stream, line);
    return line;
}

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string VidPid(const SetupCheckOptions& options) {
    return Hex4(options.vendorId) + ":" + Hex4(options.productId);
}

// sysfs "speed" in Mbit/s: "1.5", "12", "480", "5000"...
double ReadSpeed(const fs::path& deviceDir) {
    const std::string text = ReadFirstLine(deviceDir / "speed");
    double value = 0;
    std::istringstream(text) >> value;
    return value;
}

constexpr double kHighSpeed = 480;

SetupCheck CheckKernel(const SetupCheckOptions& options) {
    const std::string release = ReadFirstLine(options.root / "proc/sys/kernel/osrelease");
    SetupCheck check{"kernel", false, "", ""};
    if (release.empty()) {
        check.text = "cannot read the kernel release from /proc/sys/kernel/osrelease";
        check.fix = "run the tool on Linux with /proc mounted";
    } else if (KernelAtLeast(release, 5, 11)) {
        check.ok = true;
        check.text = "Linux " + release + " has the hidraw input and output report requests";
    } else {
        check.text = "Linux " + release +
                     " lacks the hidraw input and output report requests (they came with 5.11)";
        check.fix = "run Linux 5.11 or later (Debian 12 ships 6.1)";
    }
    return check;
}

// A non-comment line of the rule file naming both identifiers as udev compares them.
bool RuleMentions(const fs::path& rule, const SetupCheckOptions& options) {
    std::ifstream stream(rule);
    const std::string vendor = "ATTRS{idVendor}==\"" + Hex4(options.vendorId) + "\"";
    const std::string product = "ATTRS{idProduct}==\"" + Hex4(options.productId) + "\"";
    for (std::string line; std::getline(stream, line);) {
        const auto start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line[start] != '#' &&
            line.find(vendor) != std::string::npos && line.find(product) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string InstallRuleFix(const SetupCheckOptions& options) {
    std::string fix = "install the brimlo-hid-tool package";
    if (!options.buildRulePath.empty()) {
        fix += ", or run 'sudo cp " + options.buildRulePath +
               " /etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo udevadm "
               "trigger'";
    }
    return fix + ", then replug the device";
}

SetupCheck CheckRule(const SetupCheckOptions& options) {
    // udev reads a file name once, from the first of these folders that holds it.
    static const char* const kRuleDirs[] = {"etc/udev/rules.d", "run/udev/rules.d",
                                            "usr/lib/udev/rules.d", "lib/udev/rules.d"};
    SetupCheck check{"udev rule", false, "", ""};
    for (const char* dir : kRuleDirs) {
        const fs::path rule = options.root / dir / options.ruleFileName;
        std::error_code error;
        if (!fs::is_regular_file(rule, error)) {
            continue;
        }
        const std::string shown = "/" + std::string(dir) + "/" + options.ruleFileName;
        if (RuleMentions(rule, options)) {
            check.ok = true;
            check.text = shown + " grants access to " + VidPid(options);
        } else {
            check.text = shown + " does not name " + VidPid(options) +
                         " (a copy for other identifiers, and udev reads no other file of "
                         "this name)";
            check.fix = "replace it with the rule of this build: " + InstallRuleFix(options);
        }
        return check;
    }
    check.text = "no udev rule " + options.ruleFileName +
                 " in /etc/udev/rules.d or /usr/lib/udev/rules.d: only root may open the "
                 "device";
    check.fix = InstallRuleFix(options);
    return check;
}

struct DeviceNode {
    std::string name;  // "hidraw3"
    fs::path interfaceDir;
    fs::path deviceDir;
};

// The first directory from `start` up to the sysfs root holding `marker`.
std::optional<fs::path> AncestorWith(const fs::path& start, const fs::path& sysRoot,
                                     const char* marker) {
    std::error_code error;
    for (fs::path dir = start; dir != sysRoot && dir.has_relative_path(); dir = dir.parent_path()) {
        if (fs::exists(dir / marker, error)) {
            return dir;
        }
    }
    return std::nullopt;
}

// The hidraw nodes on a USB interface of the device, by name.
std::vector<DeviceNode> FindNodes(const SetupCheckOptions& options) {
    const fs::path sysRoot = options.root / "sys";
    std::error_code error;
    std::vector<DeviceNode> nodes;
    for (const auto& entry : fs::directory_iterator(sysRoot / "class/hidraw", error)) {
        const fs::path real = fs::canonical(entry.path(), error);
        if (error) {
            continue;
        }
        const auto interfaceDir = AncestorWith(real, sysRoot, "bInterfaceNumber");
        const auto deviceDir = AncestorWith(real, sysRoot, "idVendor");
        if (!interfaceDir || !deviceDir) {
            continue;  // not on USB
        }
        const auto info = ReadUsbInterfaceInfo(*interfaceDir, *deviceDir);
        if (info && info->idVendor == options.vendorId && info->idProduct == options.productId) {
            nodes.push_back({entry.path().filename().string(), *interfaceDir, *deviceDir});
        }
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const DeviceNode& a, const DeviceNode& b) { return a.name < b.name; });
    return nodes;
}

SetupCheck CheckAccess(const SetupCheckOptions& options, const DeviceNode& node,
                       bool ruleInstalled) {
    const std::string devnode = "/dev/" + node.name;
    SetupCheck check{"access", false, "", ""};
    std::error_code error;
    if (!fs::exists(options.root / "dev" / node.name, error)) {
        check.text = devnode + " is missing: udev did not make the node";
        check.fix = "start systemd-udevd (or replug the device once it runs)";
        return check;
    }
    const int refused = options.accessError ? options.accessError(options.root / "dev" / node.name)
                                            : NodeAccessError(options.root / "dev" / node.name);
    if (refused == 0) {
        check.ok = true;
        check.text = devnode + " is readable and writable by this user";
        return check;
    }
    check.text =
        devnode + " is not readable and writable by this user (" + ErrnoText(refused) + ")";
    check.fix = ruleInstalled
                    ? "replug the device so that the rule applies to it; the rule gives access to "
                      "the user logged in at the seat: on a station without one, use the group "
                      "alternative in the rule"
                    : "install the udev rule (see above), then replug the device";
    return check;
}

SetupCheck CheckOutputReports(const SetupCheckOptions& options, const DeviceNode& node) {
    const std::string devnode = "/dev/" + node.name;
    SetupCheck check{"output reports", true, "", ""};
    const auto info = ReadUsbInterfaceInfo(node.interfaceDir, node.deviceDir);
    if (!info || info->interruptOutEndpoints == 0) {
        check.text = devnode + ": no interrupt OUT endpoint, output reports go as SET_REPORT";
        return check;
    }
    const std::string quirks = ReadFirstLine(options.root / "sys/module/usbhid/parameters/quirks");
    if (HasNoInterruptOutputQuirk(quirks, options.vendorId, options.productId)) {
        check.text = devnode +
                     ": the interface has an interrupt OUT endpoint, and the usbhid quirk "
                     "0x40000 keeps output reports on SET_REPORT";
        return check;
    }
    char quirk[64];
    std::snprintf(quirk, sizeof quirk, "usbhid.quirks=0x%04x:0x%04x:0x40000", options.vendorId,
                  options.productId);
    check.ok = false;
    check.text = devnode +
                 ": the interface has an interrupt OUT endpoint, so the kernel sends output "
                 "reports on it instead of as SET_REPORT";
    check.fix = std::string("add ") + quirk + " to the kernel command line and reboot";
    return check;
}

bool HasHighSpeedPort(const SetupCheckOptions& options) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(options.root / "sys/bus/usb/devices", error)) {
        // Root hubs are "usb1", "usb2"...; their speed is the fastest their ports run.
        if (entry.path().filename().string().starts_with("usb") &&
            ReadSpeed(entry.path()) >= kHighSpeed) {
            return true;
        }
    }
    return false;
}

SetupCheck CheckSpeed(const SetupCheckOptions& options, const DeviceNode& node) {
    const std::string usbName = node.deviceDir.filename().string();
    const std::string speedText = ReadFirstLine(node.deviceDir / "speed");
    const double speed = ReadSpeed(node.deviceDir);
    SetupCheck check{"speed", true, "", ""};
    check.text = "USB device " + usbName + " runs at " + speedText + " Mbit/s";
    if (speed >= kHighSpeed || speedText.empty()) {
        return check;
    }
    if (!HasHighSpeedPort(options)) {
        check.text += "; this machine has no high-speed port";
        return check;
    }
    check.ok = false;
    check.text +=
        " (full speed) although this machine has high-speed ports: burns and dumps "
        "take many times longer";
    check.fix =
        "plug the board straight into a USB 2.0 or faster port, not through a USB 1.1 "
        "hub or extension";
    return check;
}

}  // namespace

bool KernelAtLeast(const std::string& release, int major, int minor) {
    int found[2] = {0, 0};
    const char* at = release.data();
    const char* end = release.data() + release.size();
    for (int i = 0; i < 2; ++i) {
        const auto [next, error] = std::from_chars(at, end, found[i]);
        if (error != std::errc()) {
            return false;
        }
        at = next;
        if (i == 0) {
            if (at == end || *at != '.') {
                return false;
            }
            ++at;
        }
    }
    return found[0] > major || (found[0] == major && found[1] >= minor);
}

bool HasNoInterruptOutputQuirk(const std::string& quirks, std::uint16_t vendorId,
                               std::uint16_t productId) {
    std::istringstream list(quirks);
    for (std::string entry; std::getline(list, entry, ',');) {
        unsigned int vendor = 0;
        unsigned int product = 0;
        unsigned int flags = 0;
        // The kernel reads each entry with the same pattern.
        if (std::sscanf(entry.c_str(), " 0x%x:0x%x:0x%x", &vendor, &product, &flags) == 3 &&
            vendor == vendorId && product == productId && (flags & 0x40000) != 0) {
            return true;
        }
    }
    return false;
}

int NodeAccessError(const std::filesystem::path& node) {
    return ::access(node.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
}

std::vector<SetupCheck> CheckSetup(const SetupCheckOptions& options) {
    std::vector<SetupCheck> checks{CheckKernel(options), CheckRule(options)};
    const bool ruleInstalled = checks.back().ok;
    const std::vector<DeviceNode> nodes = FindNodes(options);
    if (nodes.empty()) {
        checks.push_back({"device", false,
                          "no hidraw node of a USB device " + VidPid(options) +
                              ": the device checks need the board",
                          "plug the board in ('brimlo-hid list' shows the HID interfaces there "
                          "are)"});
        return checks;
    }
    std::map<fs::path, bool> speedChecked;
    for (const DeviceNode& node : nodes) {
        checks.push_back(CheckAccess(options, node, ruleInstalled));
        checks.push_back(CheckOutputReports(options, node));
        if (!speedChecked[node.deviceDir]) {
            speedChecked[node.deviceDir] = true;
            checks.push_back(CheckSpeed(options, node));
        }
    }
    return checks;
}

}  // namespace brimlo::hid
