// Ctrl+C as SIGINT, and SIGTERM and SIGHUP taken the same way: the guard counts them, requests
// the stop from the one the run asked for, names the exit code of the last, and gives each
// signal back to the handler it replaced.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstring>

#include "cli/flash_interrupt.h"

namespace brimlo::cli {
namespace {

std::atomic<int> previousCalls{0};
void Previous(int) {
    previousCalls.fetch_add(1);
}

class InterruptGuardTest : public ::testing::TestWithParam<int> {};

TEST_P(InterruptGuardTest, StopsAtTheAskedSignalAndRestoresThePreviousHandler) {
    const int signal = GetParam();
    // The other kind, so that a run stopped by a mix reports the one that stopped it.
    const int other = signal == SIGINT ? SIGTERM : SIGINT;
    struct sigaction saved[2]{};
    struct sigaction previous {};
    previous.sa_handler = Previous;
    sigemptyset(&previous.sa_mask);
    sigaction(signal, &previous, &saved[0]);
    sigaction(other, &previous, &saved[1]);
    previousCalls.store(0);
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 2);
        ::raise(other);
        EXPECT_EQ(guard.Count(), 1);
        EXPECT_FALSE(stop.Requested()) << "a burn only warns at the first";
        ::raise(signal);
        EXPECT_EQ(guard.Count(), 2);
        EXPECT_TRUE(stop.Requested());
        EXPECT_EQ(guard.ExitCode(), 128 + signal);
        EXPECT_EQ(previousCalls.load(), 0) << "the guard's handler replaced the previous one";
    }
    ::raise(signal);
    ::raise(other);
    EXPECT_EQ(previousCalls.load(), 2) << "restored when the guard went";
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 1);
        EXPECT_EQ(guard.Count(), 0) << "each guard counts from zero";
        ::raise(signal);
        EXPECT_TRUE(stop.Requested());
        EXPECT_EQ(guard.ExitCode(), 128 + signal);
    }
    sigaction(signal, &saved[0], nullptr);
    sigaction(other, &saved[1], nullptr);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptGuardTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

}  // namespace
}  // namespace brimlo::cli
