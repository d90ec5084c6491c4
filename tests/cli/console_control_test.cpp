// The console's control events on Windows, through the handler the console calls: Ctrl+C and
// Ctrl+Break count as Ctrl+C does; the console closed, logging off and shutting down stop the
// run at once, and the handler keeps the process alive until the run has ended.

#include <gtest/gtest.h>

#include "cli/console_control_windows.h"
#include "cli/flash_interrupt.h"

namespace brimlo::cli {
namespace {

int waits = 0;
bool stopRequestedWhenWaiting = false;
StopRequest* watched = nullptr;

void RecordWait() {
    ++waits;
    stopRequestedWhenWaiting = watched != nullptr && watched->Requested();
}

TEST(ConsoleControl, CtrlCAndCtrlBreakCountClosingEventsStopAtOnce) {
    {
        // A burn: the first press only warns, the second stops.
        StopRequest stop;
        const InterruptGuard guard(stop, 2);
        waits = 0;
        EXPECT_TRUE(HandleConsoleControl(CTRL_BREAK_EVENT, RecordWait));
        EXPECT_FALSE(stop.Requested());
        EXPECT_TRUE(HandleConsoleControl(CTRL_C_EVENT, RecordWait));
        EXPECT_TRUE(stop.Requested());
        EXPECT_EQ(guard.ExitCode(), kExitInterrupted);
        EXPECT_EQ(waits, 0) << "Ctrl+C returns to the console at once";
    }
    struct Closing {
        DWORD event;
        int exitCode;
    };
    for (const Closing closing : {Closing{CTRL_CLOSE_EVENT, 129}, Closing{CTRL_LOGOFF_EVENT, 143},
                                  Closing{CTRL_SHUTDOWN_EVENT, 143}}) {
        // Even a burn, which would wait for a second Ctrl+C, stops at the first: Windows ends
        // the process a few seconds later whatever it does.
        StopRequest stop;
        const InterruptGuard guard(stop, 2);
        watched = &stop;
        waits = 0;
        EXPECT_TRUE(HandleConsoleControl(closing.event, RecordWait));
        EXPECT_EQ(waits, 1) << closing.event;
        EXPECT_TRUE(stopRequestedWhenWaiting) << closing.event;
        EXPECT_EQ(guard.ExitCode(), closing.exitCode) << closing.event;
        watched = nullptr;
    }
    // Without a run to stop, a closing console still waits for the process to end; an event
    // the handler does not know goes to the next handler.
    waits = 0;
    EXPECT_TRUE(HandleConsoleControl(CTRL_CLOSE_EVENT, RecordWait));
    EXPECT_EQ(waits, 1);
    EXPECT_FALSE(HandleConsoleControl(42, RecordWait));
}

}  // namespace
}  // namespace brimlo::cli
