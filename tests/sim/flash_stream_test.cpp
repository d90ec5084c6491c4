// The flash chip and its data path as the firmware runs it: regions set up by access mode and
// length, streamed in order in either direction, erased sector by sector before programming.

#include <gtest/gtest.h>

#include "chips/flash_chip_table.h"
#include "sim/nor_flash.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Bytes;
using testing::Pattern;
using testing::Wire;

constexpr std::uint8_t kOtherArea = 3;

TEST(NorFlash, ProgrammingOnlyClearsBitsAndEraseSetsThem) {
    auto flash = NorFlash::InMemory(4096);
    const auto read = [&flash] {
        Bytes out(4);
        flash->Read(100, out);
        return out;
    };
    EXPECT_EQ(read(), Bytes(4, 0xFF)) << "a new chip is blank";
    flash->Program(100, Bytes{0xF0, 0x0F, 0xAA, 0x00});
    flash->Program(100, Bytes{0x3C, 0xFF, 0x55, 0xFF});
    EXPECT_EQ(read(), (Bytes{0x30, 0x0F, 0x00, 0x00}));
    flash->Erase(101, 2);
    EXPECT_EQ(read(), (Bytes{0x30, 0xFF, 0xFF, 0x00})) << "erase touches its range only";
}

// Runs on a part with 4 KB sectors and on one with 64 KB sectors, with 1 KB flash chunks so
// that a stream can stop part-way into a sector of either.
class FlashRegionTest : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    static SimConfig Config() {
        SimConfig config;
        config.chipRow = GetParam();
        config.outputReportLengths[kFlashChannel] = config.inputReportLengths[kFlashChannel] = 1028;
        return config;
    }
    std::uint32_t Sector() const { return flash::FindFlashChip(GetParam())->sectorSize; }

    Wire wire_{testing::MakeDevice(Config())};
};

TEST_P(FlashRegionTest, EraseFollowsTheStreamSectorBySector) {
    const std::uint32_t base = 2 * Sector();
    const Bytes old = Pattern(3 * Sector(), 5);
    wire_.Device().PokeFlash(base, old);

    // Announce three sectors but stream only a little past the first one, then stop.
    const Bytes image = Pattern(3 * Sector(), 77);
    const auto streamed =
        static_cast<std::uint32_t>((Sector() / wire_.Chunk() + 1) * wire_.Chunk());
    ASSERT_TRUE(wire_.Burn(kOtherArea, base, std::span(image).first(streamed), 3 * Sector()));
    ASSERT_TRUE(wire_.SetRegion(kOtherArea, 0, 0)) << "a new set-up ends the stopped region";

    // Programming over the old bytes without an erase would leave old AND new.
    Bytes expected(image.begin(), image.begin() + streamed);
    expected.resize(2 * Sector(), 0xFF);  // the second sector was reached, so erased whole
    expected.insert(expected.end(), old.begin() + 2 * Sector(), old.end());  // never reached
    EXPECT_EQ(wire_.Device().PeekFlash(base, 3 * Sector()), expected);
}

TEST_P(FlashRegionTest, UnalignedRegionLeavesItsNeighboursAlone) {
    const std::uint32_t base = 5 * Sector();
    const Bytes old = Pattern(Sector(), 9);
    wire_.Device().PokeFlash(base, old);

    const std::uint32_t offset = Sector() / 4;
    const Bytes image = Pattern(100, 200);
    ASSERT_TRUE(wire_.Burn(kOtherArea, base + offset, image));

    Bytes expected = old;
    std::copy(image.begin(), image.end(), expected.begin() + offset);
    EXPECT_EQ(wire_.Device().PeekFlash(base, Sector()), expected)
        << "the report's zero padding past the region must not be programmed either";
    EXPECT_EQ(wire_.Dump(kOtherArea, base + offset, 100), image);
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, FlashRegionTest, ::testing::Values(4u, 32u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return "ChipRow" + std::to_string(info.param);
                         });

