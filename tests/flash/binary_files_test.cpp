// Burn and dump files hold bytes, not text: nothing is added, dropped or cut short on any
// system, and names outside ASCII work.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "files/file_io.h"
#include "flash/burn_image.h"
#include "flash/dump_file.h"
#include "flash_test_data.h"
#include "recording_boxes.h"

namespace brimlo::flash::testing {
namespace {

namespace fs = std::filesystem;

Bytes EveryByteValue() {
    Bytes bytes(256);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

// A line feed, a CR LF pair and the end-of-file mark between ordinary bytes: the bytes a text
// mode C runtime rewrites or stops at.
Bytes TextModeTraps() {
    return {'a', 0x0A, 'b', 0x0D, 0x0A, 'c', 0x1A, 'd', 0x0A, 0x0A, 0x1A, 0x0D, 'e'};
}

class BinaryFilesTest : public ::testing::Test {
  protected:
    // The file read as a burn file, then dumped in two chunks (split between a CR and its LF)
    // under `dumpName`; the dump's bytes as they are on the disk.
    Bytes BurnThenDump(const Bytes& contents, const fs::path& burnName, const fs::path& dumpName) {
        BurnImage image;
        EXPECT_TRUE(LoadBurnImage(dir.Write(burnName, contents), image, error)) << error;
        EXPECT_EQ(image.bytes, contents);

        const fs::path dump = dir.path / dumpName;
        DumpFile file(boxes);
        EXPECT_TRUE(file.Open(dump, true, error)) << error;
        const std::span<const std::uint8_t> bytes(image.bytes);
        const std::size_t half = bytes.size() / 2;
        EXPECT_EQ(file.Write(bytes.first(half)), half);
        EXPECT_EQ(file.Write(bytes.subspan(half)), bytes.size() - half);
        EXPECT_TRUE(file.Commit()) << file.Error();
        EXPECT_EQ(fs::file_size(dump), contents.size());
        return TempDir::Read(dump);
    }

    TempDir dir;
    RecordingBoxes boxes;
    std::string error;
};

TEST_F(BinaryFilesTest, EveryByteValueSurvivesBurnFileAndDumpUnchanged) {
    EXPECT_EQ(BurnThenDump(EveryByteValue(), "all.bin", "all-dump.bin"), EveryByteValue());

    // The traps in the middle of a file, with every byte value after them.
    Bytes mixed = TextModeTraps();
    const Bytes all = EveryByteValue();
    mixed.insert(mixed.end(), all.begin(), all.end());
    mixed.insert(mixed.begin(), all.rbegin(), all.rend());
    EXPECT_EQ(BurnThenDump(mixed, "mixed.bin", "mixed-dump.bin"), mixed);
    EXPECT_TRUE(boxes.shown.empty());
}

// UTF-8 names reach the disk as those characters, and the folder listing and the messages give
// them back as the same UTF-8.
TEST_F(BinaryFilesTest, NamesOutsideAsciiWorkAndAppearInMessages) {
    const std::string burnName = "Prüfbild \xCF\x80 \xE5\x9B\xBA\xE4\xBB\xB6.bin";  // π 固件
    const std::string dumpName = "Sicherung \xE2\x82\xAC \xF0\x9F\x93\xB7.bin";     // € 📷
    // The same file whichever way the path is made from UTF-8.
    EXPECT_EQ(files::PathFromUtf8(dumpName), fs::path(u8"Sicherung \u20ac \U0001F4F7.bin"));
    EXPECT_EQ(files::PathFromUtf8(dumpName).string(), dumpName);
    EXPECT_EQ(
        BurnThenDump(TextModeTraps(), files::PathFromUtf8(burnName), files::PathFromUtf8(dumpName)),
        TextModeTraps());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        names.push_back(files::Utf8Name(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{burnName, dumpName}));

    const fs::path missing = dir.path / files::PathFromUtf8("fehlt-\xC3\xA4.bin");
    BurnImage image;
    EXPECT_FALSE(LoadBurnImage(missing, image, error));
    EXPECT_NE(error.find(files::Utf8Name(missing)), std::string::npos) << error;
    EXPECT_NE(error.find("fehlt-\xC3\xA4.bin"), std::string::npos) << error;

    DumpFile file(boxes);
    const fs::path inMissingFolder = dir.path / files::PathFromUtf8("\xC3\xB8rdner") / "d.bin";
    EXPECT_FALSE(file.Open(inMissingFolder, false, error));
    EXPECT_NE(error.find("\xC3\xB8rdner"), std::string::npos) << error;
}

// Until Commit the bytes sit under the partial name only; an existing file under the chosen
// name keeps its contents until then, and is replaced whole.
TEST_F(BinaryFilesTest, PartialDumpNeverAppearsUnderTheChosenName) {
    const fs::path fresh = dir.path / "fresh.bin";
    const fs::path existing = dir.path / "existing.bin";
    std::ofstream(existing, std::ios::binary) << "old contents, longer than the dump";
    for (const fs::path& target : {fresh, existing}) {
        SCOPED_TRACE(target.string());
        const bool existed = fs::exists(target);
        DumpFile file(boxes);
        ASSERT_TRUE(file.Open(target, true, error)) << error;
        ASSERT_EQ(file.Write(TextModeTraps()), TextModeTraps().size());
        EXPECT_NE(file.Location(), files::Utf8Name(target));
        EXPECT_EQ(fs::exists(target), existed);
        if (existed) {
            const Bytes old = TempDir::Read(target);
            EXPECT_EQ(std::string(old.begin(), old.end()), "old contents, longer than the dump");
        }
        ASSERT_TRUE(file.Commit()) << file.Error();
        EXPECT_EQ(TempDir::Read(target), TextModeTraps());
        EXPECT_EQ(file.Location(), files::Utf8Name(target));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 2);
}

}  // namespace
}  // namespace brimlo::flash::testing
