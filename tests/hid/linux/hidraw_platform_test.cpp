// The hidraw stack against a fake kernel: listing and opening nodes, what an open reads and the
// errors a failed open gives; a connection's report exchanges, what reaches the wire, what
// comes back into the caller's buffer, and how failures read.

#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <malloc.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <numeric>

#include "allocation_counter.h"
#include "hid/debug_output.h"
#include "hid/hid_interface_list.h"
#include "hid/linux/hidraw_platform.h"

namespace brimlo::hid::testing {
namespace {

// Plays the kernel: nodes that open or refuse, and report ioctls that treat report ID 0 the way
// usbhid does. Every GET_REPORT is answered with `reply`.
class FakeHidrawSystem final : public HidrawSystem {
  public:
    struct Node {
        int openErrno = 0;
        std::int16_t vendor = 0;  // hidraw_devinfo keeps the identifiers signed
        std::int16_t product = 0;
        std::vector<std::uint8_t> descriptor{};
        int rawInfoErrno = 0;
        int descriptorErrno = 0;
        std::optional<UsbInterfaceInfo> usb{};
    };
    // A report ioctl as the device saw it; `capacity` is the usable size of the heap block
    // handed to the ioctl, `wLength` what a GET_REPORT asked the device for.
    struct Seen {
        std::size_t ioctlLength = 0;
        std::size_t capacity = 0;
        std::uint8_t reportId = 0;
        std::size_t wLength = 0;
        std::vector<std::uint8_t> wire;  // an output report's bytes on the wire
    };

    std::map<std::string, Node> nodes;
    std::optional<std::vector<HidrawNode>> listing = std::vector<HidrawNode>{};
    std::string listingError;
    std::vector<std::uint8_t> reply;
    std::deque<int> reportErrnos;  // errnos for the next report ioctls, one each
    bool recording = true;         // off when a test counts allocations

    std::vector<Seen> gets;
    std::vector<Seen> outputs;
    std::map<int, std::string> openFds;  // open descriptors and their paths
    int reportIoctls = 0;                // report ioctls issued, failed ones included

    int Open(const std::string& path, int /*flags*/) override {
        const auto node = nodes.find(path);
        if (node == nodes.end() || node->second.openErrno != 0) {
            return node == nodes.end() ? -ENOENT : -node->second.openErrno;
        }
        openFds[nextFd_] = path;
        return nextFd_++;
    }
    void Close(int fd) override { openFds.erase(fd); }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        const auto path = openFds.find(fd);
        if (path == openFds.end()) {
            return -EBADF;
        }
        const Node& node = nodes.at(path->second);
        if (request == HIDIOCGRAWINFO) {
            const hidraw_devinfo info{.bustype = 3, .vendor = node.vendor, .product = node.product};
            std::memcpy(argument, &info, sizeof info);
            return -node.rawInfoErrno;
        }
        if ((request == HIDIOCGRDESCSIZE || request == HIDIOCGRDESC) && node.descriptorErrno) {
            return -node.descriptorErrno;
        }
        if (request == HIDIOCGRDESCSIZE) {
            *static_cast<int*>(argument) = static_cast<int>(node.descriptor.size());
            return 0;
        }
        if (request == HIDIOCGRDESC) {
            auto* descriptor = static_cast<hidraw_report_descriptor*>(argument);
            std::copy_n(node.descriptor.begin(),
                        std::min<std::size_t>(descriptor->size, node.descriptor.size()),
                        descriptor->value);
            return 0;
        }
        return ReportIoctl(request, static_cast<std::uint8_t*>(argument));
    }
    std::optional<std::vector<HidrawNode>> ListNodes(std::string& error) override {
        error = listing ? "" : listingError;
        return listing;
    }
    std::optional<UsbInterfaceInfo> DescribeUsbInterface(const std::string& devnode) override {
        const auto node = nodes.find(devnode);
        return node == nodes.end() ? std::nullopt : node->second.usb;
    }

