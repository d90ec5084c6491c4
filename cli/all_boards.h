#pragma once
// flash id, burn, verify and dump with --all: the job on every chosen board at once.

#include <string>

#include "boards/board_job.h"
#include "cli/cli_context.h"
#include "flash/burn_plan.h"

namespace brimlo::cli {

// `file` is the image (burn, verify) or the dump's name pattern, which must hold {port} or
// {serial} when there are several boards. Returns the worst board's exit code.
int RunOnAllBoards(CliContext& context, boards::JobKind kind, const std::string& file,
                   const flash::BurnSelection& selection, bool force);

// `pattern` with {port} and {serial} replaced by the board's; characters a file name cannot
// hold become '_'.
std::string DumpFileName(const std::string& pattern, const boards::Board& board);

}  // namespace brimlo::cli
