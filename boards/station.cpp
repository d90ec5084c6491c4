#include "boards/station.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <thread>

#include "hid/event_wait.h"

namespace brimlo::boards {
namespace {

struct Job {
    Board board;
    std::uint64_t plug = 0;  // the board's plug generation when it was listed
    BoardStatus status;
    BoardReport report;
    std::atomic<bool> ended{false};
    bool reported = false;  // Finished was told
    std::jthread thread;
};

// Whether the board of `job` is still the plug it was started on: listed under its name and
// path, and not unplugged in between, however quickly it came back.
bool SamePlug(const Job& job, const std::vector<Board>& boards,
              const hid::HotplugMonitor& hotplug) {
    return hotplug.PlugGeneration(job.board.path) == job.plug &&
           std::any_of(boards.begin(), boards.end(), [&](const Board& board) {
               return board.Name() == job.board.Name() && board.path == job.board.path;
           });
}

}  // namespace

bool RunStation(hid::HidPlatform& platform, hid::HotplugMonitor& hotplug,
                const StationOptions& options, StationEvents& events, const StopRequest& finish,
                const StopRequest& abort, std::vector<BoardReport>& reports, std::string& error) {
    const hid::InterruptHeld held;  // before any job starts, so the jobs hold it too
    hid::EventWait wait;
    // By the board's name, one plug at a time: a board unplugged and put back in the same
    // socket is a new plug, worked on and reported again.
    std::map<std::string, std::unique_ptr<Job>> jobs;
    std::size_t counted = 0;
    bool aborted = false;
    bool relist = true;
    std::vector<Board> boards;
    for (;;) {
        std::size_t running = 0;
        for (auto& [name, job] : jobs) {
            if (job->ended.load() && !job->reported) {
                job->thread.join();
                job->reported = true;
                // Failed on a board that was replugged meanwhile: its cable's doing, although
                // the board was back when the job looked.
                if (job->report.result != JobResult::Ok &&
                    job->report.result != JobResult::Stopped &&
                    hotplug.PlugGeneration(job->board.path) != job->plug) {
                    job->report.result = JobResult::Unplugged;
                }
                counted += job->report.result == JobResult::Ok ? 1 : 0;
                events.Finished(job->report);
                reports.push_back(job->report);
            }
            running += job->reported ? 0 : 1;
        }
        if (abort.Requested() && !aborted) {
            aborted = true;
            for (auto& [name, job] : jobs) {
                job->status.StopNow();
            }
        }
        const bool full = options.count != 0 && counted + running >= options.count;
        if (running == 0 &&
            (finish.Requested() || (options.count != 0 && counted >= options.count))) {
            return true;
        }

        if (relist) {
            if (!ListMatchingBoards(platform, options.jobSpec.vendorId, options.jobSpec.productId,
                                    boards, error)) {
                for (auto& [name, job] : jobs) {
                    job->status.StopNow();
                }
                return false;
            }
            boards = FilterBoards(boards, options.filter);
        }
        for (auto it = jobs.begin(); it != jobs.end();) {
            if (it->second->reported && !SamePlug(*it->second, boards, hotplug)) {
                events.Left(it->second->board);
                it = jobs.erase(it);
            } else {
                ++it;
            }
        }
        std::size_t starting = 0;
        for (const Board& board : boards) {
            if (finish.Requested() || full ||
                (options.count != 0 && counted + running + starting >= options.count) ||
                jobs.contains(board.Name())) {
                continue;
            }
            auto job = std::make_unique<Job>();
            job->board = board;
            job->plug = hotplug.PlugGeneration(board.path);
            job->status.StopBeforeNextRegion(&finish);
            Job* raw = job.get();
            events.Started(board, raw->status);
            raw->thread = std::jthread([&platform, &options, &wait, raw] {
                raw->report = RunBoardJob(platform, raw->board, options.jobSpec, std::string(),
                                          raw->status, raw->status.Stop());
                raw->ended.store(true);
                wait.Wake();
            });
            jobs.emplace(board.Name(), std::move(job));
            ++starting;
        }
        running += starting;
        events.Waiting(running);
        std::optional<hid::HotplugMonitor::Clock::time_point> redraw;
        if (running > 0) {
            events.Redraw();
            redraw = hid::HotplugMonitor::Clock::now() + options.redraw;
        }
        // A redraw tick lists nothing: the boards change only with a hotplug event.
        relist = wait.Wait(hotplug, held, redraw);
    }
}

}  // namespace brimlo::boards
