#include "flash/dump_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "capture_debug.h"
#include "files/file_io.h"
#include "flash/flash_messages.h"
#include "flash_test_data.h"
#include "recording_boxes.h"

namespace brimlo::flash::testing {
namespace {

namespace fs = std::filesystem;

class DumpFileTest : public ::testing::Test {
  protected:
    // The files in the folder, by name.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Text(const fs::path& file) const {
        const Bytes bytes = TempDir::Read(file);
        return {bytes.begin(), bytes.end()};
    }

    TempDir dir;
    fs::path path = dir.path / "dump.bin";
    RecordingBoxes boxes;
    std::string error;
};

// An existing file is refused unless it may be replaced, and even then keeps its contents until
// the dump is complete: the dump goes to a partial file beside it, renamed on Commit.
TEST_F(DumpFileTest, ExistingFileIsReplacedOnlyByACompleteDump) {
    std::ofstream(path) << "old contents";
    DumpFile file(boxes);
    EXPECT_FALSE(file.Open(path, false, error));
    EXPECT_NE(error.find("already exists"), std::string::npos) << error;

    brimlo::testing::CaptureDebug debug;
    ASSERT_TRUE(file.Open(path, true, error)) << error;
    EXPECT_EQ(debug.lines, std::vector<std::string>{"FileSize WRITE = [0] [0]\n"});
    const Bytes chunk = Pattern(3000, 1);
    ASSERT_EQ(file.Write(chunk), chunk.size());
    EXPECT_EQ(Text(path), "old contents");
    ASSERT_EQ(Names().size(), 2u);
    EXPECT_EQ(Names()[1].rfind("dump.bin.partial-", 0), 0u) << Names()[1];

    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(TempDir::Read(path), chunk);
    EXPECT_EQ(Names(), std::vector<std::string>{"dump.bin"});
    EXPECT_EQ(file.Location(), path.string());
    EXPECT_TRUE(boxes.shown.empty());
}

// A dump that ends early keeps the bytes it wrote under the partial name and says where; one
// that wrote nothing leaves no file. The chosen name is never created.
TEST_F(DumpFileTest, AbandonedDumpKeepsItsBytesUnderThePartialName) {
    DumpFile file(boxes);
    ASSERT_TRUE(file.Open(path, false, error)) << error;
    const Bytes chunk = Pattern(1000, 2);
    ASSERT_EQ(file.Write(chunk), chunk.size());
    file.Abandon();
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(Names().size(), 1u);
    EXPECT_EQ(file.Location(), (dir.path / Names()[0]).string());
    EXPECT_EQ(TempDir::Read(file.Location()), chunk);

    DumpFile empty(boxes);
    ASSERT_TRUE(empty.Open(dir.path / "other.bin", false, error)) << error;
    empty.Abandon();
    EXPECT_EQ(empty.Location(), "");
    EXPECT_EQ(Names().size(), 1u);
}

// A name that is a folder or a missing folder's file is refused at once, naming the file.
TEST_F(DumpFileTest, NamesThatAreNotRegularFilesAreRefused) {
    DumpFile file(boxes);
    EXPECT_FALSE(file.Open(dir.path, true, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(file.Open(dir.path / "no-such-folder" / "dump.bin", true, error));
    EXPECT_NE(error.find((dir.path / "no-such-folder" / "dump.bin").string()), std::string::npos)
        << error;
    EXPECT_TRUE(Names().empty());
}

// A file that appears under the chosen name while a dump that may not replace it runs is kept;
// the dump stays under its partial name and the box says so.
TEST_F(DumpFileTest, FileThatAppearsMeanwhileIsNotReplaced) {
    DumpFile file(boxes);
    ASSERT_TRUE(file.Open(path, false, error)) << error;
    ASSERT_EQ(file.Write(Pattern(10, 3)), 10u);
    std::ofstream(path) << "someone else's";
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(Text(path), "someone else's");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("The dump is kept in " + file.Location()), std::string::npos)
        << boxes.shown[0].text;
    EXPECT_EQ(TempDir::Read(file.Location()), Pattern(10, 3));
}

// Every chunk is flushed before the next one is taken; partial writes are completed; an I/O
// error stops the dump with an error box that names the file and the position.
TEST_F(DumpFileTest, FlushesEachChunkAndReportsOtherErrors) {
    static std::string calls;
    static int failWriteAt;
    calls.clear();
    failWriteAt = -1;
    DumpFileIo io;
    io.write = [](int fd, const void* data, std::size_t count) -> std::ptrdiff_t {
        if (failWriteAt-- == 0) {
            errno = EIO;
            return -1;
        }
        calls += 'w';
        // A short write each time.
        return files::SystemWrite(fd, data, count < 1000 ? count : 1000);
    };
    io.flush = [](int fd) {
        calls += 'f';
        return files::SystemFlush(fd);
    };
    DumpFile file(boxes, io);
    ASSERT_TRUE(file.Open(path, false, error)) << error;
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

// Asked to flush only before the rename, the file writes each chunk through and flushes once:
// when it is committed, or when an incomplete dump is kept.
TEST_F(DumpFileTest, FlushesOnlyBeforeTheRenameWhenAsked) {
    static std::string calls;
    calls.clear();
    DumpFileIo io;
    io.write = [](int fd, const void* data, std::size_t count) {
        calls += 'w';
        return files::SystemWrite(fd, data, count);
    };
    io.flush = [](int fd) {
        calls += 'f';
        return files::SystemFlush(fd);
    };
    DumpFile file(boxes, io, DumpFlush::BeforeRename);
    ASSERT_TRUE(file.Open(path, false, error)) << error;
    const Bytes chunk = Pattern(4096, 7);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(file.Write(chunk), chunk.size());
    }
    EXPECT_EQ(calls, "www");
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(calls, "wwwf");
    EXPECT_EQ(TempDir::Read(path).size(), 3 * chunk.size());

    calls.clear();
    ASSERT_TRUE(file.Open(dir.path / "stopped.bin", false, error)) << error;
    ASSERT_EQ(file.Write(chunk), chunk.size());
    file.Abandon();
    EXPECT_EQ(calls, "wf");
    EXPECT_EQ(TempDir::Read(file.Location()), chunk);
}

// Standard output is written as it is: no partial file, nothing renamed, the stream left open.
TEST_F(DumpFileTest, StreamIsWrittenDirectly) {
    files::File out;
    fs::path name;
    files::Error failure;
    ASSERT_TRUE(files::CreateBeside(dir.path / "stream", "-", out, name, failure)) << failure.text;
    DumpFile file(boxes);
    file.OpenStream(out.Descriptor(), "standard output");
    ASSERT_EQ(file.Write(Pattern(100, 6)), 100u);
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(file.Location(), "standard output");
    EXPECT_EQ(files::SystemWrite(out.Descriptor(), "x", 1), 1) << "the stream stays open";
    EXPECT_EQ(Names(), std::vector<std::string>{name.filename().string()});
}

}  // namespace
}  // namespace brimlo::flash::testing
