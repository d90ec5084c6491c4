// brimlo-hid on Linux: the arguments are the bytes the shell passed, file names included.

#include "cli/run_tool.h"

int main(int argc, char** argv) {
    return brimlo::cli::RunTool(argc, argv);
}
