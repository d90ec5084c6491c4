#include "files/file_io.h"
#include "hid/windows/windows_headers.h"
#include "sim/mapped_file.h"
#include "sim/system_error_text.h"

namespace brimlo::sim {

struct MappedFile::Handles {
    HANDLE file;
    HANDLE mapping = nullptr;
};

namespace {

std::string SystemError(const std::filesystem::path& file, const char* what) {
    const std::string reason = LastSystemErrorText();  // before anything else can change it
    return files::Utf8Name(file) + ": " + what + ": " + reason;
}

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& file, std::unique_ptr<Handles> handles,
                       std::uint64_t size)
    : file_(file), handles_(std::move(handles)), size_(size) {}

std::unique_ptr<MappedFile> MappedFile::Open(const std::filesystem::path& file, bool& missing,
                                             std::string& error) {
    // Shared for reading and writing, so that the user can look at the file meanwhile.
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    missing = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (handle == INVALID_HANDLE_VALUE) {
        error = SystemError(file, "cannot open");
        return nullptr;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) {
        error = SystemError(file, "cannot read its size");
        CloseHandle(handle);
        return nullptr;
    }
    return std::unique_ptr<MappedFile>(new MappedFile(file, std::make_unique<Handles>(handle),
                                                      static_cast<std::uint64_t>(size.QuadPart)));
}

MappedFile::~MappedFile() {
    if (!bytes_.empty()) {
        UnmapViewOfFile(bytes_.data());
    }
    if (handles_->mapping) {
        CloseHandle(handles_->mapping);
    }
    CloseHandle(handles_->file);
}

bool MappedFile::Map(std::string& error) {
    // Size zero maps the file as long as it is.
    handles_->mapping = CreateFileMappingW(handles_->file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (!handles_->mapping) {
        error = SystemError(file_, "cannot map");
        return false;
    }
    void* mapped = MapViewOfFile(handles_->mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (!mapped) {
        error = SystemError(file_, "cannot map");
        return false;
    }
    bytes_ = {static_cast<std::uint8_t*>(mapped), static_cast<std::size_t>(size_)};
    return true;
}

void MappedFile::Flush() {
    FlushViewOfFile(bytes_.data(), bytes_.size());
}

}  // namespace brimlo::sim
