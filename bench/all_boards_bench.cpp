// Wall time of one burn job on 4 emulated boards at once (--all) against the same job on one
// board alone, each board answering every report 1 ms late, as a USB board does.
//   all_boards_bench [--boards N] [--latency-us U] [--image-kb K]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>

#include "boards/board_list.h"
#include "boards/parallel_jobs.h"
#include "hid/debug_output.h"
#include "sim/multi_board.h"

namespace {

using namespace brimlo;
using Clock = std::chrono::steady_clock;

class Quiet final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    Quiet quiet;
    hid::SetDebugSink(&quiet);
    std::size_t count = 4;
    std::uint32_t latencyUs = 1000;
    std::size_t imageKb = 1024;
    for (int i = 1; i + 1 < argc; i += 2) {
        const unsigned long value = std::strtoul(argv[i + 1], nullptr, 0);
        if (std::strcmp(argv[i], "--boards") == 0) {
            count = value;
        } else if (std::strcmp(argv[i], "--latency-us") == 0) {
            latencyUs = static_cast<std::uint32_t>(value);
        } else if (std::strcmp(argv[i], "--image-kb") == 0) {
            imageKb = value;
        }
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("brimlo-all-boards-bench-" + std::to_string(::getpid()));
    std::string error;
    auto platform = sim::MultiBoardPlatform::Load(dir, count, {}, error);
    if (!platform) {
        std::fprintf(stderr, "all_boards_bench: %s\n", error.c_str());
        return 1;
    }
    sim::SimFaults faults;
    faults.latencyUs = latencyUs;
    for (std::size_t board = 1; board <= count; ++board) {
        platform->Board(board).SetFaults(faults);
    }
    auto image = std::make_shared<flash::BurnImage>();
    image->bytes.resize(imageKb * 1024);
    for (std::size_t i = 0; i < image->bytes.size(); ++i) {
        image->bytes[i] = static_cast<std::uint8_t>(i * 13 + (i >> 12));
    }
    std::vector<boards::Board> list;
    if (!boards::ListMatchingBoards(*platform, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, list,
                                    error) ||
        list.size() != count) {
        std::fprintf(stderr, "all_boards_bench: the boards are not all listed\n");
        return 1;
    }
    const boards::JobSpec jobSpec{
        boards::JobKind::Burn, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, image, {}, false, false};

    const auto run = [&](std::size_t boardsUsed) {
        std::deque<boards::BoardStatus> statuses(boardsUsed);
        const auto start = Clock::now();
        const auto reports = boards::RunInParallel(
            boardsUsed,
            [&](std::size_t i) {
                return boards::RunBoardJob(*platform, list[i], jobSpec, "", statuses[i], nullptr);
            },
            nullptr, std::chrono::milliseconds(100));
        const double seconds = Seconds(Clock::now() - start);
        for (const auto& report : reports) {
            if (report.result != boards::JobResult::Ok) {
                std::fprintf(stderr, "all_boards_bench: %s failed: %s\n",
                             report.board.Name().c_str(), report.message.c_str());
                return -1.0;
            }
        }
        return seconds;
    };
    // Every board's flash file mapped and touched once first, so neither timed run pays for it.
    const double warmUp = run(count);
    const double one = run(1);
    const double all = run(count);
    std::filesystem::remove_all(dir);
    if (warmUp < 0 || one < 0 || all < 0) {
        return 1;
    }
    std::printf("burn of %zu KB, %u us per report\n", imageKb, latencyUs);
    std::printf("one board alone: %.2f s\n", one);
    std::printf("%zu boards at once: %.2f s (%.2fx one board)\n", count, all, all / one);
    return 0;
}
