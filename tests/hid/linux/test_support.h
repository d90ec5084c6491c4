#pragma once
// Helpers of the hidraw tests: a debug sink that keeps the lines, and a count of heap
// allocations made by the whole test program.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "hid/debug_output.h"

namespace brimlo::hid::testing {

// Installs itself as the debug sink for its lifetime.
class CapturedDebugOutput final : public DebugSink {
  public:
    CapturedDebugOutput() : previous_(SetDebugSink(this)) {}
    ~CapturedDebugOutput() override { SetDebugSink(previous_); }
    CapturedDebugOutput(const CapturedDebugOutput&) = delete;
    CapturedDebugOutput& operator=(const CapturedDebugOutput&) = delete;

    void Write(std::string_view line) override { lines.emplace_back(line); }

    std::size_t LinesContaining(std::string_view text) const {
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(),
            [text](const std::string& line) { return line.find(text) != std::string::npos; }));
    }

    std::vector<std::string> lines;

  private:
    DebugSink* previous_;
};

// Heap allocations through operator new since the program started.
std::size_t AllocationCount();

}  // namespace brimlo::hid::testing
