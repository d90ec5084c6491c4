#pragma once
// The one sink for developers' diagnostics. Each call is one line; the text carries its own
// line feed, as the debug lines are written. Safe to call from any thread.

#include <string_view>

namespace brimlo::hid {

class DebugSink {
  public:
    virtual ~DebugSink() = default;
    virtual void Write(std::string_view line) = 0;
};

// Installs `sink` for the whole process (null restores the default, standard error).
// Returns the sink that was installed before.
DebugSink* SetDebugSink(DebugSink* sink);

void DebugOutput(std::string_view line);

// printf-style form of DebugOutput, for the debug lines that carry numbers.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace brimlo::hid
