#include "boards/board_status.h"

namespace brimlo::boards {
namespace {

// "Status: Write" -> "Write".
std::string_view Verb(std::string_view status) {
    constexpr std::string_view prefix = "Status: ";
    return status.starts_with(prefix) ? status.substr(prefix.size()) : status;
}

}  // namespace

void BoardStatus::SetPhase(std::string phase) {
    const std::lock_guard lock(mutex_);
    now_ = Snapshot{std::move(phase)};
}

BoardStatus::Snapshot BoardStatus::Read() const {
    const std::lock_guard lock(mutex_);
    return now_;
}

void BoardStatus::RegionStarted(std::string_view region) {
    if (finish_ != nullptr && finish_->Requested()) {
        stop_.Request();
    }
    const std::lock_guard lock(mutex_);
    region_ = region;
}

void BoardStatus::StatusChanged(std::string_view status) {
    const std::lock_guard lock(mutex_);
    now_.phase = std::string(Verb(status)) + (region_.empty() ? "" : " " + region_);
}

void BoardStatus::BurstStarted(std::uint32_t total) {
    const std::lock_guard lock(mutex_);
    now_.total = total;
    now_.done = 0;
    now_.bytesPerSecond = 0;
    burstStart_ = Clock::now();
}

void BoardStatus::BytesDone(std::uint32_t done) {
    const std::lock_guard lock(mutex_);
    now_.done = done;
    const double seconds = std::chrono::duration<double>(Clock::now() - burstStart_).count();
    now_.bytesPerSecond = seconds > 0 ? done / seconds : 0;
}

}  // namespace brimlo::boards
