#include "flash/dump_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "capture_debug.h"
#include "flash/flash_messages.h"
#include "flash_sim_fixture.h"

namespace brimlo::flash::testing {
namespace {

using brimlo::testing::CaptureDebug;

class DumpFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::filesystem::path path = dir.path / "dump.bin";
    RecordingBoxes boxes;
};

// Choosing an existing file empties it at once, and what is written arrives in order.
TEST_F(DumpFileTest, OpeningEmptiesTheFileAndChunksArriveInOrder) {
    std::ofstream(path) << "old contents";
    CaptureDebug debug;
    DumpFile file(boxes);
    std::string error;
    ASSERT_TRUE(file.Open(path, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(debug.lines, std::vector<std::string>{"FileSize WRITE = [0] [0]\n"});

    const Bytes first = Pattern(4096, 1);
    const Bytes second = Pattern(100, 2);
    EXPECT_EQ(file.Write(first), first.size());
    EXPECT_EQ(file.Write(second), second.size());
    EXPECT_TRUE(file.Close());
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(TempDir::Read(path), expected);
    EXPECT_TRUE(boxes.shown.empty());

    EXPECT_FALSE(file.Open(dir.path / "no-such-folder" / "dump.bin", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

// /dev/full answers every write with ENOSPC, as a full disk does.
TEST_F(DumpFileTest, FullDiskShowsTheDumpFilterBox) {
    DumpFile file(boxes);
    std::string error;
    ASSERT_TRUE(file.Open("/dev/full", error)) << error;
    const Bytes chunk = Pattern(4096, 3);
    EXPECT_LT(file.Write(chunk), chunk.size());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "The disk containing dump file has run out of space, so the dump filter has been "
              "stopped.\r\n\r\nYou must set a new dump file name or restart the graph to clear "
              "this filter error.");
    EXPECT_EQ(boxes.shown[0].caption, "Dump Filter failure");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(file.Error().find("No space left"), std::string::npos) << file.Error();
    file.Close();
    EXPECT_EQ(boxes.shown.size(), 1u) << "closing must not report the failure again";
}

// Every chunk is flushed before the next one is taken; partial writes are completed; an I/O
// error stops the dump with an error box that names the file and the position.
TEST_F(DumpFileTest, FlushesEachChunkAndReportsOtherErrors) {
    static std::vector<std::string>* calls;
    static int failWriteAt;
    std::vector<std::string> log;
    calls = &log;
    failWriteAt = -1;
    DumpFileIo io;
    io.write = [](int fd, const void* data, size_t count) -> ssize_t {
        if (failWriteAt-- == 0) {
            errno = EIO;
            return -1;
        }
        calls->push_back("write");
        return ::write(fd, data, count < 1000 ? count : 1000);  // a short write each time
    };
    io.flush = [](int fd) {
        calls->push_back("flush");
        return ::fdatasync(fd);
    };
    DumpFile file(boxes, io);
    std::string error;
    ASSERT_TRUE(file.Open(path, error)) << error;
    const Bytes chunk = Pattern(2500, 4);
    ASSERT_EQ(file.Write(chunk), chunk.size());
    ASSERT_EQ(file.Write(chunk), chunk.size());
    EXPECT_EQ(log, (std::vector<std::string>{"write", "write", "write", "flush", "write", "write",
                                             "write", "flush"}));

    failWriteAt = 1;
    EXPECT_EQ(file.Write(chunk), 1000u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, kCaptionError);
    EXPECT_NE(boxes.shown[0].text.find(path.string()), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("at byte 6000"), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(file.BytesWritten(), 6000u);
}

}  // namespace
}  // namespace brimlo::flash::testing
