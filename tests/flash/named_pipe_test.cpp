#include <sys/stat.h>

#include <gtest/gtest.h>

#include "flash/burn_image.h"
#include "flash/dump_file.h"
#include "flash_test_data.h"
#include "recording_boxes.h"

namespace brimlo::flash::testing {
namespace {

// A named pipe under a burn or dump file's name is refused at once: opening it for reading or
// writing the usual way would wait for the other end.
TEST(NamedPipe, IsRefusedAsBurnFileAndAsDumpFileWithoutWaiting) {
    TempDir dir;
    const std::filesystem::path pipe = dir.path / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string error;
    BurnImage image;
    EXPECT_FALSE(LoadBurnImage(pipe, image, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

    RecordingBoxes boxes;
    DumpFile file(boxes);
    EXPECT_FALSE(file.Open(pipe, true, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

}  // namespace
}  // namespace brimlo::flash::testing
