#include "cli/board_table.h"

#include <algorithm>
#include <cstdio>

#include "boards/board_report_json.h"
#include "cli/cli_context.h"
#include "cli/flash_interrupt.h"

namespace brimlo::cli {
namespace {

using boards::BoardReport;
using boards::JobResult;

std::string Cell(const std::string& text) {
    return text.empty() ? "-" : text;
}

}  // namespace

int ExitCodeOf(JobResult result) {
    switch (result) {
        case JobResult::Ok:
            return kExitOk;
        case JobResult::CompareFailed:
            return kExitCompareFailed;
        case JobResult::NoDevice:
            return kExitNoDevice;
        case JobResult::Stopped:
            return kExitInterrupted;
        case JobResult::Failed:
        case JobResult::Unplugged:
            break;
    }
    return kExitFailed;
}

int WorstExitCode(const std::vector<BoardReport>& reports) {
    int worst = kExitOk;
    for (const BoardReport& report : reports) {
        worst = std::max(worst, ExitCodeOf(report.result));
    }
    return worst;
}

std::string ProgressLine(const boards::Board& board, const boards::BoardStatus::Snapshot& now) {
    char line[160];
    if (now.total == 0) {
        std::snprintf(line, sizeof line, "%-12s %-26s", board.Name().c_str(), now.phase.c_str());
    } else {
        std::snprintf(line, sizeof line, "%-12s %-26s %3d%% %10u/%-10u %6.0f KB/s",
                      board.Name().c_str(), now.phase.c_str(), now.Percent(), now.done, now.total,
                      now.bytesPerSecond / 1024);
    }
    return line;
}

std::string SummaryTable(const std::vector<BoardReport>& reports) {
    std::string table;
    char row[256];
    std::snprintf(row, sizeof row, "%-12s %-16s %-15s %8s  %s\n", "PORT", "SERIAL", "RESULT",
                  "TIME", "");
    table += row;
    std::size_t ok = 0;
    for (const BoardReport& report : reports) {
        ok += report.result == JobResult::Ok ? 1 : 0;
        const std::string& port = report.board.port.empty() ? report.board.path : report.board.port;
        std::snprintf(row, sizeof row, "%-12s %-16s %-15s %7.1fs  ", port.c_str(),
                      Cell(report.board.serial).c_str(), boards::ResultWord(report.result),
                      report.seconds);
        std::string line = row;
        if (report.result != JobResult::Ok) {
            line += report.message;
        }
        while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) {
            line.pop_back();
        }
        table += line + "\n";
    }
    table += std::to_string(reports.size()) + (reports.size() == 1 ? " board: " : " boards: ") +
             std::to_string(ok) + " ok, " + std::to_string(reports.size() - ok) + " failed\n";
    return table;
}

nlohmann::json BoardJson(const BoardReport& report, int stoppedCode) {
    const nlohmann::json difference = boards::DifferenceJson(report);
    const int exitCode =
        report.result == JobResult::Stopped ? stoppedCode : ExitCodeOf(report.result);
    nlohmann::json json = {{"path", report.board.path},
                           {"port", report.board.port},
                           {"serial", report.board.serial},
                           {"result", boards::ResultWord(report.result)},
                           {"exit_code", exitCode},
                           {"chip", report.chip},
                           {"seconds", report.seconds},
                           {"first_difference", difference},
                           {"error", report.result == JobResult::Ok ? "" : report.message}};
    if (!report.dumpLocation.empty() || report.bytes != 0) {
        json["bytes"] = report.bytes;
        json["location"] = report.dumpLocation;
    }
    return json;
}

nlohmann::json SummaryJson(const std::vector<BoardReport>& reports) {
    const auto ok = std::count_if(reports.begin(), reports.end(), [](const BoardReport& report) {
        return report.result == JobResult::Ok;
    });
    return {{"boards", reports.size()},
            {"ok", ok},
            {"failed", static_cast<std::ptrdiff_t>(reports.size()) - ok}};
}

}  // namespace brimlo::cli
