#pragma once
// A board job's outcome in the JSON form the --all report and the station's log share.

#include <nlohmann/json.hpp>

#include "boards/board_job.h"

namespace brimlo::boards {

// A failed compare's first difference as {address, expected, found, differing_bytes}; null when
// the compare found none.
nlohmann::json DifferenceJson(const BoardReport& report);

}  // namespace brimlo::boards
