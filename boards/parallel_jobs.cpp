#include "boards/parallel_jobs.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace brimlo::boards {

std::vector<BoardReport> RunInParallel(std::size_t count,
                                       const std::function<BoardReport(std::size_t)>& job,
                                       const std::function<void()>& tick,
                                       std::chrono::milliseconds interval) {
    std::vector<BoardReport> reports(count);
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t running = count;
    std::vector<std::jthread> threads;
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            BoardReport report = job(i);
            const std::lock_guard lock(mutex);
            reports[i] = std::move(report);
            --running;
            ended.notify_one();
        });
    }
    {
        std::unique_lock lock(mutex);
        while (!ended.wait_for(lock, interval, [&] { return running == 0; })) {
            if (tick) {
                lock.unlock();
                tick();
                lock.lock();
            }
        }
    }
    threads.clear();
    if (tick) {
        tick();
    }
    return reports;
}

}  // namespace brimlo::boards
