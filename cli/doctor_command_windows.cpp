// doctor on Windows: the checks it makes (udev rule, hidraw access, the kernel's HID driver)
// are Linux's; the Windows HID class driver needs no setup.

#include "cli/doctor_command.h"

namespace brimlo::cli {

void AddDoctorCommand(CLI::App& app, CliContext& context, CommandRun& run) {
    CLI::App* doctor = app.add_subcommand(
        "doctor", "Check this machine's setup for the device (Linux only for now)");
    doctor->callback([&context, &run] {
        run = [&context] {
            return context.Error(
                "doctor is Linux-only for now: Windows needs no setup for the device; run list "
                "to see whether it is found",
                kExitUsage);
        };
    });
}

}  // namespace brimlo::cli
