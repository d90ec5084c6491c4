// The flash panel's decisions without widgets: Get ID against the emulated device, the burn and
// dump files, and the checks that keep a burn or dump from starting.

#include "dialog/flash_panel_logic.h"

#include <gtest/gtest.h>

#include <memory>

#include "flash/flash_messages.h"
#include "flash_test_data.h"
#include "sim/sim_device.h"
#include "sim/sim_platform.h"

namespace brimlo::app {
namespace {

using flash::testing::Bytes;
using flash::testing::FlashImage;
using flash::testing::TempDir;

class NoBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view, MessageIcon) override {
        ADD_FAILURE() << "unexpected box: " << text;
    }
};

class FlashPanelLogicTest : public ::testing::Test {
  protected:
    void Open(sim::SimConfig config) {
        std::string error;
        sim = sim::SimDevice::Create(config, error);
        ASSERT_TRUE(sim) << error;
        platform = std::make_unique<sim::SimPlatform>(sim);
        device = std::make_unique<UvcHidDevice>(*platform);
        ASSERT_EQ(device->Open(config.vid, config.pid).status, OpenStatus::Opened);
    }
    void OpenChip(std::uint32_t row) {
        sim::SimConfig config;
        config.chipRow = row;
        Open(config);
    }

    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<hid::HidPlatform> platform;
    std::unique_ptr<UvcHidDevice> device;
    NoBoxes fileBoxes;
    FlashPanelLogic logic{fileBoxes};
    TempDir dir;
};

struct ChipFields {
    std::uint32_t row;
    FlashInfoTexts texts;
    std::uint32_t sectorSize, flashSize;
};

class GetIdRows : public FlashPanelLogicTest, public ::testing::WithParamInterface<ChipFields> {};

TEST_P(GetIdRows, FillTheEightFieldsAndKeepTheGeometry) {
    OpenChip(GetParam().row);
    const GetIdResult result = logic.GetId(*device);
    EXPECT_FALSE(result.box);
    ASSERT_TRUE(result.fields);
    EXPECT_EQ(*result.fields, GetParam().texts);
    EXPECT_EQ(logic.Identity().chipIndex, GetParam().row);
    EXPECT_EQ(logic.Identity().SectorSize(), GetParam().sectorSize);
    EXPECT_EQ(logic.Identity().flashSize, GetParam().flashSize);
}

// Name, page size, sector size, blocks, device ID, pages per sector, sectors per block, size.
INSTANTIATE_TEST_SUITE_P(
    Rows, GetIdRows,
    ::testing::Values(
        ChipFields{32,
                   {"GD_GD25Q128C", "256 bytes", "4096 bytes", "256", "32", "16", "16", "16384 KB"},
                   4096,
                   16777216},
        ChipFields{34,
                   {"NUMON_M25P20", "256 bytes", "65536 bytes", "4", "34", "256", "1", "256 KB"},
                   65536,
                   262144},
        ChipFields{38,
                   {"SST_25VF016B", "512 bytes", "65536 bytes", "32", "38", "128", "1", "2048 KB"},
                   65536,
                   2097152}),
    [](const ::testing::TestParamInfo<ChipFields>& info) {
        return "ChipRow" + std::to_string(info.param.row);
    });

TEST_F(FlashPanelLogicTest, AnAnswerPastTheTableIsToldAndKeepsThePreviousChip) {
    OpenChip(32);
    ASSERT_TRUE(logic.GetId(*device).fields);
    sim::SimFaults faults;
    faults.chipIndexAnswer = 44;
    sim->SetFaults(faults);

    const GetIdResult result = logic.GetId(*device);
    EXPECT_FALSE(result.fields);
    ASSERT_TRUE(result.box);
    EXPECT_EQ(result.box->caption, flash::kCaptionError);
    EXPECT_NE(result.box->text.find("44"), std::string::npos) << result.box->text;
    EXPECT_EQ(logic.Identity().chipIndex, 32);
    EXPECT_EQ(logic.Identity().flashSize, 16777216u);
}

TEST_F(FlashPanelLogicTest, GetIdWithoutAnOpenDeviceSaysSo) {
    OpenChip(4);
    UvcHidDevice closed(*platform);
    const GetIdResult result = logic.GetId(closed);
    ASSERT_TRUE(result.box);
    EXPECT_EQ(result.box->text, "HID Device no found !");
    EXPECT_FALSE(logic.Identity().Identified());
}

TEST_F(FlashPanelLogicTest, AFailedExchangeKeepsTheIdentificationWithoutABox) {
    OpenChip(4);
    ASSERT_TRUE(logic.GetId(*device).fields);
    sim::SimFaults faults;
    faults.unplugAfter = 0;
    sim->SetFaults(faults);
    const GetIdResult result = logic.GetId(*device);
    EXPECT_FALSE(result.fields);
    EXPECT_FALSE(result.box);
    EXPECT_EQ(logic.Identity().chipIndex, 4);
}

