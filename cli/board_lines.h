#pragma once
// The live progress of a job on several boards, on stderr: one line per board redrawn in
// place on a terminal, else a plain line each time a board's phase changes.

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "boards/board_list.h"
#include "boards/board_status.h"

namespace brimlo::cli {

class BoardLines {
  public:
    BoardLines(const std::vector<boards::Board>& boards,
               const std::deque<boards::BoardStatus>& statuses);
    // Draws the boards' state now; called on one thread only.
    void Draw();

  private:
    const std::vector<boards::Board>& boards_;
    const std::deque<boards::BoardStatus>& statuses_;
    const bool tty_;
    bool drawn_ = false;
    std::vector<std::string> lastPhase_;
};

}  // namespace brimlo::cli
