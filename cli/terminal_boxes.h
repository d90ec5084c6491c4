#pragma once

#include "cli/cli_context.h"
#include "cli/terminal_progress.h"
#include "commands/message_boxes.h"

namespace brimlo::cli {

// Boxes become lines: errors and warnings on stderr, information on stdout (on stderr with
// --json, where stdout carries only the result object, and when stdout carries a dump).
class TerminalBoxes final : public MessageBoxes {
  public:
    TerminalBoxes(const CliContext& context, TerminalProgress& progress,
                  bool stdoutCarriesData = false)
        : context_(context), progress_(progress), stdoutCarriesData_(stdoutCarriesData) {}
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;

  private:
    const CliContext& context_;
    TerminalProgress& progress_;
    const bool stdoutCarriesData_;
};

}  // namespace brimlo::cli
