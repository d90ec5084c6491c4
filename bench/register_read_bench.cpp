// Register reads on the emulated device through the library, the yardstick of the Python
// module's benchmark (register_read_bench.py): COUNT reads of register 0x54, five times; the
// time per read of the fastest round, as timeit takes it (the others met other work).
//
//   register_read_bench STATE_DIR COUNT

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "commands/uvc_hid_device.h"
#include "session/platform_stack.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atol(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: register_read_bench STATE_DIR COUNT\n");
        return 2;
    }
    const long count = std::atol(argv[2]);
    brimlo::session::StackOptions options;
    options.simulate = true;
    options.simState = argv[1];
    brimlo::session::StackError error;
    const auto stack = brimlo::session::PlatformStack::Create(options, error);
    if (!stack) {
        std::fprintf(stderr, "register_read_bench: %s\n", error.message.c_str());
        return 1;
    }
    brimlo::UvcHidDevice device(stack->Platform());
    const brimlo::OpenResult opened = device.Open(BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID);
    if (opened.status != brimlo::OpenStatus::Opened) {
        std::fprintf(stderr, "register_read_bench: %s\n", opened.message.c_str());
        return 1;
    }
    std::uint32_t value = 0;
    const auto read = [&] {
        if (!device.RegisterAccess(brimlo::kRegisterRead, 0x54, value)) {
            std::fprintf(stderr, "register_read_bench: %s\n", device.LastError().c_str());
            std::exit(1);
        }
    };
    for (int i = 0; i < 100; ++i) {
        read();
    }
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < count; ++i) {
            read();
        }
        const std::chrono::duration<double, std::micro> elapsed =
            std::chrono::steady_clock::now() - start;
        best = round == 0 ? elapsed.count() : std::min(best, elapsed.count());
    }
    std::printf("%.3f\n", best / count);
    return 0;
}
