// The HID function's control-request rules, on the host, against a scripted device and against
// the emulated device itself.

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_connection.h"
#include "sim/sim_device.h"
#include "sim/gadget/ffs_descriptors.h"
#include "sim/gadget/hid_gadget_requests.h"

namespace brimlo::kernel_test {
namespace {

using Action = SetupDecision::Action;
using Bytes = std::vector<std::uint8_t>;

// Records what reaches the device and answers input reads from a queue.
class ScriptedDevice final : public hid::Transport {
  public:
    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        outputs.emplace_back(report.begin(), report.end());
        if (!acceptOutput) {
            lastError = "refused by script";
        }
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
        const std::size_t placed = std::min(reply.size(), buffer.size());
        std::copy_n(reply.begin(), placed, buffer.begin());
        return placed;
    }
    std::string LastError() const override { return lastError; }

    struct Read {
        std::uint8_t reportId;
        std::uint32_t requestedLength;
        std::size_t bufferSize;
    };
    std::vector<Bytes> outputs;
    std::vector<Read> reads;
    std::deque<Bytes> replies;
    bool acceptOutput = true;
    std::string lastError;
};

std::vector<std::uint16_t> Lengths(std::initializer_list<std::pair<int, int>> idAndLength) {
    std::vector<std::uint16_t> lengths(256, 0);
    for (const auto& [id, length] : idAndLength) {
        lengths[static_cast<std::size_t>(id)] = static_cast<std::uint16_t>(length);
    }
    return lengths;
}

SetupPacket Packet(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                   std::uint16_t length) {
    SetupPacket setup;
    setup.requestType = type;
    setup.request = request;
    setup.value = value;
    setup.length = length;
    return setup;
}

class HidGadgetRequestsTest : public ::testing::Test {
  protected:
    Bytes descriptor{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    ScriptedDevice device;
    HidGadgetRequests requests{device, descriptor, Lengths({{1, 1024}, {2, 64}, {3, 64}}), 1024};
};

TEST_F(HidGadgetRequestsTest, ReportDescriptorIsSentWholeOrCutToWLength) {
    const SetupDecision whole = requests.Setup(Packet(0x81, 0x06, 0x2200, 255));
    EXPECT_EQ(whole.action, Action::kSend);
    EXPECT_EQ(whole.data, descriptor);

    const SetupDecision cut = requests.Setup(Packet(0x81, 0x06, 0x2200, 3));
    EXPECT_EQ(cut.action, Action::kSend);
    EXPECT_EQ(cut.data, (Bytes{0x06, 0x00, 0xFF}));
    EXPECT_TRUE(device.reads.empty());
    EXPECT_TRUE(device.outputs.empty());
}

TEST_F(HidGadgetRequestsTest, HidClassDescriptorNamesTheReportDescriptorLength) {
    const SetupDecision hid = requests.Setup(Packet(0x81, 0x06, 0x2100, 9));
    ASSERT_EQ(hid.action, Action::kSend);
    EXPECT_EQ(hid.data, (Bytes{9, 0x21, 0x11, 0x01, 0, 1, 0x22, 8, 0}));
}

TEST_F(HidGadgetRequestsTest, OtherDescriptorsAndUnknownRequestsStall) {
    EXPECT_EQ(requests.Setup(Packet(0x81, 0x06, 0x2300, 9)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0x81, 0x06, 0x2201, 9)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0xA1, 0x03, 0x0000, 1)).action,
              Action::kStall);  // GET_PROTOCOL
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x0B, 0x0000, 0)).action,
              Action::kStall);  // SET_PROTOCOL
    EXPECT_EQ(requests.Setup(Packet(0xA1, kHidGetIdle, 0x0000, 1)).action, Action::kStall);
}

TEST_F(HidGadgetRequestsTest, SetIdleIsAcknowledgedWithoutTouchingTheDevice) {
    const SetupDecision idle = requests.Setup(Packet(0x21, 0x0A, 0x0000, 0));
    EXPECT_EQ(idle.action, Action::kAcknowledge);
    EXPECT_TRUE(device.outputs.empty());
    EXPECT_TRUE(device.reads.empty());
}

TEST_F(HidGadgetRequestsTest, GetReportPassesIdAndWLengthAndSendsTheReplyAsItCame) {
    device.replies.push_back(Bytes(64, 0x5A));
    device.replies.front()[0] = 0x11;

    const SetupDecision read = requests.Setup(Packet(0xA1, 0x01, 0x0102, 0x0240));

    ASSERT_EQ(read.action, Action::kSend);
    ASSERT_EQ(device.reads.size(), 1u);
    EXPECT_EQ(device.reads[0].reportId, 2);
    EXPECT_EQ(device.reads[0].requestedLength, 0x0240u);
    EXPECT_EQ(device.reads[0].bufferSize, 1024u);
    ASSERT_EQ(read.data.size(), 64u);
    EXPECT_EQ(read.data[0], 0x11);
    EXPECT_EQ(read.data[63], 0x5A);
}

