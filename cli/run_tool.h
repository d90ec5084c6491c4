#pragma once
// The whole command-line tool, below the system's own entry point.

namespace brimlo::cli {

// Runs the command `argv` names, its arguments in UTF-8, and returns the exit code.
int RunTool(int argc, char** argv);

}  // namespace brimlo::cli
