// doctor on Windows: Windows' own HID class driver takes the device for every user, so there is
// nothing to set up; what can go wrong is the device missing, held by another program, or not
// the device the tool speaks to.

#include "boards/interface_checks.h"
#include "cli/doctor_command.h"
#include "cli/doctor_report.h"
#include "session/system_stack.h"

namespace brimlo::cli {
namespace {

int RunDoctor(CliContext& context) {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    if (int code = 0; !DoctorIds(context, vendorId, productId, code)) {
        return code;
    }
    const std::unique_ptr<hid::HidPlatform> platform = session::MakeSystemPlatform();
    std::vector<hid::SetupCheck> checks = boards::CheckInterfaces(*platform, vendorId, productId);
    if (checks.front().ok) {
        checks.push_back({"speed", true,
                          "the port's speed is not read on Windows: only the hub the board is "
                          "plugged into tells it, through a query the tool does not make yet",
                          ""});
    }
    return ReportChecks(context, checks);
}

}  // namespace

void AddDoctorCommand(CLI::App& app, CliContext& context, CommandRun& run) {
    CLI::App* doctor = app.add_subcommand(
        "doctor",
        "Check that the device is there and usable: present with the HID driver, opens for "
        "reading and writing, its three report channels; exits 1 when a check finds a problem");
    doctor->callback([&context, &run] { run = [&context] { return RunDoctor(context); }; });
}

}  // namespace brimlo::cli
