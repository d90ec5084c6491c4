// The HID function's control-request rules, on the host, against a scripted device and against
// the emulated device itself.

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "sim/gadget/ffs_descriptors.h"
#include "sim/gadget/hid_gadget_requests.h"
#include "sim/sim_connection.h"
#include "sim/sim_device.h"

namespace brimlo::kernel_test {
namespace {

using Action = SetupDecision::Action;
using Bytes = std::vector<std::uint8_t>;

// Records what reaches the device and answers input reads from a queue.
class ScriptedDevice final : public hid::Transport {
  public:
    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        outputs.emplace_back(report.begin(), report.end());
        lastError = acceptOutput ? "" : "refused by script";
        return acceptOutput;
    }
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override {
        reads.push_back({reportId, requestedLength, buffer.size()});
        if (replies.empty()) {
            lastError = "no reply scripted";
            return std::nullopt;
        }
        const Bytes reply = replies.front();
        replies.pop_front();
        std::copy_n(reply.begin(), std::min(reply.size(), buffer.size()), buffer.begin());
        return std::min(reply.size(), buffer.size());
    }
    std::string LastError() const override { return lastError; }

    std::vector<Bytes> outputs;
    std::vector<std::tuple<int, std::uint32_t, std::size_t>> reads;  // ID, wLength, buffer
    std::deque<Bytes> replies;
    bool acceptOutput = true;
    std::string lastError;
};

class HidGadgetRequestsTest : public ::testing::Test {
  protected:
    Bytes descriptor{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    ScriptedDevice device;
    // Output reports 1 (1024 bytes), 2 and 3 (64 bytes each).
    HidGadgetRequests requests{device, descriptor, {0, 1024, 64, 64}, 1024};
};

// The descriptors go out cut to wLength; the HID class descriptor names the report
// descriptor's length little-endian.
TEST_F(HidGadgetRequestsTest, DescriptorsAreSentCutToWLength) {
    struct Case {
        std::uint16_t value, length;
        Bytes sent;
    };
    for (const Case& c : {Case{0x2200, 255, descriptor}, Case{0x2200, 3, {0x06, 0x00, 0xFF}},
                          Case{0x2100, 9, {9, 0x21, 0x11, 0x01, 0, 1, 0x22, 8, 0}}}) {
        const SetupDecision decision = requests.Setup({0x81, 0x06, c.value, 0, c.length});
        EXPECT_EQ(decision.action, Action::kSend) << c.value;
        EXPECT_EQ(decision.data, c.sent) << c.value;
    }
}

// SET_IDLE without a data stage is acknowledged; every request the function cannot serve
// stalls before its data stage. None of them reaches the device.
TEST_F(HidGadgetRequestsTest, SetIdleIsAcknowledgedAndWhatCannotBeServedStalls) {
    EXPECT_EQ(requests.Setup({0x21, 0x0A, 0, 0, 0}).action, Action::kAcknowledge);
    const SetupPacket stalled[] = {
        {0x81, 0x06, 0x2300, 0, 9},   // unknown descriptor type
        {0x81, 0x06, 0x2201, 0, 9},   // descriptor index 1
        {0xA1, 0x03, 0, 0, 1},        // GET_PROTOCOL
        {0x21, 0x0B, 0, 0, 0},        // SET_PROTOCOL
        {0xA1, 0x02, 0, 0, 1},        // GET_IDLE
        {0x21, 0x0A, 0, 0, 1},        // SET_IDLE with a data stage
        {0xA1, 0x01, 0x0302, 0, 64},  // GET_REPORT(Feature)
        {0x21, 0x09, 0x0202, 0, 63},  // SET_REPORT one byte short
        {0x21, 0x09, 0x0209, 0, 64},  // no output report 9
        {0x21, 0x09, 0x0302, 0, 64},  // SET_REPORT(Feature)
        {0x21, 0x09, 0x0200, 0, 64},  // report ID 0 without the echo
    };
    for (const SetupPacket& setup : stalled) {
        EXPECT_EQ(requests.Setup(setup).action, Action::kStall) << std::hex << setup.value;
    }
    EXPECT_TRUE(device.outputs.empty());
    EXPECT_TRUE(device.reads.empty());
}

// GET_REPORT(Input) asks the device for the report ID with wLength as the requested length,
// and sends the reply from byte 0, no more than wLength; a refused read stalls.
TEST_F(HidGadgetRequestsTest, GetReportPassesIdAndWLengthAndSendsNoMoreThanWLength) {
    Bytes reply(64, 0x5A);
    reply[0] = 0x11;
    device.replies = {reply, reply};
    EXPECT_EQ(requests.Setup({0xA1, 0x01, 0x0102, 0, 0x0240}).data, reply);
    EXPECT_EQ(requests.Setup({0xA1, 0x01, 0x0102, 0, 10}).data,
              Bytes(reply.begin(), reply.begin() + 10));
    const SetupDecision refused = requests.Setup({0xA1, 0x01, 0x0100, 0, 64});
    EXPECT_EQ(refused.action, Action::kStall);
    EXPECT_NE(refused.note.find("no reply scripted"), std::string::npos) << refused.note;

    // Without the echo, report ID 0 goes to the device too.
    EXPECT_EQ(device.reads, (std::vector<std::tuple<int, std::uint32_t, std::size_t>>{
                                {2, 0x0240, 1024}, {2, 10, 1024}, {0, 64, 1024}}));
}

// The wire bytes of a SET_REPORT go on unchanged; a refusal after the data stage, by the
// device or for data that does not start with the ID, cannot stall any more and is counted.
TEST_F(HidGadgetRequestsTest, SetReportHandsTheWireBytesOnAndCountsLateRefusals) {
    const SetupPacket setup{0x21, 0x09, 0x0202, 0, 64};
    ASSERT_EQ(requests.Setup(setup).action, Action::kReceive);
    Bytes wire = {2, 6, 1};
    wire.resize(64);
    requests.Received(setup, wire);
    ASSERT_EQ(device.outputs, std::vector<Bytes>{wire});
    EXPECT_EQ(requests.RefusedAfterData(), 0u);

    device.acceptOutput = false;
    EXPECT_NE(requests.Received(setup, wire).find("refused by script"), std::string::npos);
    EXPECT_EQ(requests.RefusedAfterData(), 1u);
    device.acceptOutput = true;
    wire[0] = 3;  // not the ID the setup packet named
    requests.Received(setup, wire);
    EXPECT_EQ(requests.RefusedAfterData(), 2u);
    EXPECT_EQ(device.outputs.size(), 2u);
}

TEST_F(HidGadgetRequestsTest, EchoSendsBackWhatTheLastReportIdZeroCarriedCutToWLength) {
    requests.EchoReportIdZero();
    const SetupPacket set{0x21, 0x09, 0x0200, 0, 5};
    ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
    const Bytes kept = {0x00, 0x0A, 0x0B, 0x0C, 0x0D};
    requests.Received(set, kept);
    EXPECT_EQ(requests.Setup({0xA1, 0x01, 0x0100, 0, 64}).data, kept);
    EXPECT_EQ(requests.Setup({0xA1, 0x01, 0x0100, 0, 2}).data, (Bytes{0x00, 0x0A}));
    EXPECT_TRUE(device.outputs.empty());
    EXPECT_TRUE(device.reads.empty());
    device.replies.push_back(Bytes(64, 0x44));  // other report IDs still go to the device
    EXPECT_EQ(requests.Setup({0xA1, 0x01, 0x0102, 0, 64}).data, Bytes(64, 0x44));
}

// An output report without an ID travels without the ID byte, which is put back in front for
// the device.
TEST(HidGadgetRequestsIdZeroTest, ReportWithoutIdGetsItsIdBytePutInFront) {
    ScriptedDevice device;
    HidGadgetRequests requests(device, {}, {4}, 64);
    EXPECT_EQ(requests.Setup({0x21, 0x09, 0x0200, 0, 4}).action, Action::kStall);
    const SetupPacket set{0x21, 0x09, 0x0200, 0, 3};
    ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
    requests.Received(set, Bytes{0x0A, 0x00, 0x01});
    EXPECT_EQ(device.outputs, (std::vector<Bytes>{{0x00, 0x0A, 0x00, 0x01}}));
}

// Header of five little-endian words (magic V2, length, full- and high-speed flags, the two
// counts), then interface, HID class and interrupt IN endpoint descriptors for each speed.
TEST(FunctionFsDescriptorsTest, BlobIsWhatFunctionFsParses) {
    Bytes expected = {3, 0, 0, 0, 70, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0};
    for (std::uint8_t interval : {10, 4}) {                            // full speed, high speed
        expected.insert(expected.end(), {9, 4, 0, 0, 1, 3, 0, 0, 0});  // interface, class HID
        expected.insert(expected.end(), {9, 0x21, 0x11, 0x01, 0, 1, 0x22, 0x34, 0x12});
        expected.insert(expected.end(), {7, 5, 0x81, 3, 64, 0, interval});  // interrupt IN
    }
    EXPECT_EQ(BuildFunctionFsDescriptors(0x1234), expected);
    EXPECT_EQ(BuildFunctionFsStrings(), (Bytes{2, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// In front of the emulated device: a register write and its read-back through the control
// pipe, REPORT_REG_READ with its command code 2 in wLength's high byte.
TEST(HidGadgetWithEmulatedDeviceTest, RegisterWriteAndReadBackThroughControlRequests) {
    const sim::SimConfig config;
    std::string error;
    auto device = sim::SimDevice::Create(config, error);
    ASSERT_NE(device, nullptr) << error;
    sim::SimConnection connection(device);
    std::vector<std::uint16_t> lengths(256, 0);
    for (std::size_t c = 0; c < config.reportIds.size(); ++c) {
        lengths[config.reportIds[c]] = config.outputReportLengths[c];
    }
    HidGadgetRequests requests(connection, device->ReportDescriptor(), lengths, 4100);
    const std::uint8_t id = config.reportIds[1];
    const auto len = static_cast<std::uint16_t>(config.outputReportLengths[1]);
    const SetupPacket set{0x21, 0x09, static_cast<std::uint16_t>(0x0200 | id), 0, len};
    // REPORT_REG_WRITE of 0xCAFEF00D to 0x1000, then REPORT_REG_WRITE_ADDR 0x1000.
    for (Bytes head : {Bytes{id, 10, 0, 0x00, 0x10, 0, 0, 0x0D, 0xF0, 0xFE, 0xCA},
                       Bytes{id, 6, 1, 0x00, 0x10}}) {
        head.resize(len, 0);
        ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
        requests.Received(set, head);
    }
    const auto inLength = static_cast<std::uint16_t>(config.inputReportLengths[1] | 0x0200);
    SetupDecision read =
        requests.Setup({0xA1, 0x01, static_cast<std::uint16_t>(0x0100 | id), 0, inLength});
    ASSERT_EQ(read.action, Action::kSend) << read.note;
    read.data.resize(4);
    EXPECT_EQ(read.data, (Bytes{0x0D, 0xF0, 0xFE, 0xCA}));
    EXPECT_EQ(requests.RefusedAfterData(), 0u);
}

}  // namespace
}  // namespace brimlo::kernel_test
