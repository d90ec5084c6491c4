// The flash data path as the firmware runs it: regions set up by access mode and length,
// streamed in order in either direction, erased sector by sector before programming.

#include <gtest/gtest.h>

#include "flash/flash_chip_table.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Le32;
using testing::Pattern;
using testing::Wire;

constexpr std::uint8_t kOtherArea = 3;

SimConfig WithChip(std::uint32_t row) {
    SimConfig config;
    config.chipRow = row;
    return config;
}

// Runs on a part with 64 KB sectors and on one with 4 KB sectors, with 1 KB flash chunks so
// that a stream can stop part-way into a sector of either.
class FlashRegionTest : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    static SimConfig Config() {
        SimConfig config = WithChip(GetParam());
        config.outputReportLengths[0] = 1028;
        config.inputReportLengths[0] = 1028;
        return config;
    }

    FlashRegionTest() : wire_(testing::MakeDevice(Config())) {}

    std::uint32_t Sector() const { return flash::FindFlashChip(GetParam())->sectorSize; }

    Wire wire_;
};

TEST_P(FlashRegionTest, WriteRegionIsErasedBeforeItIsProgrammed) {
    const std::uint32_t base = 4 * Sector();
    wire_.Device().PokeFlash(base, Pattern(2 * Sector(), 1));

    const std::vector<std::uint8_t> image = Pattern(2 * Sector(), 90);
    ASSERT_TRUE(wire_.Burn(kOtherArea, base, image)) << wire_.Connection().LastError();

    // Programming over the old bytes without an erase would leave old AND new.
    EXPECT_EQ(wire_.Device().PeekFlash(base, 2 * Sector()), image);
    EXPECT_EQ(wire_.Dump(kOtherArea, base, 2 * Sector()), image);
}

TEST_P(FlashRegionTest, EraseFollowsTheStreamSectorBySector) {
    const std::uint32_t base = 2 * Sector();
    const std::vector<std::uint8_t> old = Pattern(3 * Sector(), 5);
    wire_.Device().PokeFlash(base, old);

    // Announce three sectors but stream only a little past the first one, then stop.
    const std::vector<std::uint8_t> image = Pattern(3 * Sector(), 77);
    const std::uint32_t streamed =
        static_cast<std::uint32_t>((Sector() / wire_.Chunk() + 1) * wire_.Chunk());
    ASSERT_TRUE(wire_.SetRegion(kOtherArea, base, 3 * Sector()));
    ASSERT_TRUE(wire_.WriteStream(std::span(image).first(streamed)));
    ASSERT_TRUE(wire_.SetRegion(kOtherArea, 0, 0)) << "a new set-up ends the stopped region";

    const std::vector<std::uint8_t> after = wire_.Device().PeekFlash(base, 3 * Sector());
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + streamed, after.begin()));
    EXPECT_TRUE(std::all_of(after.begin() + streamed, after.begin() + 2 * Sector(),
                            [](std::uint8_t b) { return b == 0xFF; }))
        << "the second sector was reached, so it was erased whole";
    EXPECT_TRUE(std::equal(old.begin() + 2 * Sector(), old.end(), after.begin() + 2 * Sector()))
        << "the third sector was never reached and keeps its bytes";
}

TEST_P(FlashRegionTest, UnalignedRegionLeavesItsNeighboursAlone) {
    const std::uint32_t base = 5 * Sector();
    const std::vector<std::uint8_t> old = Pattern(Sector(), 9);
    wire_.Device().PokeFlash(base, old);

    const std::uint32_t offset = Sector() / 4;
    const std::vector<std::uint8_t> image = Pattern(100, 200);
    ASSERT_TRUE(wire_.Burn(kOtherArea, base + offset, image));

    std::vector<std::uint8_t> expected = old;
    std::copy(image.begin(), image.end(), expected.begin() + offset);
    EXPECT_EQ(wire_.Device().PeekFlash(base, Sector()), expected)
        << "the report's zero padding past the region must not be programmed either";
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, FlashRegionTest, ::testing::Values(4u, 32u),
                         [](const auto& info) {
                             return std::string(flash::FindFlashChip(info.param)->name);
                         });

