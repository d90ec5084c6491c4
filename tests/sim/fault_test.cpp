// Faults the emulated device shows on request.

#include <gtest/gtest.h>

#include <chrono>

#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Pattern;
using testing::Wire;

std::shared_ptr<SimDevice> WithFaults(const SimFaults& faults) {
    return testing::MakeDevice({.faults = faults});
}

TEST(Faults, TheChosenExchangeFailsAndIsNotCarriedOut) {
    Wire wire(WithFaults({.failExchange = 3}));
    EXPECT_TRUE(wire.WriteRegister(0x10, 1));   // exchange 1
    EXPECT_TRUE(wire.WriteRegister(0x10, 2));   // 2
    EXPECT_FALSE(wire.WriteRegister(0x10, 3));  // 3
    EXPECT_NE(wire.Connection().LastError().find("exchange 3"), std::string::npos)
        << wire.Connection().LastError();
    EXPECT_EQ(wire.ReadRegister(0x10), 2u) << "exchanges 4 and 5 work; 3 never arrived";
    EXPECT_EQ(wire.Device().ExchangeCount(), 5u);
}

TEST(Faults, UnplugFailsEveryLaterExchangeAndRemovesTheDevice) {
    auto device = WithFaults({.unplugAfter = 2});
    SimPlatform platform(device);
    Wire wire(device);
    EXPECT_TRUE(wire.WriteRegister(0x10, 1));
    EXPECT_TRUE(wire.WriteRegister(0x10, 2));
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(wire.WriteRegister(0x10, 3));
        EXPECT_FALSE(wire.ReadCode(kCommandChannel, 4));
    }
    EXPECT_NE(wire.Connection().LastError().find("unplugged"), std::string::npos);

    std::string error;
    auto interfaces = platform.PresentInterfaces(error);
    ASSERT_NE(interfaces, nullptr) << error;
    std::string path;
    EXPECT_EQ(interfaces->InterfacePath(0, path), hid::HidInterfaceSet::Status::NoMoreItems);
    EXPECT_EQ(platform.Open(device->Path(), {}, error), nullptr);
    hid::HiddAttributes attributes;
    EXPECT_FALSE(wire.Connection().GetAttributes(attributes));

    device->SetFaults({});  // plugged back in
    EXPECT_EQ(wire.ReadRegister(0x10), 2u);
    EXPECT_NE(platform.Open(device->Path(), {}, error), nullptr) << error;
}

TEST(Faults, CorruptedReadBackFlipsOneByteOnTheWireOnly) {
    constexpr std::uint32_t kBase = 0x180000;
    constexpr std::uint32_t kBad = 5000;
    Wire wire(WithFaults({.corruptReadAt = kBase + kBad}));
    const std::vector<std::uint8_t> image = Pattern(3 * 4096, 8);
    ASSERT_TRUE(wire.Burn(0, kBase, image));

    std::vector<std::uint8_t> expected = image;
    expected[kBad] ^= 0x01;
    EXPECT_EQ(wire.Dump(0, kBase, static_cast<std::uint32_t>(image.size())), expected);
    EXPECT_EQ(wire.Device().PeekFlash(kBase, static_cast<std::uint32_t>(image.size())), image)
        << "the stored bytes are intact";
}

TEST(Faults, LatencyIsAddedToEveryExchange) {
    Wire wire(WithFaults({.latencyUs = 3000}));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(wire.ReadCode(kCommandChannel, 4));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

// GET_ID answers what the fault tells it to, even a row that does not exist.
TEST(Faults, ChipIndexAnswerMayNameNoRow) {
    Wire wire(WithFaults({.chipIndexAnswer = 0xFFFF}));
    const auto reply = wire.ReadCode(kCommandChannel, 4).value();
    EXPECT_EQ(reply[0] | reply[1] << 8, 0xFFFF);
}

}  // namespace
}  // namespace brimlo::sim
