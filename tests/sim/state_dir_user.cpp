// The other process of the state directory suites, as a second command of the tool would be:
//   state_dir_user rounds DIR ROUNDS BASE COUNT   WriteRounds, then exits
//   state_dir_user hold DIR READY MS              loads, writes 7 to 0x3000, creates the file
//                                                 READY, holds the device MS ms, then exits
// Exit status 0 when all went well; the error on standard error otherwise. The suites pass
// temporary folders, whose names are plain ASCII, so arguments are taken as they come.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "state_dir_rounds.h"

namespace {

using brimlo::sim::SimDevice;

std::uint32_t Number(const char* text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

std::string Hold(const std::filesystem::path& dir, const std::filesystem::path& ready,
                 std::chrono::milliseconds hold) {
    std::string error;
    auto device = SimDevice::Load(dir, error);
    if (!device) {
        return error;
    }
    if (!brimlo::sim::testing::Wire(device).WriteRegister(0x3000, 7)) {
        return "the register write failed";
    }
    if (!std::ofstream(ready, std::ios::binary)) {
        return "cannot create " + ready.string();
    }
    std::this_thread::sleep_for(hold);  // a command still running
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::string error = "usage: state_dir_user rounds DIR ROUNDS BASE COUNT | hold DIR READY MS";
    if (mode == "rounds" && argc == 6) {
        error = brimlo::sim::testing::WriteRounds(argv[2], static_cast<int>(Number(argv[3])),
                                                  Number(argv[4]), Number(argv[5]));
    } else if (mode == "hold" && argc == 5) {
        error = Hold(argv[2], argv[3], std::chrono::milliseconds(Number(argv[4])));
    }
    if (!error.empty()) {
        std::fprintf(stderr, "state_dir_user: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
