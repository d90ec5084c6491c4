#include "cli/doctor_command.h"

#include <filesystem>

#include "cli/doctor_report.h"
#include "hid/linux/hidraw_platform.h"
#include "hid/linux/setup_checks.h"

namespace brimlo::cli {
namespace {

int RunDoctor(CliContext& context) {
    hid::SetupCheckOptions options;
    if (int code = 0; !DoctorIds(context, options.vendorId, options.productId, code)) {
        return code;
    }
    // An installed tool has no build tree to copy the rule from.
    const std::string buildRule(hid::DefaultUdevRulePath());
    std::error_code error;
    if (std::filesystem::is_regular_file(buildRule, error)) {
        options.buildRulePath = buildRule;
    }
    return ReportChecks(context, hid::CheckSetup(options));
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
