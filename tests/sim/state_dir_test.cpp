// A device kept in a state directory: what one run leaves there, the next one finds, also
// when the runs are separate processes.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Le32;
using testing::Pattern;
using testing::ReadLe32;
using testing::Wire;

std::shared_ptr<SimDevice> LoadOrDie(const std::filesystem::path& dir) {
    std::string error;
    auto device = SimDevice::Load(dir, error);
    if (!device) {
        throw std::runtime_error(error);
    }
    return device;
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& file, std::size_t offset,
                                    std::size_t length) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<std::uint8_t> bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    return bytes;
}

TEST(StateDir, FlashAndPeripheralsOutliveTheDevice) {
    testing::TempDir dir;
    const std::vector<std::uint8_t> image = Pattern(0x10000, 61);
    {
        Wire wire(LoadOrDie(dir.Path()));
        ASSERT_TRUE(wire.Burn(3, 0x4F0000, image));
        std::vector<std::uint8_t> reg = Le32(0x03FF0000);
        const std::vector<std::uint8_t> value = Le32(0xF6000000);
        reg.insert(reg.end(), value.begin(), value.end());
        ASSERT_TRUE(wire.Send(wire.Command(1, 10, 0, reg)));
        ASSERT_TRUE(wire.Send(wire.Command(2, 7, 6, {0x90, 3, 0x20, 0x5A, 0xA5})));
        ASSERT_TRUE(wire.Send(wire.Command(1, 4, 8, {3, 1})));
        ASSERT_TRUE(wire.Send(wire.Command(1, 4, 9, {3, 0})));

        // flash.bin is the chip's image: flash address x at file offset x, already there.
        EXPECT_EQ(FileBytes(dir.Path() / "flash.bin", 0x4F0000, image.size()), image);
    }
    Wire wire(LoadOrDie(dir.Path()));
    EXPECT_EQ(wire.Dump(3, 0x4F0000, 0x10000), image);
    ASSERT_TRUE(wire.Send(wire.Command(1, 6, 1, Le32(0x03FF0000))));
    EXPECT_EQ(ReadLe32(*wire.ReadCode(1, 2)), 0xF6000000u);
    ASSERT_TRUE(wire.Send(wire.Command(2, 6, 7, {0x90, 1, 0x20, 2})));
    auto iic = wire.ReadCode(2, 7);
    ASSERT_TRUE(iic);
    iic->resize(3);
    EXPECT_EQ(*iic, (std::vector<std::uint8_t>{kIicAck, 0x5A, 0xA5}));
    ASSERT_TRUE(wire.Send(wire.Command(1, 3, 10, {3})));
    EXPECT_EQ(wire.ReadCode(1, 10)->at(0), 0) << "line 3 still drives its latch, 0";
}

TEST(StateDir, ChangingTheChipResizesTheFlashFileAndKeepsItsBytes) {
    testing::TempDir dir;
    const std::vector<std::uint8_t> head = Pattern(4096, 2);
    {
        Wire wire(LoadOrDie(dir.Path()));
        ASSERT_TRUE(wire.Burn(1, 0, head));
    }
    std::ofstream(dir.Path() / "device.json", std::ios::trunc) << R"({"chip_row": 5})";
    auto device = LoadOrDie(dir.Path());
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "flash.bin"), 16u * 1024 * 1024);
    EXPECT_EQ(device->PeekFlash(0, 4096), head);
    EXPECT_EQ(device->PeekFlash(12u * 1024 * 1024, 16), std::vector<std::uint8_t>(16, 0xFF));
}

TEST(StateDir, MalformedStateFileIsNamed) {
    testing::TempDir dir;
    LoadOrDie(dir.Path());
    std::ofstream(dir.Path() / "state.json", std::ios::trunc)
        << R"({"registers": {"0x10": "twelve"}})";
    std::string error;
    EXPECT_EQ(SimDevice::Load(dir.Path(), error), nullptr);
    EXPECT_NE(error.find("state.json"), std::string::npos) << error;
    EXPECT_NE(error.find("registers.0x10"), std::string::npos) << error;
}

// Burn in one process, dump in the next: the child writes the firmware area through the
// platform and exits; the parent, which never opened the device before, reads it back.
TEST(StateDir, SecondProcessReadsWhatTheFirstWrote) {
    testing::TempDir dir;
    const std::vector<std::uint8_t> image = Pattern(0x20000 + 4096, 71);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        SimPlatform platform(dir.Path());
        std::string error;
        auto connection = platform.Open("sim:" + dir.Path().string(), {}, error);
        if (!connection) {
            ::_exit(2);
        }
        auto device = platform.Device(error);
        Wire wire(device);
        ::_exit(wire.Burn(0, 0x180000, image) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    SimPlatform platform(dir.Path());
    std::string error;
    auto device = platform.Device(error);
    ASSERT_NE(device, nullptr) << error;
    Wire wire(device);
    EXPECT_EQ(wire.Dump(0, 0x180000, static_cast<std::uint32_t>(image.size())), image);
}

}  // namespace
}  // namespace brimlo::sim
