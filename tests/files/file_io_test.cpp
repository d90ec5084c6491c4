#include "files/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace brimlo::files {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct TempDir {
    TempDir() {
        std::random_device random;
        while (path.empty()) {
            const auto name =
                fs::temp_directory_path() / ("brimlo-files-" + std::to_string(random()));
            std::error_code taken;
            if (fs::create_directory(name, taken)) {
                path = name;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

Bytes ReadBack(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Every byte value, then the bytes a text mode C runtime rewrites or stops at.
Bytes Awkward() {
    Bytes bytes(256);
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    bytes.insert(bytes.end(), {'x', 0x0A, 0x0D, 0x0A, 0x1A, 'y'});
    return bytes;
}

// Writes `bytes` into a new file beside `target` and renames it there.
bool WriteInto(const fs::path& target, const Bytes& bytes, bool replace, Error& error) {
    File file;
    fs::path created;
    if (!CreateBeside(target, ".tmp-", file, created, error)) {
        return false;
    }
    const bool written = WriteAll(file.Descriptor(), bytes, error) == bytes.size() &&
                         Flush(file.Descriptor(), error) && file.Close(error);
    if (written && Rename(created, target, replace, error)) {
        return true;
    }
    Error ignored;
    Remove(created, ignored);
    return false;
}

TEST(FileIo, BytesWrittenComeBackExactly) {
    TempDir dir;
    const fs::path target = dir.path / "data.bin";
    File file;
    fs::path first, second;
    Error error;
    ASSERT_TRUE(CreateBeside(target, ".tmp-", file, first, error)) << error.text;
    ASSERT_TRUE(CreateBeside(target, ".tmp-", file, second, error)) << error.text;
    EXPECT_NE(first, second);
    const std::string name = first.filename().string();
    ASSERT_EQ(name.size(), std::string("data.bin.tmp-").size() + 6) << name;
    EXPECT_EQ(name.rfind("data.bin.tmp-", 0), 0u) << name;
    EXPECT_TRUE(std::all_of(name.end() - 6, name.end(), [](char c) { return std::isxdigit(c); }));

    const Bytes bytes = Awkward();
    ASSERT_EQ(WriteAll(file.Descriptor(), bytes, error), bytes.size()) << error.text;
    ASSERT_TRUE(Flush(file.Descriptor(), error)) << error.text;
    ASSERT_TRUE(file.Close(error)) << error.text;
    EXPECT_EQ(ReadBack(second), bytes);
    EXPECT_EQ(fs::file_size(second), bytes.size());

    Bytes read;
    ASSERT_TRUE(ReadWholeFile(second, read, error)) << error.text;
    EXPECT_EQ(read, bytes);
}

// A file is replaced only when asked; refused, both files stay as they were.
TEST(FileIo, RenameReplacesOnlyWhenAsked) {
    TempDir dir;
    const fs::path target = dir.path / "state.json";
    const fs::path other = dir.path / "other.json";
    Error error;
    ASSERT_TRUE(WriteInto(target, Bytes{'o', 'l', 'd'}, false, error)) << error.text;
    ASSERT_TRUE(WriteInto(other, Bytes{'n', 'e', 'w', 0x0A}, false, error)) << error.text;

    EXPECT_FALSE(WriteInto(target, Bytes{'x'}, false, error));
    EXPECT_EQ(error.code, EEXIST) << error.text;
    EXPECT_FALSE(Rename(other, target, false, error));
    EXPECT_EQ(error.code, EEXIST) << error.text;
    EXPECT_FALSE(error.text.empty());
    EXPECT_EQ(ReadBack(target), (Bytes{'o', 'l', 'd'}));

    ASSERT_TRUE(Rename(other, target, true, error)) << error.text;
    EXPECT_EQ(ReadBack(target), (Bytes{'n', 'e', 'w', 0x0A}));
    EXPECT_FALSE(fs::exists(other));
    ASSERT_TRUE(WriteInto(target, Awkward(), true, error)) << error.text;
    EXPECT_EQ(ReadBack(target), Awkward());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 1);
}

TEST(FileIo, FailuresGiveTheCodeAndTheSystemsWords) {
    TempDir dir;
    File file;
    Error error;
    EXPECT_FALSE(OpenForReading(dir.path / "missing.bin", file, error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(error.text, ErrorText(ENOENT));
    EXPECT_FALSE(error.text.empty());

    // A folder cannot be read as a file: Windows will not open it, Linux says what it is.
    FileInfo info;
    if (OpenForReading(dir.path, file, error)) {
        ASSERT_TRUE(Examine(file.Descriptor(), info, error)) << error.text;
        EXPECT_FALSE(info.regular);
    } else {
        EXPECT_EQ(error.code, EISDIR) << error.text;
    }
    Bytes kept{1, 2, 3};
    EXPECT_FALSE(ReadWholeFile(dir.path, kept, error));
    EXPECT_EQ(kept, (Bytes{1, 2, 3}));

    fs::path created;
    EXPECT_FALSE(CreateBeside(dir.path / "no-folder" / "f", ".tmp-", file, created, error));
    EXPECT_EQ(error.code, ENOENT) << error.text;
    EXPECT_FALSE(Remove(dir.path / "missing.bin", error));
    EXPECT_EQ(error.code, ENOENT) << error.text;
    EXPECT_FALSE(Rename(dir.path / "missing.bin", dir.path / "to.bin", true, error));
    EXPECT_EQ(error.code, ENOENT) << error.text;
}

// Interrupted and short writes are carried on; a write that writes nothing is an I/O error
// after the bytes that did arrive. A flush the file cannot take is no failure.
TEST(FileIo, WriteAllCarriesOnAfterInterruptionsAndShortWrites) {
    static std::string calls;
    calls.clear();
    const WriteCall threeAtATimeThenNothing = [](int, const void*, std::size_t count) {
        if (calls.size() == 1) {
            calls += 'i';
            errno = EINTR;
            return std::ptrdiff_t{-1};
        }
        calls += 'w';
        return calls.size() > 4 ? std::ptrdiff_t{0}
                                : static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, 3));
    };
    Error error;
    EXPECT_EQ(WriteAll(0, Bytes(20), error, threeAtATimeThenNothing), 9u);
    EXPECT_EQ(calls, "wiwww");
    EXPECT_EQ(error.code, EIO);

    const FlushCall special = [](int) {
        errno = EINVAL;
        return -1;
    };
    const FlushCall failing = [](int) {
        errno = EIO;
        return -1;
    };
    error = {};
    EXPECT_TRUE(Flush(0, error, special));
    EXPECT_EQ(error.code, 0);
    EXPECT_FALSE(Flush(0, error, failing));
    EXPECT_EQ(error.code, EIO);
    EXPECT_EQ(error.text, ErrorText(EIO));
}

}  // namespace
}  // namespace brimlo::files