  private:
    int ReportIoctl(unsigned long request, std::uint8_t* buffer) {
        ++reportIoctls;
        if (!reportErrnos.empty()) {
            const int error = reportErrnos.front();
            reportErrnos.pop_front();
            if (error != 0) {
                return -error;
            }
        }
        const unsigned long kind = request & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT);
        const std::size_t count = _IOC_SIZE(request);
        const std::size_t capacity = malloc_usable_size(buffer);
        // A report-ID-0 device numbers no reports: usbhid leaves the leading 0 off the wire and
        // counts it in its result; a GET_REPORT asks for count - 1 bytes, stored at buf + 1.
        const std::size_t skipped = buffer[0] == 0 ? 1 : 0;
        if (kind == HIDIOCSOUTPUT(0)) {
            if (recording) {
                outputs.push_back(
                    {count, capacity, buffer[0], 0, {buffer + skipped, buffer + count}});
            }
            return static_cast<int>(count);
        }
        if (kind == HIDIOCGINPUT(0)) {
            const std::size_t sent = std::min(reply.size(), count - skipped);
            if (recording) {
                gets.push_back({count, capacity, buffer[0], count - skipped, {}});
            }
            std::copy_n(reply.begin(), sent, buffer + skipped);
            return static_cast<int>(sent == 0 ? 0 : sent + skipped);
        }
        return -ENOTTY;
    }

    int nextFd_ = 3;
};