TEST(FlashStream, ChunksLandInOrderAndTheLastReportIsShort) {
    Wire wire(testing::MakeDevice());
    const std::size_t chunk = wire.Chunk();
    const Bytes image = Pattern(3 * chunk + 123, 42);
    ASSERT_TRUE(wire.Burn(kOtherArea, 0x4F0000, image));
    EXPECT_EQ(wire.Device().PeekFlash(0x4F0000, static_cast<std::uint32_t>(image.size())), image);

    ASSERT_TRUE(wire.SetRegion(kOtherArea, 0x4F0000, static_cast<std::uint32_t>(image.size())));
    Bytes read;
    for (int report = 0; report < 4; ++report) {
        const auto reply = wire.Read(kFlashChannel, 4100);
        ASSERT_TRUE(reply) << wire.Connection().LastError();
        ASSERT_EQ(reply->size(), 4100u);
        read.insert(read.end(), reply->begin(), reply->begin() + chunk);
    }
    EXPECT_EQ(Bytes(read.begin(), read.begin() + image.size()), image);
    EXPECT_EQ(Bytes(read.begin() + image.size(), read.end()), Bytes(chunk - 123, 0))
        << "the last reply carries zeros behind the region's end";
}

TEST(FlashStream, TransfersOutsideARegionAndRegionsTheFirmwareCannotSetUpAreRefused) {
    Wire wire(testing::MakeDevice());
    const Bytes chunk = Pattern(16, 1);
    const auto read = [&] { return wire.Read(kFlashChannel, 4100); };

    EXPECT_FALSE(read()) << "no region set up";
    EXPECT_FALSE(wire.SendData(chunk)) << "no region set up";
    EXPECT_FALSE(wire.Send(wire.Command(kCommandChannel, 6, 5, testing::Le32(16))))
        << "length without access mode";
    ASSERT_TRUE(wire.Send(wire.Command(kCommandChannel, 7, 3, {kOtherArea, 0, 0, 0x10, 0})));
    EXPECT_FALSE(wire.SendData(chunk)) << "access mode alone sets up nothing";

    ASSERT_TRUE(wire.SetRegion(kOtherArea, 0x100000, 16));
    EXPECT_TRUE(wire.SendData(chunk));
    EXPECT_FALSE(wire.SendData(chunk)) << "data beyond the announced length";

    ASSERT_TRUE(wire.SetRegion(kOtherArea, 0x100000, 2 * wire.Chunk()));
    EXPECT_TRUE(read());
    EXPECT_FALSE(wire.SendData(chunk)) << "a write into a region being read";
    EXPECT_TRUE(read());
    EXPECT_FALSE(read()) << "a read beyond the announced length";

    ASSERT_TRUE(wire.SetRegion(kOtherArea, 0x100000, 2 * wire.Chunk()));
    EXPECT_TRUE(wire.SendData(chunk));
    EXPECT_FALSE(read()) << "a read from a region being written";

    EXPECT_FALSE(wire.SetRegion(1, 0, (8u << 20) + 1)) << "past the chip's end";
    EXPECT_FALSE(wire.SetRegion(kOtherArea, (8u << 20) - 10, 11)) << "past the chip's end";
    EXPECT_FALSE(wire.SetRegion(4, 0, 16)) << "no access mode 4";
    EXPECT_FALSE(wire.SetRegion(0, 0x190000, 16)) << "the firmware area starts at 0x180000";
    EXPECT_FALSE(wire.SetRegion(2, 0x71000, 16)) << "the flag sector is at 0x70000";
    EXPECT_FALSE(wire.SetRegion(2, 0x70000, 4097)) << "the flag sector is 4096 bytes";
    EXPECT_TRUE(wire.SetRegion(1, 0, 8u << 20)) << "the whole chip";
}

// The firmware-area burn's bracket: read the flag sector, clear its first byte, write it back,
// then later set the byte to 1 the same way. The other bytes of the sector survive both
// rewrites, and so do the bytes that share the chip's 64 KB sector with it.
TEST(FlashStream, FlagSectorRewriteKeepsEverythingButTheFlag) {
    Wire wire(testing::MakeDevice());
    const Bytes around = Pattern(0x10000, 33);
    wire.Device().PokeFlash(0x70000, around);

    for (std::uint8_t flag : {0, 1}) {
        auto sector = wire.Dump(2, 0x70000, 4096);
        ASSERT_TRUE(sector) << wire.Connection().LastError();
        (*sector)[0] = flag;
        ASSERT_TRUE(wire.Burn(2, 0x70000, *sector)) << wire.Connection().LastError();

        Bytes expected = around;
        expected[0] = flag;
        EXPECT_EQ(wire.Device().PeekFlash(0x70000, 0x10000), expected);
    }
}

}  // namespace
}  // namespace brimlo::sim
