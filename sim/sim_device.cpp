#include "sim/sim_device.h"

#include <algorithm>
#include <system_error>

#include "files/file_io.h"
#include "hid/debug_output.h"
#include "sim/json_fields.h"
#include "sim/peripheral_state.h"
#include "sim/report_descriptor.h"
#include "sim/sim_config_json.h"

namespace brimlo::sim {
namespace {

constexpr const char* kConfigFile = "device.json";
constexpr const char* kFlashFile = "flash.bin";
constexpr const char* kStateFile = "state.json";

std::size_t LargestInputReport(const SimConfig& config) {
    return *std::max_element(config.inputReportLengths.begin(), config.inputReportLengths.end());
}

std::string Prefixed(const char* what, std::uint8_t reportId, const std::string& reason) {
    return std::string(what) + " report ID " + std::to_string(reportId) + ": " + reason;
}

}  // namespace

SimDevice::SimDevice(const SimConfig& config, std::unique_ptr<NorFlash> flash,
                     std::optional<std::filesystem::path> stateDir,
                     std::unique_ptr<StateDirLock> lock)
    : lock_(std::move(lock)),
      config_(config),
      descriptor_(BuildReportDescriptor(config_)),
      stateDir_(std::move(stateDir)),
      path_("sim:" + (stateDir_ ? files::Utf8Name(*stateDir_) : std::string("memory"))),
      faults_(config_.faults),
      flash_(std::move(flash)),
      firmware_(config_, *flash_, faults_.Faults()),
      reply_(LargestInputReport(config_)) {}

SimDevice::~SimDevice() {
    Persist();
}

std::shared_ptr<SimDevice> SimDevice::Create(const SimConfig& config, std::string& error) {
    if (std::string invalid = ValidateSimConfig(config); !invalid.empty()) {
        error = "emulated device: " + invalid;
        return nullptr;
    }
    return std::shared_ptr<SimDevice>(
        new SimDevice(config, NorFlash::InMemory(SimFlashSize(config)), std::nullopt, nullptr));
}

std::shared_ptr<SimDevice> SimDevice::Load(const std::filesystem::path& stateDir,
                                           std::string& error, std::chrono::milliseconds busyWait) {
    std::error_code ec;
    std::filesystem::create_directories(stateDir, ec);
    if (ec) {
        error = files::Utf8Name(stateDir) + ": cannot create the state directory: " + ec.message();
        return nullptr;
    }
    std::unique_ptr<StateDirLock> lock = StateDirLock::Acquire(stateDir, busyWait, error);
    if (!lock) {
        return nullptr;
    }
    SimConfig config;
    const std::filesystem::path configFile = stateDir / kConfigFile;
    const bool loaded = std::filesystem::exists(configFile, ec)
                            ? LoadSimConfig(configFile, config, error)
                            : SaveSimConfig(configFile, config, error);
    if (!loaded) {
        return nullptr;
    }
    std::unique_ptr<NorFlash> flash =
        NorFlash::MapFile(stateDir / kFlashFile, SimFlashSize(config), error);
    if (!flash) {
        return nullptr;
    }
    std::shared_ptr<SimDevice> device(
        new SimDevice(config, std::move(flash), stateDir, std::move(lock)));
    if (!LoadPeripheralState(stateDir / kStateFile, device->firmware_.PeripheralState(), error)) {
        return nullptr;
    }
    return device;
}

std::optional<std::size_t> SimDevice::ChannelOf(std::uint8_t reportId) const {
    const auto found = std::find(config_.reportIds.begin(), config_.reportIds.end(), reportId);
    if (found == config_.reportIds.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - config_.reportIds.begin());
}

bool SimDevice::OutputReport(std::span<const std::uint8_t> report, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!faults_.BeginExchange(error)) {
        return false;
    }
    if (report.empty()) {
        error = "empty output report";
        return false;
    }
    const std::optional<std::size_t> channel = ChannelOf(report[0]);
    if (!channel) {
        error = Prefixed("output", report[0], "not a report ID of this device");
        return false;
    }
    const std::size_t expected = config_.outputReportLengths[*channel];
    if (report.size() != expected) {
        error = Prefixed(
            "output", report[0],
            std::to_string(report.size()) + " bytes, the report has " + std::to_string(expected));
        return false;
    }
    if (!firmware_.Output(*channel, report, error)) {
        error = Prefixed("output", report[0], error);
        return false;
    }
    if (firmware_.TakePeripheralsChanged()) {
        SavePeripheralsLocked();
    }
    return true;
}

std::optional<std::size_t> SimDevice::InputReport(std::uint8_t reportId,
                                                  std::uint32_t requestedLength,
                                                  std::span<std::uint8_t> buffer,
                                                  std::string& error) {
    std::lock_guard lock(mutex_);
    if (!faults_.BeginExchange(error)) {
        return std::nullopt;
    }
    const std::optional<std::size_t> channel = ChannelOf(reportId);
    if (!channel) {
        error = Prefixed("input", reportId, "not a report ID of this device");
        return std::nullopt;
    }
    const std::size_t length = config_.inputReportLengths[*channel];
    // A command read carries its code in the requested length's second byte; a flash data
    // read asks for the report's length alone.
    const bool commandRead = *channel != kFlashChannel;
    const std::uint32_t lengthPart = commandRead ? requestedLength & ~0xFF00u : requestedLength;
    if (lengthPart != length) {
        error = Prefixed("input", reportId,
                         "requested length " + json_fields::HexNumber(requestedLength, 4) +
                             " does not ask for the report's " + std::to_string(length) + " bytes");
        return std::nullopt;
    }
    const auto code = static_cast<std::uint8_t>(commandRead ? requestedLength >> 8 : 0);
    const std::span<std::uint8_t> reply = std::span(reply_).first(length);
    std::fill(reply.begin(), reply.end(), 0);
    if (!firmware_.Input(*channel, code, reply, error)) {
        error = Prefixed("input", reportId, error);
        return std::nullopt;
    }
    const std::size_t placed = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), placed, buffer.begin());
    return placed;
}

bool SimDevice::Present() const {
    std::lock_guard lock(mutex_);
    return !faults_.Unplugged();
}

void SimDevice::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_.Reset(faults);
}

std::uint64_t SimDevice::ExchangeCount() const {
    std::lock_guard lock(mutex_);
    return faults_.ExchangeCount();
}

void SimDevice::Persist() {
    std::lock_guard lock(mutex_);
    flash_->Sync();
}

void SimDevice::SavePeripheralsLocked() {
    if (!stateDir_) {
        return;
    }
    std::string error;
    if (!SavePeripheralState(*stateDir_ / kStateFile, firmware_.PeripheralState(), error)) {
        hid::DebugOutput("Emulated device: " + error + "\n");
    }
}

std::vector<std::uint8_t> SimDevice::PeekFlash(std::uint32_t address, std::uint32_t length) const {
    std::lock_guard lock(mutex_);
    const std::uint32_t size = flash_->Size();
    if (address >= size) {
        return {};
    }
    std::vector<std::uint8_t> bytes(std::min(length, size - address));
    flash_->Read(address, bytes);
    return bytes;
}

void SimDevice::PokeFlash(std::uint32_t address, std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    const std::uint32_t size = flash_->Size();
    if (address < size) {
        flash_->Load(address, data.first(std::min<std::size_t>(data.size(), size - address)));
    }
}

}  // namespace brimlo::sim