// Installs itself as the debug sink for its lifetime.
class CapturedDebugOutput final : public DebugSink {
  public:
    CapturedDebugOutput() : previous_(SetDebugSink(this)) {}
    ~CapturedDebugOutput() override { SetDebugSink(previous_); }

    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::size_t LinesContaining(std::string_view text) const {
        return std::count_if(lines.begin(), lines.end(), [text](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    std::vector<std::string> lines;

  private:
    DebugSink* previous_;
};

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kPath = "/dev/hidraw3";
constexpr const char* kRule = "res/70-test.rules";

const char* ErrnoText(int error) {
    return std::strerror(error);
}

Bytes Pattern(std::size_t size, std::uint8_t first) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class HidrawConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        system_->nodes[kPath] = FakeHidrawSystem::Node{};
        std::string error;
        connection_ = HidrawPlatform(system_, "rules").Open(kPath, HidOpenOptions{}, error);
        ASSERT_NE(connection_, nullptr) << error;
    }

    CapturedDebugOutput debug_;  // keeps the failure lines off the test log
    std::shared_ptr<FakeHidrawSystem> system_ = std::make_shared<FakeHidrawSystem>();
    std::unique_ptr<HidConnection> connection_;
};

// The command code travels in wLength (L | code << 8); report ID 0 asks for one byte more so
// that wLength is still the requested length, and its reply is moved down to buffer[0]. The
// reply is cut to the caller's buffer, and the buffer beyond the reply stays untouched.
TEST_F(HidrawConnectionTest, InputReportAsksForTheRequestedLengthAndPlacesTheReply) {
    const std::uint32_t requested = 64 | (11 << 8);
    for (const std::uint8_t reportId : {7, 0}) {
        for (const std::size_t replySize :
             {std::size_t{0}, std::size_t{40}, std::size_t{requested}}) {
            SCOPED_TRACE("report ID " + std::to_string(reportId) + ", reply " +
                         std::to_string(replySize));
            system_->reply = Pattern(replySize, 0x10);
            Bytes buffer(64, 0xEE);
            const auto placed = connection_->GetInputReport(reportId, requested, buffer);

            ASSERT_EQ(placed, std::min<std::size_t>(replySize, 64)) << connection_->LastError();
            Bytes expected(system_->reply.begin(), system_->reply.begin() + *placed);
            expected.resize(64, 0xEE);
            EXPECT_EQ(buffer, expected);
            const auto& seen = system_->gets.back();
            EXPECT_EQ(seen.reportId, reportId);
            EXPECT_EQ(seen.ioctlLength, requested + (reportId == 0 ? 1 : 0));
            EXPECT_EQ(seen.wLength, requested);
            EXPECT_GE(seen.capacity, seen.ioctlLength);
        }
    }
}

TEST_F(HidrawConnectionTest, EveryByteOfAnOutputReportReachesTheWireWhateverTheReportId) {
    for (const std::uint8_t reportId : {0, 5}) {
        auto report = Pattern(64, 0x40);
        report[0] = reportId;
        ASSERT_TRUE(connection_->SendOutputReport(report)) << connection_->LastError();
        const auto& seen = system_->outputs.back();
        EXPECT_EQ(seen.wire, report) << "report ID " << int(reportId);
        EXPECT_EQ(seen.ioctlLength, reportId == 0 ? 65u : 64u);
        EXPECT_GE(seen.capacity, seen.ioctlLength);
    }
}

// The ioctl buffers grow for longer reports and are then reused: exchanges allocate nothing.
TEST_F(HidrawConnectionTest, BuffersGrowForLongerReportsOnlyAndAreThenReused) {
    system_->reply = Pattern(0xB41, 1);
    Bytes buffer(64);
    const auto report = Pattern(64, 1);
    ASSERT_TRUE(connection_->GetInputReport(2, 64, buffer));
    ASSERT_TRUE(connection_->GetInputReport(0, 0xB40, buffer));
    EXPECT_GE(system_->gets.back().capacity, 0xB41u);
    ASSERT_TRUE(connection_->SendOutputReport(report));

    system_->recording = false;
    const std::size_t before = AllocationCount();
    for (const std::uint32_t requested : {64u, 0x240u, 0xB40u, 0x3u}) {
        ASSERT_TRUE(connection_->GetInputReport(2, requested, buffer));
        ASSERT_TRUE(connection_->SendOutputReport(std::span(report).first(requested % 60 + 2)));
    }
    EXPECT_EQ(AllocationCount() - before, 0u);
}

// The ioctl's size field holds 16383 at most, report ID 0 needs one byte of it, and hidraw
// wants 2 bytes at least.
TEST_F(HidrawConnectionTest, LengthsBeyondTheIoctlSizeFieldAreRefusedUnsent) {
    Bytes buffer(64);
    EXPECT_FALSE(connection_->GetInputReport(2, 16384, buffer));
    EXPECT_NE(connection_->LastError().find("16383"), std::string::npos);
    EXPECT_FALSE(connection_->GetInputReport(0, 16383, buffer));
    EXPECT_FALSE(connection_->GetInputReport(2, 1, buffer));
    EXPECT_FALSE(connection_->SendOutputReport({}));
    EXPECT_NE(connection_->LastError().find("report ID"), std::string::npos);
    EXPECT_FALSE(connection_->SendOutputReport(Pattern(16384, 1)));
    auto idZero = Pattern(16383, 0);
    EXPECT_FALSE(connection_->SendOutputReport(idZero));
    EXPECT_EQ(system_->reportIoctls, 0);

    system_->reply = Pattern(4, 1);
    EXPECT_TRUE(connection_->GetInputReport(0, 16382, buffer)) << connection_->LastError();
    EXPECT_TRUE(connection_->GetInputReport(2, 16383, buffer)) << connection_->LastError();
    idZero.pop_back();
    EXPECT_TRUE(connection_->SendOutputReport(idZero)) << connection_->LastError();
}

TEST_F(HidrawConnectionTest, FailuresNameTheRequestAndTheCauseAndInterruptedCallsAreRetried) {
    const struct {
        int error;
        const char* cause;
    } cases[] = {{EPIPE, "stalled"},
                 {ENODEV, "gone"},
                 {ESHUTDOWN, "gone"},
                 {EIO, "gone"},
                 {ETIMEDOUT, "did not answer"}};
    for (const auto& c : cases) {
        CapturedDebugOutput debug;
        system_->reportErrnos = {c.error, c.error};
        Bytes buffer(8);
        EXPECT_FALSE(connection_->GetInputReport(2, 0x240, buffer));
        const std::string error = connection_->LastError();
        for (const char* part : {"HIDIOCGINPUT on", kPath, ErrnoText(c.error), c.cause}) {
            EXPECT_NE(error.find(part), std::string::npos) << part << " missing in: " << error;
        }
        EXPECT_EQ(debug.LinesContaining(error), 1u) << error;

        EXPECT_FALSE(connection_->SendOutputReport(Pattern(16, 3)));
        EXPECT_NE(connection_->LastError().find("HIDIOCSOUTPUT"), std::string::npos);
        EXPECT_NE(connection_->LastError().find(c.cause), std::string::npos);
    }

    // Interrupted calls are retried, and success clears the error.
    system_->reply = Pattern(8, 0x30);
    system_->reportErrnos = {EINTR, EINTR, 0, EINTR};
    const int before = system_->reportIoctls;
    Bytes buffer(8);
    EXPECT_EQ(connection_->GetInputReport(2, 8, buffer), 8u);
    EXPECT_EQ(buffer, system_->reply);
    EXPECT_EQ(connection_->LastError(), "");
    const auto report = Pattern(16, 3);
    EXPECT_TRUE(connection_->SendOutputReport(report)) << connection_->LastError();
    ASSERT_EQ(system_->outputs.size(), 1u);
    EXPECT_EQ(system_->outputs[0].wire, report);
    EXPECT_EQ(system_->reportIoctls - before, 5);
}

// The kernel sends output reports on the interface's interrupt OUT endpoint when there is one;
// each connection to such a node says once how to make them go to the control pipe instead.
TEST(HidrawInterruptOutTest, WarnsOncePerConnectionWhenOutputReportsBypassTheControlPipe) {
    for (const unsigned int endpoints : {1u, 0u}) {
        auto system = std::make_shared<FakeHidrawSystem>();
        system->nodes[kPath].usb = UsbInterfaceInfo{0x1209, 0x0001, 0x0100, endpoints};
        CapturedDebugOutput debug;
        for (unsigned int round = 0; round < 2; ++round) {
            std::string error;
            auto connection = HidrawPlatform(system, "rules").Open(kPath, {}, error);
            ASSERT_NE(connection, nullptr) << error;
            Bytes buffer(8);
            ASSERT_TRUE(connection->GetInputReport(1, 8, buffer));
            EXPECT_EQ(debug.LinesContaining("usbhid.quirks=0x1209:0x0001:0x40000"),
                      round * endpoints);
            ASSERT_TRUE(connection->SendOutputReport(Pattern(8, 1)));
            ASSERT_TRUE(connection->SendOutputReport(Pattern(8, 1)));
            EXPECT_EQ(debug.LinesContaining("usbhid.quirks=0x1209:0x0001:0x40000"),
                      (round + 1) * endpoints);
        }
    }
}

// The interface paths the platform lists, in order.
std::vector<std::string> ListedPaths(HidrawPlatform& platform) {
    std::string error;
    const auto set = platform.PresentInterfaces(error);
    EXPECT_NE(set, nullptr) << error;
    std::vector<std::string> paths;
    for (std::string path; set && set->InterfacePath(static_cast<std::uint32_t>(paths.size()),
                                                     path) == HidInterfaceSet::Status::Ok;) {
        paths.push_back(path);
    }
    return paths;
}

TEST(HidrawEnumerationTest, NodesAreWalkedInDeviceNumberOrderAndAFailedListingSaysWhy) {
    auto system = std::make_shared<FakeHidrawSystem>();
    system->listing = std::vector<HidrawNode>{{"/dev/hidraw10", 240, 10},
                                              {"/dev/hidraw2", 240, 2},
                                              {"/dev/hidraw0", 240, 0},
                                              {"/dev/hidraw1", 240, 1}};
    HidrawPlatform platform(system, kRule);
    std::string error;
    const std::vector<std::string> paths = ListedPaths(platform);
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw1", "/dev/hidraw2",
                                               "/dev/hidraw10"}));

    system->listing.reset();
    system->listingError = "udev_enumerate_scan_devices(hidraw) failed: Out of memory";
    EXPECT_EQ(platform.PresentInterfaces(error), nullptr);
    EXPECT_EQ(error, system->listingError);
}

