#include "sim/replace_file.h"

#include <cstdint>
#include <span>

#include "files/file_io.h"

namespace brimlo::sim {

bool ReplaceFile(const std::filesystem::path& file, std::string_view contents, std::string& error) {
    files::File out;
    std::filesystem::path temporary;
    files::Error failure;
    if (!files::CreateBeside(file, ".", out, temporary, failure)) {
        error = files::Utf8Name(file) + ": cannot be written: " + failure.text;
        return false;
    }
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size());
    const bool written =
        files::WriteAll(out.Descriptor(), bytes, failure) == bytes.size() && out.Close(failure);
    if (!written || !files::Rename(temporary, file, true, failure)) {
        error = files::Utf8Name(file) +
                (written ? ": cannot be replaced: " : ": cannot be written: ") + failure.text;
        out = files::File();  // closed before it can be removed on Windows
        files::Error ignored;
        files::Remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace brimlo::sim
