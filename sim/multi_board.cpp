#include "sim/multi_board.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "sim/sim_config_json.h"
#include "sim/sim_connection.h"

namespace brimlo::sim {
namespace {

class BoardPaths final : public hid::HidInterfaceSet {
  public:
    explicit BoardPaths(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    Status InterfacePath(std::uint32_t index, std::string& path) override {
        if (index >= paths_.size()) {
            return Status::NoMoreItems;
        }
        path = paths_[index];
        return Status::Ok;
    }

  private:
    std::vector<std::string> paths_;
};

// A connection that dies with its board's cable: once the board was unplugged, every
// exchange fails, even after it was plugged in again.
class PluggedConnection final : public hid::HidConnection {
  public:
    PluggedConnection(std::unique_ptr<SimConnection> inner, const std::atomic<bool>& plugged,
                      const std::atomic<std::uint64_t>& plugCount, std::string path)
        : inner_(std::move(inner)),
          plugged_(plugged),
          plugCount_(plugCount),
          openedAt_(plugCount.load()),
          path_(std::move(path)) {}

    bool SendOutputReport(std::span<const std::uint8_t> report) override {
        return Connected() && inner_->SendOutputReport(report);
    }
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override {
        if (!Connected()) {
            return std::nullopt;
        }
        return inner_->GetInputReport(reportId, requestedLength, buffer);
    }
    std::string LastError() const override {
        return unplugged_ ? path_ + ": the device was unplugged" : inner_->LastError();
    }
    bool GetAttributes(hid::HiddAttributes& attributes) override {
        return Connected() && inner_->GetAttributes(attributes);
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override {
        return Connected() && inner_->GetReportDescriptor(descriptor);
    }

  private:
    bool Connected() {
        unplugged_ = unplugged_ || !plugged_.load() || plugCount_.load() != openedAt_;
        return !unplugged_;
    }
    std::unique_ptr<SimConnection> inner_;
    const std::atomic<bool>& plugged_;
    const std::atomic<std::uint64_t>& plugCount_;
    const std::uint64_t openedAt_;
    const std::string path_;
    bool unplugged_ = false;
};

bool ParseEvent(std::string_view entry, std::size_t boards, HotplugEvent& event) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos || colon + 2 >= entry.size() ||
        (entry[colon + 1] != '+' && entry[colon + 1] != '-')) {
        return false;
    }
    double seconds = -1;
    const std::string_view time = entry.substr(0, colon);
    if (std::from_chars(time.data(), time.data() + time.size(), seconds).ptr !=
            time.data() + time.size() ||
        !(seconds >= 0 && seconds < 1e6)) {
        return false;
    }
    const std::string_view number = entry.substr(colon + 2);
    std::size_t board = 0;
    if (std::from_chars(number.data(), number.data() + number.size(), board).ptr !=
            number.data() + number.size() ||
        board < 1 || board > boards) {
        return false;
    }
    event.at = std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
    event.board = board;
    event.plug = entry[colon + 1] == '+';
    return true;
}

}  // namespace

bool ParseHotplugScript(std::string_view text, std::size_t boards,
                        std::vector<HotplugEvent>& events, std::string& error) {
    std::vector<HotplugEvent> parsed;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        HotplugEvent event;
        if (!ParseEvent(entry, boards, event)) {
            error = "hotplug entry '" + std::string(entry) +
                    "': expected SECONDS:+K or SECONDS:-K with K from 1 to " +
                    std::to_string(boards);
            return false;
        }
        parsed.push_back(event);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    std::stable_sort(parsed.begin(), parsed.end(),
                     [](const HotplugEvent& a, const HotplugEvent& b) { return a.at < b.at; });
    events = std::move(parsed);
    return true;
}

std::unique_ptr<MultiBoardPlatform> MultiBoardPlatform::Load(const std::filesystem::path& dir,
                                                             std::size_t count,
                                                             std::vector<HotplugEvent> script,
                                                             std::string& error) {
    std::unique_ptr<MultiBoardPlatform> platform(new MultiBoardPlatform());
    for (std::size_t board = 1; board <= count; ++board) {
        const std::filesystem::path boardDir = dir / ("board-" + std::to_string(board));
        std::error_code ignored;
        std::filesystem::create_directories(boardDir, ignored);
        const std::filesystem::path config = boardDir / "device.json";
        if (!std::filesystem::exists(config, ignored)) {
            SimConfig defaults;
            defaults.port = "1-" + std::to_string(board);
            char serial[16];
            std::snprintf(serial, sizeof serial, "SIM%04zu", board);
            defaults.serial = serial;
            if (!SaveSimConfig(config, defaults, error)) {
                return nullptr;
            }
        }
        auto slot = std::make_unique<Slot>();
        slot->device = SimDevice::Load(boardDir, error);
        if (!slot->device) {
            return nullptr;
        }
        slot->plugged = script.empty();
        platform->slots_.push_back(std::move(slot));
    }
    platform->script_ = std::move(script);
    platform->start_ = Clock::now();
    platform->Settle();
    return platform;
}

MultiBoardPlatform::Slot* MultiBoardPlatform::Find(const std::string& path) const {
    for (const auto& slot : slots_) {
        if (slot->device->Path() == path) {
            return slot.get();
        }
    }
    return nullptr;
}

std::unique_ptr<hid::HidInterfaceSet> MultiBoardPlatform::PresentInterfaces(std::string&) {
    std::vector<std::string> paths;
    for (const auto& slot : slots_) {
        if (slot->plugged.load() && slot->device->Present()) {
            paths.push_back(slot->device->Path());
        }
    }
    return std::make_unique<BoardPaths>(std::move(paths));
}

std::unique_ptr<hid::HidConnection> MultiBoardPlatform::Open(const std::string& path,
                                                             const hid::HidOpenOptions&,
                                                             std::string& error) {
    Slot* slot = Find(path);
    if (slot == nullptr || !slot->plugged.load() || !slot->device->Present()) {
        error = path + ": no such device";
        return nullptr;
    }
    return std::make_unique<PluggedConnection>(std::make_unique<SimConnection>(slot->device),
                                               slot->plugged, slot->plugCount, path);
}

hid::BoardLocation MultiBoardPlatform::Locate(const std::string& path) {
    const Slot* slot = Find(path);
    if (slot == nullptr) {
        return {};
    }
    return {slot->device->Config().port, slot->device->Config().serial};
}

std::optional<hid::HotplugMonitor::Clock::time_point> MultiBoardPlatform::NextChangeDue() const {
    if (nextEvent_ >= script_.size()) {
        return std::nullopt;
    }
    return start_ + script_[nextEvent_].at;
}

void MultiBoardPlatform::Settle() {
    const auto now = Clock::now();
    while (nextEvent_ < script_.size() && start_ + script_[nextEvent_].at <= now) {
        SetPlugged(script_[nextEvent_].board, script_[nextEvent_].plug);
        ++nextEvent_;
    }
}

std::uint64_t MultiBoardPlatform::PlugGeneration(const std::string& path) const {
    const Slot* slot = Find(path);
    return slot == nullptr ? 0 : slot->plugCount.load();
}

void MultiBoardPlatform::SetPlugged(std::size_t board, bool plugged) {
    Slot& slot = *slots_.at(board - 1);
    if (plugged && !slot.plugged.load()) {
        slot.plugCount.fetch_add(1);
    }
    slot.plugged.store(plugged);
}

}  // namespace brimlo::sim
