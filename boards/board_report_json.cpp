#include "boards/board_report_json.h"

namespace brimlo::boards {

nlohmann::json DifferenceJson(const BoardReport& report) {
    nlohmann::json difference = nullptr;
    if (report.firstDifference) {
        difference = {{"address", report.firstDifference->firstDifference},
                      {"expected", report.firstDifference->expected},
                      {"found", report.firstDifference->found},
                      {"differing_bytes", report.firstDifference->differingBytes}};
    }
    return difference;
}

}  // namespace brimlo::boards