TEST_F(FlashPanelLogicTest, ABurnFileShowsItsVersionAndMayBurnOnceIdentified) {
    OpenChip(4);
    Bytes image = FlashImage(0x10000, 1);
    image[28] = 0x00, image[29] = 0x01, image[30] = 0x0A, image[31] = 0x80;
    const BurnFileResult chosen = logic.ChooseBurnFile(dir.Write("fw.bin", image), {});
    EXPECT_TRUE(chosen.loaded);
    EXPECT_FALSE(chosen.box);
    EXPECT_EQ(chosen.versionText, "80.0a.01.00");

    ASSERT_TRUE(logic.BurnRefusal({}));
    EXPECT_EQ(logic.BurnRefusal({})->text, flash::kExecuteGetId);
    ASSERT_TRUE(logic.GetId(*device).fields);
    EXPECT_FALSE(logic.BurnRefusal({}));

    flash::BurnSelection noArea;
    noArea.entireFlash = false;
    ASSERT_TRUE(logic.BurnRefusal(noArea));
    EXPECT_EQ(logic.BurnRefusal(noArea)->text, flash::kNoAreaSelected);
}

TEST_F(FlashPanelLogicTest, BurnFilesTheBurnCannotUseAreRefusedWithABox) {
    OpenChip(4);
    ASSERT_TRUE(logic.GetId(*device).fields);

    // A file that cannot be read: Burn asks for a burn file.
    const BurnFileResult missing = logic.ChooseBurnFile(dir.path / "missing.bin", {});
    EXPECT_FALSE(missing.loaded);
    ASSERT_TRUE(missing.box);
    EXPECT_NE(missing.box->text.find("missing.bin"), std::string::npos);
    EXPECT_EQ(missing.versionText, "");
    ASSERT_TRUE(logic.BurnRefusal({}));
    EXPECT_EQ(logic.BurnRefusal({})->text, flash::kSelectBurnFile);

    // Too short to carry a version: the library's check refuses it, now and at Burn.
    const BurnFileResult tiny = logic.ChooseBurnFile(dir.Write("tiny.bin", Bytes(16, 0x5A)), {});
    EXPECT_TRUE(tiny.loaded);
    EXPECT_EQ(tiny.versionText, "");
    ASSERT_TRUE(tiny.box);
    ASSERT_TRUE(logic.BurnRefusal({}));
    EXPECT_EQ(logic.BurnRefusal({})->text, tiny.box->text);

    // Larger than the 8 MB chip.
    const BurnFileResult large =
        logic.ChooseBurnFile(dir.Write("large.bin", FlashImage(0x10000, 1, 0x21, 0x800001)), {});
    ASSERT_TRUE(large.box);
    EXPECT_TRUE(logic.BurnRefusal({}));

    // A firmware header that runs past the Firmware area, for an Other Area burn of it.
    flash::BurnSelection firmware;
    firmware.entireFlash = false;
    firmware.areas[flash::kFirmwareArea] = true;
    const BurnFileResult damaged =
        logic.ChooseBurnFile(dir.Write("damaged.bin", FlashImage(0x400000, 0)), firmware);
    ASSERT_TRUE(damaged.box);
    EXPECT_TRUE(logic.BurnRefusal(firmware));
    EXPECT_FALSE(logic.BurnRefusal({}));  // the whole image still fits the chip
}

TEST_F(FlashPanelLogicTest, TheDumpNeedsItsFileAndGetId) {
    OpenChip(4);
    ASSERT_TRUE(logic.DumpRefusal());
    EXPECT_EQ(logic.DumpRefusal()->text, flash::kSelectDumpFile);

    EXPECT_FALSE(logic.ChooseDumpFile(dir.path / "dump.bin"));
    EXPECT_TRUE(logic.DumpOpen());
    ASSERT_TRUE(logic.DumpRefusal());
    EXPECT_EQ(logic.DumpRefusal()->text, flash::kExecuteGetId);
    ASSERT_TRUE(logic.GetId(*device).fields);
    EXPECT_FALSE(logic.DumpRefusal());

    const auto nowhere = logic.ChooseDumpFile(dir.path / "no-such-folder" / "dump.bin");
    ASSERT_TRUE(nowhere);
    EXPECT_FALSE(logic.DumpOpen());
    EXPECT_EQ(logic.DumpRefusal()->text, flash::kSelectDumpFile);
}

TEST_F(FlashPanelLogicTest, OneSelectedFileAtATime) {
    OpenChip(4);
    ASSERT_TRUE(logic.GetId(*device).fields);
    ASSERT_TRUE(logic.ChooseBurnFile(dir.Write("fw.bin", FlashImage(0x10000, 1)), {}).loaded);

    // A dump file closes the burn file and frees its image.
    EXPECT_FALSE(logic.ChooseDumpFile(dir.path / "dump.bin"));
    EXPECT_FALSE(logic.BurnLoaded());
    EXPECT_TRUE(logic.BurnBytes().empty());
    EXPECT_EQ(logic.BurnRefusal({})->text, flash::kSelectBurnFile);

    // A burn file closes the dump file, which was never dumped into.
    ASSERT_TRUE(logic.ChooseBurnFile(dir.path / "fw.bin", {}).loaded);
    EXPECT_FALSE(logic.DumpOpen());
    EXPECT_FALSE(std::filesystem::exists(dir.path / "dump.bin"));

    logic.CloseSelectedFile();
    EXPECT_FALSE(logic.BurnLoaded());
    EXPECT_TRUE(logic.BurnBytes().empty());
}

}  // namespace
}  // namespace brimlo::app
