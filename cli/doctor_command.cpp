#include "cli/doctor_command.h"

#include <filesystem>
#include <sstream>

#include "hid/linux/hidraw_platform.h"
#include "hid/linux/setup_checks.h"

namespace brimlo::cli {
namespace {

int RunDoctor(CliContext& context) {
    if (context.options.simulate || !context.options.path.empty()) {
        return context.Error(
            "doctor checks this machine for the real device; it takes neither --simulate nor "
            "--path (use -d VID:PID for other identifiers)",
            kExitUsage);
    }
    hid::SetupCheckOptions options;
    options.vendorId = BRIMLO_DEFAULT_VID;
    options.productId = BRIMLO_DEFAULT_PID;
    if (!context.options.device.empty()) {
        const auto ids = ParseVidPid(context.options.device);
        if (!ids) {
            return context.Error("-d wants VID:PID in hexadecimal, for example -d 1209:0001",
                                 kExitUsage);
        }
        std::tie(options.vendorId, options.productId) = *ids;
    }
    // An installed tool has no build tree to copy the rule from.
    const std::string buildRule(hid::DefaultUdevRulePath());
    std::error_code error;
    if (std::filesystem::is_regular_file(buildRule, error)) {
        options.buildRulePath = buildRule;
    }

    nlohmann::json list = nlohmann::json::array();
    std::ostringstream text;
    int problems = 0;
    for (const hid::SetupCheck& check : hid::CheckSetup(options)) {
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

}  // namespace

void AddDoctorCommand(CLI::App& app, CliContext& context, CommandRun& run) {
    CLI::App* doctor = app.add_subcommand(
        "doctor",
        "Check this machine's setup for the device: kernel, udev rule, node access, output "
        "report path, port speed; exits 1 when a check finds a problem");
    doctor->callback([&context, &run] { run = [&context] { return RunDoctor(context); }; });
}

}  // namespace brimlo::cli
