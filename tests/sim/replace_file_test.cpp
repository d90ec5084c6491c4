// Replacing a small file whole: the bytes land exactly (no line-end translation), and a
// replace that cannot finish leaves neither a changed file nor a temporary behind.

#include <gtest/gtest.h>

#include "sim/replace_file.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

std::size_t Entries(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
}

TEST(ReplaceFile, EveryByteValueReplacesTheOldContentsExactly) {
    testing::TempDir dir;
    const std::filesystem::path file = dir.path / "state.json";
    std::string error;
    ASSERT_TRUE(ReplaceFile(file, std::string(3000, 'x'), error)) << error;
    std::string contents;
    for (int value = 0; value < 256; ++value) {
        contents += static_cast<char>(value);
    }
    ASSERT_TRUE(ReplaceFile(file, contents, error)) << error;
    EXPECT_EQ(testing::TempDir::Read(file), testing::Bytes(contents.begin(), contents.end()));
    EXPECT_EQ(Entries(dir.path), 1u) << "no temporary is left";
}

TEST(ReplaceFile, AReplaceThatFailsLeavesNoTemporary) {
    testing::TempDir dir;
    const std::filesystem::path taken = dir.path / "device.json";
    std::filesystem::create_directory(taken);  // a folder where the file should go
    std::string error;
    EXPECT_FALSE(ReplaceFile(taken, "{}", error));
    EXPECT_NE(error.find(taken.string() + ": cannot be replaced: "), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_EQ(Entries(dir.path), 1u) << "the temporary is removed";
}

}  // namespace
}  // namespace brimlo::sim
