#include "sim/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace brimlo::sim {

bool ReplaceFile(const std::filesystem::path& file, std::string_view contents, std::string& error) {
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = file.string() + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    const auto fail = [&](const char* what) {
        error = file.string() + ": " + what + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    };
    // mkostemp makes the file private; these files are as readable as any the user writes.
    if (::fchmod(fd, 0644) != 0) {
        return fail("cannot be written");
    }
    for (std::size_t at = 0; at < contents.size();) {
        const ssize_t written = ::write(fd, contents.data() + at, contents.size() - at);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return fail("cannot be written");
        }
        at += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        error = file.string() + ": cannot be written: " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        error = file.string() + ": cannot be replaced: " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace brimlo::sim
