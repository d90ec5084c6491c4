#include "win32/command_line.h"

namespace brimlo::win32 {

std::optional<DialogOptions> ParseDialogOptions(const std::vector<std::string>& arguments,
                                                std::string& error) {
    DialogOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != name.npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto takeValue = [&](std::string& into) {
            if (!value) {
                if (i + 1 >= arguments.size()) {
                    error = "Missing value after option '" + name + "'.";
                    return false;
                }
                value = arguments[++i];
            }
            into = *value;
            return true;
        };
        const auto noValue = [&](bool& flag) {
            if (value) {
                error = "Option '" + name + "' takes no value.";
                return false;
            }
            flag = true;
            return true;
        };
        bool ok = false;
        if (name == "--simulate") {
            ok = noValue(options.stack.simulate);
        } else if (name == "--sim-state") {
            ok = takeValue(options.stack.simState);
        } else if (name == "--path") {
            ok = takeValue(options.stack.path);
        } else if (name == "--trace") {
            ok = takeValue(options.stack.traceFile);
        } else if (name == "-v" || name == "--verbose") {
            ok = noValue(options.verbose);
        } else if (name == "--version") {
            ok = noValue(options.version);
        } else if (name == "-h" || name == "--help") {
            ok = noValue(options.help);
        } else if (name.starts_with("-")) {
            error = "Unknown option '" + name + "'.";
        } else {
            error = "Unexpected argument: " + name;
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    if (const auto usage = session::CheckStackOptions(options.stack)) {
        if (!options.version && !options.help) {
            error = usage->message;
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace brimlo::win32
