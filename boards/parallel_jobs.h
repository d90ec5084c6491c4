#pragma once
// Runs one job per board, each on a thread of its own, and waits for all of them. A job that
// fails never stops the others.

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "boards/board_job.h"

namespace brimlo::boards {

// Calls `job(i)` for every i below `count` at once and returns the reports in index order.
// While they run, `tick` is called on the calling thread every `interval` (to redraw progress)
// and once more when all have ended.
std::vector<BoardReport> RunInParallel(std::size_t count,
                                       const std::function<BoardReport(std::size_t)>& job,
                                       const std::function<void()>& tick,
                                       std::chrono::milliseconds interval);

}  // namespace brimlo::boards