// As on Windows, each top-level collection is an interface: a node with two is listed twice,
// each path opening the node with that collection's capabilities. A node that cannot be read
// while listing is listed once, so that opening it says why; the listing leaves nothing open.
TEST(HidrawEnumerationTest, EachTopLevelCollectionOfANodeIsAnInterfaceOfItsOwn) {
    auto system = std::make_shared<FakeHidrawSystem>();
    system->listing = std::vector<HidrawNode>{{"/dev/hidraw0", 240, 0}, {"/dev/hidraw1", 240, 1}};
    system->nodes["/dev/hidraw0"].descriptor = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x03,  // Mouse: 3 bytes in
        0x09, 0x30, 0x81, 0x02, 0xC0,                                //
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x95, 0x40,        // vendor: 64 bytes out
        0x09, 0x01, 0x91, 0x02, 0xC0};
    system->nodes["/dev/hidraw1"].descriptorErrno = EIO;
    HidrawPlatform platform(system, kRule);
    std::string error;
    const std::vector<std::string> paths = ListedPaths(platform);
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/hidraw0#col01", "/dev/hidraw0#col02",
                                               "/dev/hidraw1"}));
    EXPECT_TRUE(system->openFds.empty());

    const struct {
        std::string path;
        std::uint16_t usagePage;
        std::uint16_t inputLength;
        std::uint16_t outputLength;
    } expected[] = {{paths[0], 0x01, 4, 0}, {paths[1], 0xFF00, 0, 65}};
    for (const auto& e : expected) {
        auto connection = platform.Open(e.path, HidOpenOptions{}, error);
        ASSERT_NE(connection, nullptr) << e.path << ": " << error;
        HidPreparsedData data;
        ASSERT_TRUE(connection->GetCapabilities(data, error)) << e.path << ": " << error;
        EXPECT_EQ(data.caps.UsagePage, e.usagePage) << e.path;
        EXPECT_EQ(data.caps.InputReportByteLength, e.inputLength) << e.path;
        EXPECT_EQ(data.caps.OutputReportByteLength, e.outputLength) << e.path;
        EXPECT_EQ(data.linkCollections.size(), 1u) << e.path;
    }

    auto missing = platform.Open("/dev/hidraw0#col03", HidOpenOptions{}, error);
    ASSERT_NE(missing, nullptr) << error;
    HidPreparsedData data;
    EXPECT_FALSE(missing->GetCapabilities(data, error));
    EXPECT_NE(error.find("has 2 top-level collections, not 3"), std::string::npos) << error;
    EXPECT_EQ(HidrawPlatform::CollectionPath("/dev/hidraw12", 3), "/dev/hidraw12#col03");

    std::vector<HidInterfaceInfo> described;
    ASSERT_TRUE(DescribeHidInterfaces(platform, described, error)) << error;
    ASSERT_EQ(described.size(), 3u);
    EXPECT_EQ(described[0].usagePage, 0x01);
    EXPECT_EQ(described[1].usagePage, 0xFF00);
    EXPECT_EQ(described[1].outputReportLength, 65);
    EXPECT_FALSE(described[2].described);
    EXPECT_NE(described[2].error.find("HIDIOCGRDESCSIZE"), std::string::npos);
}

