// Ctrl+C as SIGINT: the guard counts the presses, requests the stop from the press the run
// asked for, and gives SIGINT back to the handler it replaced.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>

#include "cli/flash_interrupt.h"

namespace brimlo::cli {
namespace {

std::atomic<int> previousCalls{0};
void Previous(int) {
    previousCalls.fetch_add(1);
}

TEST(InterruptGuard, StopsAtTheAskedPressAndRestoresThePreviousHandler) {
    struct sigaction saved {};
    struct sigaction previous {};
    previous.sa_handler = Previous;
    sigemptyset(&previous.sa_mask);
    sigaction(SIGINT, &previous, &saved);
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 2);
        ::raise(SIGINT);
        EXPECT_EQ(guard.Count(), 1);
        EXPECT_FALSE(stop.Requested()) << "a burn only warns at the first press";
        ::raise(SIGINT);
        EXPECT_EQ(guard.Count(), 2);
        EXPECT_TRUE(stop.Requested());
        EXPECT_EQ(previousCalls.load(), 0) << "the guard's handler replaced the previous one";
    }
    ::raise(SIGINT);
    EXPECT_EQ(previousCalls.load(), 1) << "restored when the guard went";
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 1);
        EXPECT_EQ(guard.Count(), 0) << "each guard counts from zero";
        ::raise(SIGINT);
        EXPECT_TRUE(stop.Requested());
    }
    sigaction(SIGINT, &saved, nullptr);
}

}  // namespace
}  // namespace brimlo::cli
