// Faults the emulated device shows on request.

#include <gtest/gtest.h>

#include <chrono>

#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Le32;
using testing::Pattern;
using testing::ReadLe32;
using testing::Wire;

SimConfig WithFaults(const SimFaults& faults) {
    SimConfig config;
    config.faults = faults;
    return config;
}

bool WriteRegister(Wire& wire, std::uint32_t address, std::uint32_t value) {
    std::vector<std::uint8_t> payload = Le32(address);
    const std::vector<std::uint8_t> valueBytes = Le32(value);
    payload.insert(payload.end(), valueBytes.begin(), valueBytes.end());
    return wire.Send(wire.Command(1, 10, 0, payload));
}

std::optional<std::uint32_t> ReadRegister(Wire& wire, std::uint32_t address) {
    if (!wire.Send(wire.Command(1, 6, 1, Le32(address)))) {
        return std::nullopt;
    }
    const auto reply = wire.ReadCode(1, 2);
    return reply ? std::optional(ReadLe32(*reply)) : std::nullopt;
}

TEST(Faults, TheChosenExchangeFailsAndIsNotCarriedOut) {
    Wire wire(testing::MakeDevice(WithFaults({.failExchange = 3})));
    EXPECT_TRUE(WriteRegister(wire, 0x10, 1));   // exchange 1
    EXPECT_TRUE(WriteRegister(wire, 0x10, 2));   // 2
    EXPECT_FALSE(WriteRegister(wire, 0x10, 3));  // 3
    EXPECT_NE(wire.Connection().LastError().find("exchange 3"), std::string::npos)
        << wire.Connection().LastError();
    EXPECT_EQ(ReadRegister(wire, 0x10), 2u) << "exchanges 4 and 5 work; 3 never arrived";
    EXPECT_EQ(wire.Device().ExchangeCount(), 5u);
}

TEST(Faults, UnplugFailsEveryLaterExchangeAndRemovesTheDevice) {
    auto device = testing::MakeDevice(WithFaults({.unplugAfter = 2}));
    SimPlatform platform(device);
    Wire wire(device);
    EXPECT_TRUE(WriteRegister(wire, 0x10, 1));
    EXPECT_TRUE(WriteRegister(wire, 0x10, 2));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(WriteRegister(wire, 0x10, 3));
        EXPECT_FALSE(wire.ReadCode(1, 4));
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
    EXPECT_EQ(ReadRegister(wire, 0x10), 2u);
    EXPECT_NE(platform.Open(device->Path(), {}, error), nullptr) << error;
}

TEST(Faults, CorruptedReadBackFlipsOneByteOnTheWireOnly) {
    constexpr std::uint32_t kBase = 0x180000;
    constexpr std::uint32_t kBad = kBase + 5000;
    Wire wire(testing::MakeDevice(WithFaults({.corruptReadAt = kBad})));
    const std::vector<std::uint8_t> image = Pattern(3 * 4096, 8);
    ASSERT_TRUE(wire.Burn(0, kBase, image));

    const auto read = wire.Dump(0, kBase, static_cast<std::uint32_t>(image.size()));
    ASSERT_TRUE(read);
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if ((*read)[i] != image[i]) {
            differing.push_back(i);
        }
    }
    ASSERT_EQ(differing, std::vector<std::size_t>{kBad - kBase});
    EXPECT_EQ((*read)[kBad - kBase] ^ image[kBad - kBase], 0x01);
    EXPECT_EQ(wire.Device().PeekFlash(kBase, static_cast<std::uint32_t>(image.size())), image)
        << "the stored bytes are intact";
}

TEST(Faults, LatencyIsAddedToEveryExchange) {
    Wire wire(testing::MakeDevice(WithFaults({.latencyUs = 3000})));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(wire.ReadCode(1, 4));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Faults, ChipIndexAnswerMayNameNoRow) {
    for (std::uint16_t answer : {std::uint16_t{32}, std::uint16_t{44}, std::uint16_t{0xFFFF}}) {
        Wire wire(testing::MakeDevice(WithFaults({.chipIndexAnswer = answer})));
        const auto reply = wire.ReadCode(1, 4);
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[0] | (*reply)[1] << 8, answer);
        EXPECT_EQ(SimFlashSize(wire.Config()), 8u * 1024 * 1024)
            << "the fitted chip stays what chip_row says";
    }
}

}  // namespace
}  // namespace brimlo::sim
