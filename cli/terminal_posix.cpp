#include <unistd.h>

#include "cli/terminal.h"

namespace brimlo::cli {

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

}  // namespace brimlo::cli
