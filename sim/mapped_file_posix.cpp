#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/file_io.h"
#include "sim/mapped_file.h"
#include "sim/system_error_text.h"

namespace brimlo::sim {

struct MappedFile::Handles {
    int fd;
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
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    missing = fd < 0 && errno == ENOENT;
    if (fd < 0) {
        error = SystemError(file, "cannot open");
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = SystemError(file, "cannot read its size");
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<MappedFile>(new MappedFile(file, std::make_unique<Handles>(fd),
                                                      static_cast<std::uint64_t>(info.st_size)));
}

MappedFile::~MappedFile() {
    if (!bytes_.empty()) {
        ::munmap(bytes_.data(), bytes_.size());
    }
    ::close(handles_->fd);
}

bool MappedFile::Map(std::string& error) {
    void* mapped = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, handles_->fd, 0);
    if (mapped == MAP_FAILED) {
        error = SystemError(file_, "cannot map");
        return false;
    }
    bytes_ = {static_cast<std::uint8_t*>(mapped), size_};
    return true;
}

void MappedFile::Flush() {
    ::msync(bytes_.data(), bytes_.size(), MS_ASYNC);
}

}  // namespace brimlo::sim
