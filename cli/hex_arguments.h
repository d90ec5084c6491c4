#pragma once
// Numbers typed on the command line: every one hexadecimal, with or without "0x", counts
// included, checked before anything is sent and refused with a short usage error.

#include <cstdint>
#include <string>

#include "cli/cli_context.h"

namespace brimlo::cli {

class HexArgs {
  public:
    explicit HexArgs(const CliContext& context) : context_(context) {}

    // A number from 0 to `maxValue`; `what` names it in the refusal.
    bool Get(const std::string& text, std::uint32_t maxValue, const char* what,
             std::uint32_t& out) const;
    // A count (--count of any command): from 1 to `maxCount`.
    bool Count(const std::string& text, std::uint32_t maxCount, std::uint32_t& out) const;

  private:
    const CliContext& context_;
};

}  // namespace brimlo::cli