TEST(FlashStream, ChunksLandInOrderAndTheLastReportIsShort) {
    Wire wire(testing::MakeDevice());
    const std::size_t chunk = wire.Chunk();
    const std::vector<std::uint8_t> image = Pattern(3 * chunk + 123, 42);
    ASSERT_TRUE(wire.Burn(kOtherArea, 0x4F0000, image));
    EXPECT_EQ(wire.Device().PeekFlash(0x4F0000, static_cast<std::uint32_t>(image.size())), image);

    ASSERT_TRUE(wire.SetRegion(kOtherArea, 0x4F0000, static_cast<std::uint32_t>(image.size())));
    std::vector<std::uint8_t> read;
    for (int report = 0; report < 4; ++report) {
        const auto reply = wire.Read(0, wire.Config().inputReportLengths[0]);
        ASSERT_TRUE(reply) << wire.Connection().LastError();
        ASSERT_EQ(reply->size(), wire.Config().inputReportLengths[0]);
        read.insert(read.end(), reply->begin(), reply->begin() + chunk);
        if (report == 3) {
            EXPECT_TRUE(std::all_of(reply->begin() + 123, reply->end(), [](std::uint8_t b) {
                return b == 0;
            })) << "the last reply carries zeros behind the region's end";
        }
    }
    read.resize(image.size());
    EXPECT_EQ(read, image);
}

TEST(FlashStream, TransfersOutsideARegionAreRefused) {
    Wire wire(testing::MakeDevice());
    const std::vector<std::uint8_t> chunk = Pattern(16, 1);
    const auto read = [&] { return wire.Read(0, wire.Config().inputReportLengths[0]); };

    EXPECT_FALSE(read()) << "no region set up";
    EXPECT_FALSE(wire.SendData(chunk)) << "no region set up";
    EXPECT_FALSE(wire.Send(wire.Command(1, 6, 5, Le32(16)))) << "length without access mode";

    ASSERT_TRUE(wire.Send(wire.Command(1, 7, 3, {kOtherArea, 0, 0, 0x10, 0})));
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
}

TEST(FlashStream, SetUpsTheFirmwareCannotCarryOutAreRefused) {
    Wire wire(testing::MakeDevice());
    const std::uint32_t size = SimFlashSize(wire.Config());
    EXPECT_TRUE(wire.SetRegion(1, 0, size));
    EXPECT_FALSE(wire.SetRegion(1, 0, size + 1)) << "past the chip's end";
    EXPECT_FALSE(wire.SetRegion(kOtherArea, size - 10, 11));
    EXPECT_FALSE(wire.SetRegion(4, 0, 16)) << "no access mode 4";
    EXPECT_FALSE(wire.SetRegion(0, 0x190000, 16)) << "the firmware area starts at 0x180000";
    EXPECT_FALSE(wire.SetRegion(2, 0x71000, 16)) << "the flag sector is at 0x70000";
    EXPECT_FALSE(wire.SetRegion(2, 0x70000, 4097)) << "the flag sector is 4096 bytes";
    EXPECT_TRUE(wire.SetRegion(0, 0x180000, 0x20000));
}

// The firmware-area burn's bracket: read the flag sector, clear its first byte, write it back,
// then later set the byte to 1 the same way. The other bytes of the sector survive both
// rewrites, and so do the bytes that share the chip's 64 KB sector with it.
TEST(FlashStream, FlagSectorRewriteKeepsEverythingButTheFlag) {
    Wire wire(testing::MakeDevice());
    const std::vector<std::uint8_t> around = Pattern(0x10000, 33);
    wire.Device().PokeFlash(0x70000, around);

    for (std::uint8_t flag : {0, 1}) {
        auto sector = wire.Dump(2, 0x70000, 4096);
        ASSERT_TRUE(sector) << wire.Connection().LastError();
        (*sector)[0] = flag;
        ASSERT_TRUE(wire.Burn(2, 0x70000, *sector)) << wire.Connection().LastError();

        std::vector<std::uint8_t> expected = around;
        expected[0] = flag;
        EXPECT_EQ(wire.Device().PeekFlash(0x70000, 0x10000), expected);
    }
}

// Every row of the chip table as the fitted part: GET_ID names it and the region limit is
// its size.
TEST(FlashStream, EachChipAnswersItsRowAndItsSize) {
    for (std::uint32_t row = 0; row < flash::kFlashChipCount; ++row) {
        SCOPED_TRACE(row);
        Wire wire(testing::MakeDevice(WithChip(row)));
        const auto reply = wire.ReadCode(1, 4);
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[0] | (*reply)[1] << 8, static_cast<int>(row));
        const std::uint32_t size = flash::FlashSizeBytes(*flash::FindFlashChip(row));
        EXPECT_TRUE(wire.SetRegion(1, 0, size));
        EXPECT_FALSE(wire.SetRegion(1, 0, size + 1));
    }
}

// A whole 8 MB chip written and read back the way a burn and a dump move it.
TEST(FlashStream, EntireChipRoundTrip) {
    Wire wire(testing::MakeDevice());
    const std::uint32_t size = SimFlashSize(wire.Config());
    ASSERT_EQ(size, 8u * 1024 * 1024);
    const std::vector<std::uint8_t> image = Pattern(size, 17);
    ASSERT_TRUE(wire.Burn(1, 0, image));
    EXPECT_EQ(wire.Dump(1, 0, size), image);
}

}  // namespace
}  // namespace brimlo::sim
