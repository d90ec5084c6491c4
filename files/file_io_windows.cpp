#include "files/file_io.h"

#include "files/utf16_text.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX  // std::min below, not windows.h's macro
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

namespace brimlo::files {
namespace {

namespace fs = std::filesystem;

bool Failed(Error& error) {
    const int code = errno;
    error = {code, ErrorText(code)};
    return false;
}

// The errno value that means the same as a Windows error, so that callers test one kind.
int ErrnoFor(DWORD code) {
    switch (code) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        default:
            return EIO;
    }
}

// The system's sentence for the last Windows error, without its full stop and line break.
bool FailedLastError(Error& error) {
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    error.code = ErrnoFor(code);
    error.text = text.empty() ? "Windows error " + std::to_string(code)
                              : Utf8FromUtf16(text) + " (error " + std::to_string(code) + ")";
    return false;
}

}  // namespace

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(Utf16FromUtf8(text));
}

std::string Utf8Name(const fs::path& path) {
    return Utf8FromUtf16(path.native());
}

std::string ErrorText(int code) {
    return std::strerror(code);
}

File::~File() {
    if (descriptor_ >= 0) {
        _close(descriptor_);
    }
}

bool File::Close(Error& error) {
    if (descriptor_ < 0) {
        return true;
    }
    return _close(std::exchange(descriptor_, -1)) == 0 || Failed(error);
}

bool OpenForReading(const fs::path& path, File& file, Error& error) {
    File opened(_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT));
    if (!opened.IsOpen()) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (errno == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            errno = EISDIR;
        }
        return Failed(error);
    }
    file = std::move(opened);
    return true;
}

// The wide call takes the path's UTF-16 as it is.
std::FILE* OpenForAppending(const fs::path& path, Error& error) {
    std::FILE* file = _wfopen(path.c_str(), L"ab");
    if (file == nullptr) {
        Failed(error);
    }
    return file;
}

bool Examine(int descriptor, FileInfo& info, Error& error) {
    struct _stat64 status {};
    if (_fstat64(descriptor, &status) != 0) {
        return Failed(error);
    }
    info.size = static_cast<std::uint64_t>(status.st_size);
    info.regular = (status.st_mode & _S_IFMT) == _S_IFREG;
    return true;
}

bool ReadFully(int descriptor, std::span<std::uint8_t> buffer, std::size_t& done, Error& error) {
    done = 0;
    while (done < buffer.size()) {
        const auto count =
            static_cast<unsigned>(std::min<std::size_t>(buffer.size() - done, INT_MAX));
        const int n = _read(descriptor, buffer.data() + done, count);
        if (n < 0) {
            return Failed(error);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CreateBeside(const fs::path& target, std::string_view infix, File& file, fs::path& created,
                  Error& error) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%06x", random() & 0xFFFFFFu);
        fs::path name = target.native() + Utf16FromUtf8(infix) + Utf16FromUtf8(digits);
        File opened(_wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                           _S_IREAD | _S_IWRITE));
        if (opened.IsOpen()) {
            file = std::move(opened);
            created = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return Failed(error);
}

std::ptrdiff_t SystemWrite(int descriptor, const void* data, std::size_t count) {
    return _write(descriptor, data, static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX)));
}

int SystemFlush(int descriptor) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    // A pipe's flush would wait for its reader, and a console has nothing to flush.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return 0;
    }
    return _commit(descriptor);
}

void UseBinaryMode(int descriptor) {
    _setmode(descriptor, _O_BINARY);
}

bool Rename(const fs::path& from, const fs::path& to, bool replace, Error& error) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(from.c_str(), to.c_str(), flags) != 0 || FailedLastError(error);
}

bool Remove(const fs::path& path, Error& error) {
    return _wunlink(path.c_str()) == 0 || Failed(error);
}

}  // namespace brimlo::files
