#include "cli/station_table.h"

#include <algorithm>

namespace brimlo::cli {

StationTable::StationTable(std::FILE* out, bool tty, std::string verb, boards::StationLog& log,
                           const boards::LogContext& logContext)
    : out_(out), tty_(tty), verb_(std::move(verb)), log_(log), logContext_(logContext) {}

std::string StationTable::FinishedText(const boards::BoardReport& report, const std::string& verb) {
    switch (report.result) {
        case boards::JobResult::Ok:
            return "done OK";
        case boards::JobResult::Unplugged:
            return "unplugged mid-" +
                   (verb.ends_with("ing") ? verb.substr(0, verb.size() - 3) : verb);
        case boards::JobResult::Stopped:
            return "stopped: " + report.message;
        default:
            break;
    }
    std::string reason = report.message;
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    return "FAILED " + reason;
}

void StationTable::Line(const std::string& port, const std::string& text) {
    std::fprintf(out_, "%-12s %s\n", port.c_str(), text.c_str());
    std::fflush(out_);
}

void StationTable::Waiting(std::size_t running) {
    if (!tty_ && running == 0 && !waitingShown_) {
        std::fprintf(out_, "waiting for boards\n");
        std::fflush(out_);
    }
    waitingShown_ = running == 0;
    if (tty_) {
        Draw();
    }
}

void StationTable::Started(const boards::Board& board, const boards::BoardStatus& status) {
    rows_[board.Name()] = {board.serial, &status, verb_};
    if (!tty_) {
        Line(board.Name(), verb_ + (board.serial.empty() ? "" : " (serial " + board.serial + ")"));
    }
}

void StationTable::Finished(const boards::BoardReport& report) {
    Row& row = rows_[report.board.Name()];
    row.status = nullptr;
    row.text = FinishedText(report, verb_);
    if (!tty_) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, " (%.1f s)", report.seconds);
        Line(report.board.Name(), row.text + seconds);
    }
    if (log_.IsOpen()) {
        std::string error;
        if (!log_.Append(boards::LogLine(logContext_, report, std::chrono::system_clock::now()),
                         error) &&
            logError_.empty()) {
            logError_ = error;
        }
    }
}

void StationTable::Left(const boards::Board& board) {
    rows_[board.Name()] = {board.serial, nullptr, "waiting"};
    if (!tty_) {
        Line(board.Name(), "unplugged; waiting");
    }
}

void StationTable::Redraw() {
    if (tty_) {
        Draw();
    }
}

void StationTable::Draw() {
    if (drawnRows_ > 0) {
        std::fprintf(out_, "\033[%zuA", drawnRows_);
    }
    std::fprintf(out_, "\r\033[K%-12s %-16s %s\n", "PORT", "SERIAL", "STATE");
    for (const auto& [port, row] : rows_) {
        std::string text = row.text;
        if (row.status != nullptr) {
            text = verb_ + " " + std::to_string(row.status->Read().Percent()) + "%";
        }
        std::fprintf(out_, "\r\033[K%-12s %-16s %s\n", port.c_str(),
                     row.serial.empty() ? "-" : row.serial.c_str(), text.c_str());
    }
    drawnRows_ = rows_.size() + 1;
    std::fflush(out_);
}

}  // namespace brimlo::cli