TEST_F(HidGadgetRequestsTest, GetReportSendsNoMoreThanWLength) {
    device.replies.push_back(Bytes(64, 0x33));
    const SetupDecision read = requests.Setup(Packet(0xA1, 0x01, 0x0102, 10));
    ASSERT_EQ(read.action, Action::kSend);
    EXPECT_EQ(read.data, Bytes(10, 0x33));
}

TEST_F(HidGadgetRequestsTest, RefusedOrWrongTypeGetReportStalls) {
    const SetupDecision refused = requests.Setup(Packet(0xA1, 0x01, 0x0101, 1024));
    EXPECT_EQ(refused.action, Action::kStall);
    EXPECT_NE(refused.note.find("no reply scripted"), std::string::npos) << refused.note;

    const SetupDecision feature = requests.Setup(Packet(0xA1, 0x01, 0x0302, 64));
    EXPECT_EQ(feature.action, Action::kStall);
    EXPECT_EQ(device.reads.size(), 1u) << "a feature read must not reach the device";
}

TEST_F(HidGadgetRequestsTest, SetReportOfANumberedReportHandsTheWireBytesOnUnchanged) {
    const SetupPacket setup = Packet(0x21, 0x09, 0x0202, 64);
    ASSERT_EQ(requests.Setup(setup).action, Action::kReceive);

    Bytes wire(64, 0);
    wire[0] = 2;
    wire[1] = 6;
    wire[2] = 1;
    const std::string note = requests.Received(setup, wire);

    ASSERT_EQ(device.outputs.size(), 1u) << note;
    EXPECT_EQ(device.outputs[0], wire);
    EXPECT_EQ(requests.RefusedAfterData(), 0u);
}

TEST_F(HidGadgetRequestsTest, SetReportThatCannotBeRightStallsBeforeItsDataStage) {
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x09, 0x0202, 63)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x09, 0x0209, 64)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x09, 0x0302, 64)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x09, 0x0200, 64)).action, Action::kStall);
    EXPECT_TRUE(device.outputs.empty());
}

TEST_F(HidGadgetRequestsTest, RefusalAfterTheDataStageIsCountedNotHidden) {
    const SetupPacket setup = Packet(0x21, 0x09, 0x0202, 64);
    ASSERT_EQ(requests.Setup(setup).action, Action::kReceive);
    device.acceptOutput = false;
    Bytes wire(64, 0);
    wire[0] = 2;

    const std::string note = requests.Received(setup, wire);

    EXPECT_NE(note.find("refused by script"), std::string::npos) << note;
    EXPECT_EQ(requests.RefusedAfterData(), 1u);

    wire[0] = 3;  // not the ID the setup packet named
    device.acceptOutput = true;
    requests.Received(setup, wire);
    EXPECT_EQ(requests.RefusedAfterData(), 2u);
    EXPECT_EQ(device.outputs.size(), 1u);
}

TEST_F(HidGadgetRequestsTest, ReportIdZeroIsRefusedUnlessTheEchoIsOn) {
    EXPECT_EQ(requests.Setup(Packet(0x21, 0x09, 0x0200, 64)).action, Action::kStall);
    EXPECT_EQ(requests.Setup(Packet(0xA1, 0x01, 0x0100, 64)).action, Action::kStall);
    EXPECT_EQ(device.reads.size(), 1u) << "without the echo, ID 0 goes to the device";
    EXPECT_EQ(device.reads[0].reportId, 0);
}

TEST_F(HidGadgetRequestsTest, EchoSendsBackWhatTheLastReportIdZeroCarriedCutToWLength) {
    requests.EchoReportIdZero();
    const SetupPacket set = Packet(0x21, 0x09, 0x0200, 5);
    ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
    requests.Received(set, Bytes{0x00, 0x0A, 0x0B, 0x0C, 0x0D});

    const SetupDecision whole = requests.Setup(Packet(0xA1, 0x01, 0x0100, 64));
    ASSERT_EQ(whole.action, Action::kSend);
    EXPECT_EQ(whole.data, (Bytes{0x00, 0x0A, 0x0B, 0x0C, 0x0D}));
    const SetupDecision cut = requests.Setup(Packet(0xA1, 0x01, 0x0100, 2));
    EXPECT_EQ(cut.data, (Bytes{0x00, 0x0A}));
    EXPECT_TRUE(device.outputs.empty());
    EXPECT_TRUE(device.reads.empty());

    // Other report IDs still go to the device.
    device.replies.push_back(Bytes(64, 0x44));
    EXPECT_EQ(requests.Setup(Packet(0xA1, 0x01, 0x0102, 0x0240)).data, Bytes(64, 0x44));
}