TEST(HidrawOpenTest, ReadsIdentifiersReleaseAndDescriptorAndClosesWithTheConnection) {
    auto system = std::make_shared<FakeHidrawSystem>();
    auto& node = system->nodes["/dev/hidraw1"];
    node.vendor = static_cast<std::int16_t>(0xF00D);  // above 0x7FFF: negative in the kernel
    node.product = 0x0001;
    node.descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    node.usb = UsbInterfaceInfo{0xF00D, 0x0001, 0x0102, 0};
    HidrawPlatform platform(system, kRule);
    std::string error;

    auto connection = platform.Open("/dev/hidraw1", HidOpenOptions{}, error);
    ASSERT_NE(connection, nullptr) << error;
    HiddAttributes attributes;
    ASSERT_TRUE(connection->GetAttributes(attributes));
    EXPECT_EQ(attributes.VendorID, 0xF00D);
    EXPECT_EQ(attributes.ProductID, 0x0001);
    EXPECT_EQ(attributes.VersionNumber, 0x0102);
    std::vector<std::uint8_t> descriptor;
    ASSERT_TRUE(connection->GetReportDescriptor(descriptor));
    EXPECT_EQ(descriptor, node.descriptor);

    EXPECT_EQ(system->openFds.size(), 1u);
    connection.reset();
    EXPECT_TRUE(system->openFds.empty());
}

