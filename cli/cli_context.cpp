#include "cli/cli_context.h"

#include <iostream>

#include "cli/board_selection.h"
#include "commands/panel_format.h"
#include "session/single_interface_platform.h"

namespace brimlo::cli {

std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseVidPid(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const auto vid = ParseHexArgument(std::string_view(text).substr(0, colon), 0xFFFF);
    const auto pid = ParseHexArgument(std::string_view(text).substr(colon + 1), 0xFFFF);
    if (!vid || !pid) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint16_t>(*vid), static_cast<std::uint16_t>(*pid));
}

std::string JsonLine(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

session::StackOptions CliContext::StackOptions() const {
    return {options.simulate,  options.simState,  options.path,
            options.traceFile, options.simBoards, options.simHotplug};
}

int CliContext::ReportStackError(const session::StackError& error) const {
    switch (error.kind) {
        case session::StackError::Kind::Usage:
            return Error(error.message, kExitUsage);
        case session::StackError::Kind::NoDevice:
        case session::StackError::Kind::Busy:
            return Error(error.message, kExitNoDevice);
        case session::StackError::Kind::Failed:
            break;
    }
    return Error(error.message, kExitFailed);
}

bool CliContext::CheckOptions() const {
    if (const auto mistake = session::CheckStackOptions(StackOptions())) {
        ReportStackError(*mistake);
        return false;
    }
    if (const auto mistake = boards::SelectionMistake(Selection())) {
        Error(*mistake, kExitUsage);
        return false;
    }
    return true;
}

hid::HidPlatform* CliContext::Platform() {
    if (stack_) {
        return &stack_->Platform();
    }
    session::StackError error;
    stack_ = session::PlatformStack::Create(StackOptions(), error);
    if (!stack_) {
        ReportStackError(error);
        return nullptr;
    }
    return &stack_->Platform();
}

bool CliContext::ResolveTarget(std::uint16_t& vendorId, std::uint16_t& productId) {
    if (!options.device.empty()) {
        const auto ids = ParseVidPid(options.device);
        if (!ids) {
            Error("-d wants VID:PID in hexadecimal, for example -d 1209:0001", kExitUsage);
            return false;
        }
        std::tie(vendorId, productId) = *ids;
        return true;
    }
    if (!options.path.empty()) {
        // One node named by path: take whatever device sits there.
        session::StackError error;
        const auto ids = stack_->PathIdentity(error);
        if (!ids) {
            ReportStackError(error);
            return false;
        }
        std::tie(vendorId, productId) = *ids;
        return true;
    }
    vendorId = BRIMLO_DEFAULT_VID;
    productId = BRIMLO_DEFAULT_PID;
    return true;
}

UvcHidDevice* CliContext::OpenDevice(BoardChoice choice) {
    if (device_) {
        return device_.get();
    }
    hid::HidPlatform* platform = Platform();
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    if (platform == nullptr || !ResolveTarget(vendorId, productId)) {
        return nullptr;
    }
    if (options.all) {
        Error("--all applies to flash id, burn, verify and dump", kExitUsage);
        return nullptr;
    }
    // --path has narrowed the stack to one interface already.
    if (options.path.empty()) {
        std::vector<boards::Board> chosen;
        std::string listError;
        if (ChooseBoards(*this, *platform, vendorId, productId, chosen, listError) != kExitOk) {
            return nullptr;
        }
        if (chosen.size() > 1 && choice == BoardChoice::OnlyOne) {
            Error(SeveralBoardsMessage(chosen), kExitUsage);
            return nullptr;
        }
        if (chosen.size() > 1) {
            std::cerr << "note: " << boards::FirstOfSeveralNote(chosen) << '\n';
        }
        // Nothing matching: the enumeration below says why, as it always has.
        if (!chosen.empty()) {
            chosenBoard_ =
                std::make_unique<session::SingleInterfacePlatform>(*platform, chosen.front().path);
            platform = chosenBoard_.get();
        }
    }
    auto device = std::make_unique<UvcHidDevice>(*platform);
    const OpenResult result = device->Open(vendorId, productId);
    if (result.status != OpenStatus::Opened) {
        Error(boards::OpenFailureText(result), kExitNoDevice);
        return nullptr;
    }
    device_ = std::move(device);
    return device_.get();
}

void CliContext::Print(const nlohmann::json& json, const std::string& text) const {
    if (options.json) {
        result_.update(json);
    } else if (!text.empty()) {
        std::cout << text << (text.back() == '\n' ? "" : "\n");
        std::cout.flush();
    }
}

int CliContext::Error(const std::string& message, int code) const {
    std::cerr << "brimlo-hid: " << message << '\n';
    if (!firstError_) {
        firstError_ = message;
    }
    usageError_ = usageError_ || code == kExitUsage;
    return code;
}

int CliContext::DeviceError(const std::string& what) const {
    const std::string cause = device_ ? device_->LastError() : std::string();
    return Error(what + (cause.empty() ? std::string() : ": " + cause));
}

int CliContext::Finish(int code) {
    // A command-line mistake is one whatever the step that found it.
    if (usageError_) {
        code = kExitUsage;
    }
    if (!options.json) {
        return code;
    }
    if (!command.empty() && !result_.contains("command")) {
        result_["command"] = command;
    }
    const auto error = result_.find("error");
    const bool hasError = error != result_.end() && !error->is_null() &&
                          !(error->is_string() && error->get<std::string>().empty());
    if (code != kExitOk && !hasError) {
        result_["error"] = firstError_.value_or("failed with exit code " + std::to_string(code));
    } else if (code == kExitOk && error != result_.end() && !hasError) {
        result_.erase(error);  // "error" appears only on failure
    }
    std::cout << JsonLine(result_) << '\n';
    std::cout.flush();
    return code;
}

}  // namespace brimlo::cli
