#include "cli/doctor_report.h"

#include <sstream>
#include <tuple>

#include "cli/commands.h"

namespace brimlo::cli {

bool DoctorIds(CliContext& context, std::uint16_t& vendorId, std::uint16_t& productId, int& code) {
    if (context.options.simulate || !context.options.path.empty()) {
        code = context.Error(
            "doctor checks this machine for the real device; it takes neither --simulate nor "
            "--path (use -d VID:PID for other identifiers)",
            kExitUsage);
        return false;
    }
    vendorId = BRIMLO_DEFAULT_VID;
    productId = BRIMLO_DEFAULT_PID;
    if (!context.options.device.empty()) {
        const auto ids = ParseVidPid(context.options.device);
        if (!ids) {
            code = context.Error("-d wants VID:PID in hexadecimal, for example -d 1209:0001",
                                 kExitUsage);
            return false;
        }
        std::tie(vendorId, productId) = *ids;
    }
    return true;
}

int ReportChecks(CliContext& context, const std::vector<hid::SetupCheck>& checks) {
    nlohmann::json list = nlohmann::json::array();
    std::ostringstream text;
    int problems = 0;
    for (const hid::SetupCheck& check : checks) {
        nlohmann::json entry = {{"check", check.name}, {"ok", check.ok}, {"text", check.text}};
        text << (check.ok ? "OK       " : "PROBLEM  ") << check.text;
        if (!check.ok) {
            ++problems;
            entry["fix"] = check.fix;
            text << "; fix: " << check.fix;
        }
        text << '\n';
        list.push_back(entry);
    }
    context.Print({{"checks", list}, {"problems", problems}}, text.str());
    // Scripts tell a ready machine by the exit code alone.
    if (problems == 0) {
        return kExitOk;
    }
    return context.Error(problems == 1 ? "1 check found a problem"
                                       : std::to_string(problems) + " checks found problems");
}

}  // namespace brimlo::cli
