#pragma once
// Whether a standard stream is a terminal, where progress is redrawn in place.

#include <cstdio>

namespace brimlo::cli {

// True when `stream` writes to a terminal (on Windows, a console, whose handling of the
// escape sequences that redraw lines is switched on here).
bool IsTerminal(std::FILE* stream);

}  // namespace brimlo::cli
