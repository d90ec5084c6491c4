#include "hid/linux/event_wait.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace brimlo::hid {

EventWait::EventWait() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EventWait::~EventWait() {
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void EventWait::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

bool EventWait::Wait(HotplugMonitor& monitor, const InterruptHeld& held,
                     std::optional<HotplugMonitor::Clock::time_point> deadline) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {monitor.EventFd(), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    timespec timeout{};
    timespec* limit = nullptr;
    const std::optional<HotplugMonitor::Clock::time_point> change = monitor.NextChangeDue();
    std::optional<HotplugMonitor::Clock::time_point> due = change;
    if (deadline && (!due || *deadline < *due)) {
        due = deadline;
    }
    if (due) {
        const auto left =
            std::max(*due - HotplugMonitor::Clock::now(), HotplugMonitor::Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        limit = &timeout;
    }
    // A signal ends the wait with EINTR: the caller looks at what its handler recorded.
    bool changed = false;
    if (::ppoll(fds, count, limit, &held.WaitMask()) > 0) {
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t value = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &value, sizeof value);
            changed = true;
        }
        changed = changed || (count == 2 && fds[1].revents != 0);
    }
    changed = changed || (change && HotplugMonitor::Clock::now() >= *change);
    monitor.Settle();
    return changed;
}

InterruptHeld::InterruptHeld() {
    sigset_t interrupt;
    sigemptyset(&interrupt);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&interrupt, signal);
    }
    pthread_sigmask(SIG_BLOCK, &interrupt, &previous_);
    waitMask_ = previous_;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigdelset(&waitMask_, signal);
    }
}

InterruptHeld::~InterruptHeld() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace brimlo::hid
