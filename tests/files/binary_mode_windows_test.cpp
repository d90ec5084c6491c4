#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "files/file_io.h"

namespace brimlo::files {
namespace {

// Standard output starts in text mode on Windows, where a line feed written becomes CR LF: a
// dump written there must switch it to binary mode first.
TEST(BinaryMode, TextModeDescriptorWritesBytesUnchangedOnceSwitched) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("brimlo-binary-mode-" + std::to_string(_getpid()));
    for (const bool switched : {false, true}) {
        const int descriptor =
            _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
        ASSERT_GE(descriptor, 0);
        if (switched) {
            UseBinaryMode(descriptor);
        }
        Error error;
        const std::uint8_t bytes[] = {'a', 0x0A, 'b'};
        EXPECT_EQ(WriteAll(descriptor, bytes, error), 3u) << error.text;
        EXPECT_EQ(_close(descriptor), 0);
        // Text mode adds a CR: the test would prove nothing without it.
        EXPECT_EQ(std::filesystem::file_size(path), switched ? 3u : 4u);
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace brimlo::files
