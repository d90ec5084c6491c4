// Preloaded into the tool by the suites that check how often a dump flushes: each fdatasync
// appends one byte to the file named by BRIMLO_COUNT_FLUSHES, then does what it always does.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

extern "C" int fdatasync(int descriptor) {
    using Call = int (*)(int);
    static const Call next = reinterpret_cast<Call>(::dlsym(RTLD_NEXT, "fdatasync"));
    if (const char* file = std::getenv("BRIMLO_COUNT_FLUSHES")) {
        const int out = ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(out, "f", 1);
            ::close(out);
        }
    }
    return next(descriptor);
}
