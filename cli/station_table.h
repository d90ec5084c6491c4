#pragma once
// What the station shows while it runs: on a terminal, a table with one row per port redrawn
// in place (waiting / burning 43% / done OK / FAILED reason / unplugged mid-burn); otherwise
// one plain line per event. Each finished job also goes to the log when there is one.

#include <cstdio>
#include <map>
#include <string>

#include "boards/station.h"
#include "boards/station_log.h"

namespace brimlo::cli {

class StationTable final : public boards::StationEvents {
  public:
    // `verb` names the running job in rows: "burning", "verifying", "identifying". `log` may
    // be closed. Writes to `out`.
    StationTable(std::FILE* out, bool tty, std::string verb, boards::StationLog& log,
                 const boards::LogContext& logContext);

    void Waiting(std::size_t running) override;
    void Started(const boards::Board& board, const boards::BoardStatus& status) override;
    void Finished(const boards::BoardReport& report) override;
    void Left(const boards::Board& board) override;
    void Redraw() override;

    // Why the log could not be written; empty when it always could.
    const std::string& LogError() const { return logError_; }
    // The text of the row for `report`: "done OK", "FAILED <why>", "unplugged mid-burn".
    static std::string FinishedText(const boards::BoardReport& report, const std::string& verb);

  private:
    struct Row {
        std::string serial;
        const boards::BoardStatus* status = nullptr;  // while the job runs
        std::string text;
    };
    void Line(const std::string& port, const std::string& text);
    void Draw();

    std::FILE* out_;
    const bool tty_;
    const std::string verb_;
    boards::StationLog& log_;
    const boards::LogContext& logContext_;
    std::map<std::string, Row> rows_;
    std::size_t drawnRows_ = 0;
    bool waitingShown_ = false;
    std::string logError_;
};

}  // namespace brimlo::cli
