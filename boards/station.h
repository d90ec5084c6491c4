#pragma once
// The production station: waits for boards, runs the job on each one as soon as it appears,
// all at once, and waits for the next. A board that is done is not worked on again until it
// has been unplugged; once back, however quickly, it is a new plug. Woken only by hotplug changes
// and ended jobs (and a redraw timer while jobs run), never by polling the bus.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "boards/board_job.h"
#include "boards/board_list.h"
#include "boards/board_status.h"
#include "commands/stop_request.h"
#include "hid/hid_platform.h"
#include "hid/hotplug_monitor.h"

namespace brimlo::boards {

struct StationOptions {
    JobSpec jobSpec;
    BoardFilter filter;
    std::size_t count = 0;  // stop after this many boards whose job succeeded; 0: never
    std::chrono::milliseconds redraw{100};
};

// Told what happens, on the station's thread.
class StationEvents {
  public:
    virtual ~StationEvents() = default;
    virtual void Waiting(std::size_t running) = 0;  // listed the boards; `running` jobs run
    virtual void Started(const Board& board, const BoardStatus& status) = 0;
    virtual void Finished(const BoardReport& report) = 0;
    virtual void Left(const Board& board) = 0;  // a finished board was unplugged
    virtual void Redraw() = 0;                  // while jobs run, every `redraw`
};

// Runs until `count` boards are done, or `finish` is requested (Ctrl+C: running jobs finish
// the region they are in) and the running jobs have ended; `abort` stops them at the next
// report. Takes SIGINT, SIGTERM and SIGHUP (Windows: console events) only while it waits. The
// reports of every job, in the order they ended. False, with `error` set, when the boards cannot be
// listed.
bool RunStation(hid::HidPlatform& platform, hid::HotplugMonitor& hotplug,
                const StationOptions& options, StationEvents& events, const StopRequest& finish,
                const StopRequest& abort, std::vector<BoardReport>& reports, std::string& error);

}  // namespace brimlo::boards
