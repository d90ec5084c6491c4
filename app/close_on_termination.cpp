#include "app/close_on_termination.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDialog>
#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "hid/debug_output.h"

namespace brimlo::app {
namespace {

constexpr std::array<int, 2> kSignals{SIGTERM, SIGHUP};

// The handler may interrupt any thread at any point: it only writes a byte into the pipe,
// whose other end the window's thread watches.
std::atomic<int> writeFd{-1};
static_assert(decltype(writeFd)::is_always_lock_free);
std::array<struct sigaction, kSignals.size()> previous{};
std::array<bool, kSignals.size()> caught{};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request that has not been read.
    [[maybe_unused]] const ssize_t written = ::write(writeFd.load(), &byte, 1);
    errno = saved;
}

}  // namespace

CloseOnTermination::CloseOnTermination(QDialog& window) : window_(window) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        hid::DebugPrintf("SIGTERM and SIGHUP end the program at once: no pipe (%s)\n",
                         std::strerror(errno));
        return;
    }
    readFd_ = fds[0];
    writeFd.store(fds[1]);
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseOnTermination::OnSignalled);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Exchanges with the device and writes to the dump file carry on where they were.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], nullptr, &previous[i]);
        caught[i] = previous[i].sa_handler != SIG_IGN;
        if (caught[i]) {
            sigaction(kSignals[i], &action, nullptr);
        }
    }
}

CloseOnTermination::~CloseOnTermination() {
    if (readFd_ < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (caught[i]) {
            sigaction(kSignals[i], &previous[i], nullptr);
        }
    }
    delete notifier_;  // before the descriptor it watches
    ::close(writeFd.exchange(-1));
    ::close(readFd_);
}

void CloseOnTermination::OnSignalled() {
    char bytes[16];
    while (::read(readFd_, bytes, sizeof bytes) > 0) {
    }
    // As a posted close request: a box the close path shows runs its own loop, which must not
    // run inside this notifier's call.
    QMetaObject::invokeMethod(&window_, &QDialog::reject, Qt::QueuedConnection);
}

}  // namespace brimlo::app
