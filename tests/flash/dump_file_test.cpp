#include "flash/dump_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "capture_debug.h"
#include "flash/flash_messages.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

class DumpFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::filesystem::path path = dir.path / "dump.bin";
    RecordingBoxes boxes;
    std::string error;
};

// Choosing an existing file empties it at once; a file that cannot be made is refused.
TEST_F(DumpFileTest, OpeningEmptiesTheFileOrSaysWhyNot) {
    std::ofstream(path) << "old contents";
    brimlo::testing::CaptureDebug debug;
    DumpFile file(boxes);
    ASSERT_TRUE(file.Open(path, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(debug.lines, std::vector<std::string>{"FileSize WRITE = [0] [0]\n"});
    EXPECT_FALSE(file.Open(dir.path / "no-such-folder" / "dump.bin", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

// Every chunk is flushed before the next one is taken; partial writes are completed; an I/O
// error stops the dump with an error box that names the file and the position.
TEST_F(DumpFileTest, FlushesEachChunkAndReportsOtherErrors) {
    static std::string calls;
    static int failWriteAt;
    calls.clear();
    failWriteAt = -1;
    DumpFileIo io;
    io.write = [](int fd, const void* data, size_t count) -> ssize_t {
        if (failWriteAt-- == 0) {
            errno = EIO;
            return -1;
        }
        calls += 'w';
        return ::write(fd, data, count < 1000 ? count : 1000);  // a short write each time
    };
    io.flush = [](int fd) {
        calls += 'f';
        return ::fdatasync(fd);
    };
    DumpFile file(boxes, io);
    ASSERT_TRUE(file.Open(path, error)) << error;
    const Bytes chunk = Pattern(2500, 4);
    ASSERT_EQ(file.Write(chunk), chunk.size());
    ASSERT_EQ(file.Write(chunk), chunk.size());
    EXPECT_EQ(calls, "wwwfwwwf");

    failWriteAt = 1;
    EXPECT_EQ(file.Write(chunk), 1000u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, kCaptionError);
    EXPECT_NE(boxes.shown[0].text.find(path.string() + " at byte 6000"), std::string::npos)
        << boxes.shown[0].text;
}

}  // namespace
}  // namespace brimlo::flash::testing
