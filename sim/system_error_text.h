#pragma once
// The system's text for why the last call failed (errno, or GetLastError on Windows).

#include <string>

namespace brimlo::sim {

std::string LastSystemErrorText();

}  // namespace brimlo::sim
