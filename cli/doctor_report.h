#pragma once
// What doctor does alike on every system: the identifiers it checks for, and how it shows its
// findings and exits.

#include <cstdint>
#include <vector>

#include "cli/cli_context.h"
#include "hid/setup_check.h"

namespace brimlo::cli {

// The device's identifiers, -d's when given; false with the usage error already reported in
// `code` when the options do not fit doctor.
bool DoctorIds(CliContext& context, std::uint16_t& vendorId, std::uint16_t& productId, int& code);

// One line per check ("OK       ..." or "PROBLEM  ...; fix: ..."), or the JSON form; exit code
// 0 when every check passed, else 1.
int ReportChecks(CliContext& context, const std::vector<hid::SetupCheck>& checks);

}  // namespace brimlo::cli