TEST(OutputReportFromWireTest, ReportIdZeroGetsItsIdBytePutInFront) {
    EXPECT_EQ(HidGadgetRequests::OutputReportFromWire(0, Bytes{0x0A, 0x00, 0x01}),
              (Bytes{0x00, 0x0A, 0x00, 0x01}));
    EXPECT_EQ(HidGadgetRequests::OutputReportFromWire(5, Bytes{0x05, 0x0A}), (Bytes{0x05, 0x0A}));
    EXPECT_TRUE(HidGadgetRequests::OutputReportFromWire(5, Bytes{0x0A, 0x05}).empty());
    EXPECT_TRUE(HidGadgetRequests::OutputReportFromWire(5, Bytes{}).empty());
}

TEST(FunctionFsDescriptorsTest, BlobHasTheLayoutFunctionFsParses) {
    const Bytes blob = BuildFunctionFsDescriptors(0x1234);
    // Header of five 32-bit words, then 3 descriptors of 9 + 9 + 7 bytes per speed.
    ASSERT_EQ(blob.size(), 20u + 2 * 25u);
    EXPECT_EQ(blob[0], 3);  // FUNCTIONFS_DESCRIPTORS_MAGIC_V2
    EXPECT_EQ(blob[4] | (blob[5] << 8), static_cast<int>(blob.size()));
    EXPECT_EQ(blob[8], 3);   // full- and high-speed descriptors
    EXPECT_EQ(blob[12], 3);  // fs_count
    EXPECT_EQ(blob[16], 3);  // hs_count
    for (std::size_t speed = 0; speed < 2; ++speed) {
        const std::size_t at = 20 + 25 * speed;
        EXPECT_EQ(blob[at + 1], 4) << "interface";
        EXPECT_EQ(blob[at + 4], 1) << "one endpoint";
        EXPECT_EQ(blob[at + 5], 3) << "class HID";
        EXPECT_EQ(blob[at + 9], 9);
        EXPECT_EQ(blob[at + 10], 0x21) << "HID class descriptor";
        EXPECT_EQ(blob[at + 16], 0x34);
        EXPECT_EQ(blob[at + 17], 0x12);
        EXPECT_EQ(blob[at + 18], 7);
        EXPECT_EQ(blob[at + 19], 5) << "endpoint";
        EXPECT_EQ(blob[at + 20], 0x81) << "interrupt IN";
        EXPECT_EQ(blob[at + 21], 3) << "interrupt";
    }
    const Bytes strings = BuildFunctionFsStrings();
    EXPECT_EQ(strings, (Bytes{2, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The same rules in front of the emulated device: what a host would see of a register write and
// read-back through the control pipe.
TEST(HidGadgetWithEmulatedDeviceTest, RegisterWriteAndReadBackThroughControlRequests) {
    sim::SimConfig config;
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

    // REPORT_REG_WRITE: address 0x1000, value 0xCAFEF00D.
    Bytes write(len, 0);
    write[0] = id;
    write[1] = 10;
    write[2] = 0;
    write[3] = 0x00;
    write[4] = 0x10;
    write[7] = 0x0D;
    write[8] = 0xF0;
    write[9] = 0xFE;
    write[10] = 0xCA;
    const SetupPacket set = Packet(0x21, 0x09, static_cast<std::uint16_t>(0x0200 | id), len);
    ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
    EXPECT_EQ(requests.Received(set, write).find("refused"), std::string::npos);

    // REPORT_REG_WRITE_ADDR, then REPORT_REG_READ with code 2 in wLength's high byte.
    Bytes address(len, 0);
    address[0] = id;
    address[1] = 6;
    address[2] = 1;
    address[4] = 0x10;
    ASSERT_EQ(requests.Setup(set).action, Action::kReceive);
    EXPECT_EQ(requests.Received(set, address).find("refused"), std::string::npos);

    const auto inLength = static_cast<std::uint16_t>(config.inputReportLengths[1] | 0x0200);
    const SetupDecision read =
        requests.Setup(Packet(0xA1, 0x01, static_cast<std::uint16_t>(0x0100 | id), inLength));
    ASSERT_EQ(read.action, Action::kSend) << read.note;
    ASSERT_GE(read.data.size(), 4u);
    EXPECT_EQ(read.data[0], 0x0D);
    EXPECT_EQ(read.data[1], 0xF0);
    EXPECT_EQ(read.data[2], 0xFE);
    EXPECT_EQ(read.data[3], 0xCA);
    EXPECT_EQ(requests.RefusedAfterData(), 0u);
}

}  // namespace
}  // namespace brimlo::kernel_test
