#include "cli/board_lines.h"

#include "cli/board_table.h"
#include "cli/terminal.h"

namespace brimlo::cli {

BoardLines::BoardLines(const std::vector<boards::Board>& boards,
                       const std::deque<boards::BoardStatus>& statuses)
    : boards_(boards), statuses_(statuses), tty_(IsTerminal(stderr)), lastPhase_(boards.size()) {}

void BoardLines::Draw() {
    if (tty_ && drawn_) {
        std::fprintf(stderr, "\033[%zuA", boards_.size());  // back to the first board's line
    }
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        const boards::BoardStatus::Snapshot now = statuses_[i].Read();
        if (tty_) {
            std::fprintf(stderr, "\r\033[K%s\n", ProgressLine(boards_[i], now).c_str());
        } else if (now.phase != lastPhase_[i]) {
            std::fprintf(stderr, "%s %s\n", boards_[i].Name().c_str(), now.phase.c_str());
            lastPhase_[i] = now.phase;
        }
    }
    drawn_ = true;
    std::fflush(stderr);
}

}  // namespace brimlo::cli
