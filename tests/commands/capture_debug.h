#pragma once
// Collects the debug lines written while it lives.

#include <string>
#include <vector>

#include "hid/debug_output.h"

namespace brimlo::testing {

class CaptureDebug final : public hid::DebugSink {
  public:
    CaptureDebug() : previous_(hid::SetDebugSink(this)) {}
    ~CaptureDebug() override { hid::SetDebugSink(previous_); }
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;

  private:
    hid::DebugSink* previous_;
};

}  // namespace brimlo::testing
