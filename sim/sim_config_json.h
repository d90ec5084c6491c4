#pragma once
// device.json: the emulated device's configuration as a user edits it. Keys are listed in
// sim/README.md; a key left out keeps its default.

#include <filesystem>
#include <string>
#include <string_view>

#include "sim/sim_config.h"

namespace brimlo::sim {

// Parses the text of a device.json into `config` (which supplies the defaults). False with
// `error` naming the offending key when the text is not valid JSON, holds an unknown key, a
// value of the wrong kind, or a device that cannot exist.
bool ParseSimConfig(std::string_view text, SimConfig& config, std::string& error);

// The full configuration as device.json text, every key present.
std::string FormatSimConfig(const SimConfig& config);

// Reads `file` into `config`; errors start with the file's path.
bool LoadSimConfig(const std::filesystem::path& file, SimConfig& config, std::string& error);

// Writes `config` to `file` with every key.
bool SaveSimConfig(const std::filesystem::path& file, const SimConfig& config, std::string& error);

}  // namespace brimlo::sim
