#include "hid/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace brimlo::hid {
namespace {

class StderrSink final : public DebugSink {
  public:
    void Write(std::string_view line) override {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
};

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

StderrSink gStderrSink;
DebugSink* gSink = &gStderrSink;

}  // namespace

DebugSink* SetDebugSink(DebugSink* sink) {
    std::lock_guard lock(SinkMutex());
    DebugSink* previous = gSink;
    gSink = sink ? sink : &gStderrSink;
    return previous;
}

void DebugOutput(std::string_view line) {
    std::lock_guard lock(SinkMutex());
    gSink->Write(line);
}

void DebugPrintf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0) {
        return;
    }
    const std::size_t size = static_cast<std::size_t>(length) < sizeof text
                                 ? static_cast<std::size_t>(length)
                                 : sizeof text - 1;
    DebugOutput(std::string_view(text, size));
}

}  // namespace brimlo::hid
