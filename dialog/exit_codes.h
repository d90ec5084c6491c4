#pragma once
// The dialog programs' exit codes, as the command-line tool uses them.

namespace brimlo::app {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDevice = 3;

}  // namespace brimlo::app
