#include "hid/windows/event_wait.h"

#include <algorithm>
#include <chrono>

#include "hid/windows/windows_headers.h"

namespace brimlo::hid {
namespace {

// Auto-reset: one console event ends one wait, even when it came before the wait began.
HANDLE InterruptEvent() {
    static const HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

}  // namespace

void WakeInterruptedWaits() {
    ::SetEvent(InterruptEvent());
}

EventWait::EventWait() : wakeEvent_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

EventWait::~EventWait() {
    if (wakeEvent_ != nullptr) {
        ::CloseHandle(wakeEvent_);
    }
}

void EventWait::Wake() {
    ::SetEvent(wakeEvent_);
}

bool EventWait::Wait(HotplugMonitor& monitor, const InterruptHeld&,
                     std::optional<HotplugMonitor::Clock::time_point> deadline) {
    HANDLE handles[3] = {wakeEvent_, InterruptEvent(), monitor.EventHandle()};
    const DWORD count = handles[2] != nullptr ? 3 : 2;
    const std::optional<HotplugMonitor::Clock::time_point> change = monitor.NextChangeDue();
    std::optional<HotplugMonitor::Clock::time_point> due = change;
    if (deadline && (!due || *deadline < *due)) {
        due = deadline;
    }
    DWORD timeout = INFINITE;
    if (due) {
        const auto left =
            std::max(*due - HotplugMonitor::Clock::now(), HotplugMonitor::Clock::duration::zero());
        // Rounded up, so that the change is due when the wait ends.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        timeout = static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1));
    }
    const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, timeout);
    bool changed = woken == WAIT_OBJECT_0 || (count == 3 && woken == WAIT_OBJECT_0 + 2);
    changed = changed || (change && HotplugMonitor::Clock::now() >= *change);
    monitor.Settle();
    return changed;
}

}  // namespace brimlo::hid