// A failed open names the call and its cause and leaves nothing open; when permission is
// denied it also tells how to install the udev rule, and says so on the debug output; only a
// node another program holds reads as busy.
TEST(HidrawOpenTest, FailedOpensNameTheCallAndLeaveNothingOpen) {
    auto system = std::make_shared<FakeHidrawSystem>();
    const UsbInterfaceInfo usb{0x1209, 0x0001, 0x0100, 1};
    system->nodes["/dev/hidraw4"] = {.openErrno = EACCES, .usb = usb};
    system->nodes["/dev/hidraw7"] = {.openErrno = EPERM, .usb = usb};
    system->nodes["/dev/hidraw5"].rawInfoErrno = EIO;
    system->nodes["/dev/hidraw6"].descriptorErrno = ENODEV;
    system->nodes["/dev/hidraw8"] = {.openErrno = EBUSY, .usb = usb};
    HidrawPlatform platform(system, kRule);
    const struct {
        const char* path;
        const char* error;
        bool denied;
    } cases[] = {
        {"/dev/hidraw8", "open(/dev/hidraw8) failed: Device or resource busy", false},
        {"/dev/hidraw4", "open(/dev/hidraw4) failed: Permission denied (USB device 1209:0001)",
         true},
        {"/dev/hidraw7", "open(/dev/hidraw7) failed: Operation not permitted", true},
        {"/dev/hidraw9", "open(/dev/hidraw9) failed: No such file", false},
        {"/dev/hidraw5", "ioctl(HIDIOCGRAWINFO) on /dev/hidraw5 failed: Input/output", false},
        {"/dev/hidraw6", "ioctl(HIDIOCGRDESCSIZE) on /dev/hidraw6 failed: No such device", false}};
    for (const auto& c : cases) {
        CapturedDebugOutput debug;
        std::string error;
        EXPECT_EQ(platform.Open(c.path, HidOpenOptions{}, error), nullptr);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        for (const char* part : {kRule, "/etc/udev/rules.d/", "udevadm control --reload-rules",
                                 "udevadm trigger", "replug"}) {
            EXPECT_EQ(error.find(part) != std::string::npos, c.denied) << part << " in: " << error;
        }
        EXPECT_EQ(debug.LinesContaining(error), c.denied ? 1u : 0u);
        EXPECT_EQ(HeldElsewhere(error), std::string(c.path) == "/dev/hidraw8") << error;
    }
    EXPECT_TRUE(system->openFds.empty());
}

}  // namespace
}  // namespace brimlo::hid::testing
