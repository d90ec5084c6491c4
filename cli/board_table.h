#pragma once
// How the multi-board commands show boards: a progress line per board, the summary table, a
// JSON object per board, and the exit code of a set of boards.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "boards/board_job.h"
#include "boards/board_status.h"

namespace brimlo::cli {

// The exit code of one board's result (kExitOk, kExitFailed, ...).
int ExitCodeOf(boards::JobResult result);
// 0 when every board succeeded, else the highest code among them; 0 for no board.
int WorstExitCode(const std::vector<boards::BoardReport>& reports);

// "1-1.2      Write Entire Flash   1048576/4194304  812 KB/s"
std::string ProgressLine(const boards::Board& board, const boards::BoardStatus::Snapshot& now);

// A header and one row per board: port, serial, result, time, and why it failed; then a count
// line ("3 boards: 2 ok, 1 failed").
std::string SummaryTable(const std::vector<boards::BoardReport>& reports);

// One board's object for --json; a stopped job's exit code is `stoppedCode`, that of the signal
// that stopped it.
nlohmann::json BoardJson(const boards::BoardReport& report, int stoppedCode);
// The summary's members: boards, ok, failed.
nlohmann::json SummaryJson(const std::vector<boards::BoardReport>& reports);

}  // namespace brimlo::cli
