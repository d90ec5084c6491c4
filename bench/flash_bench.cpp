// Burns, verifies and dumps an 8 MB image through the emulated device in memory, with no
// latency, and shows per burst the throughput and the CPU time per chunk spent by the host
// (framing, copying, comparing) apart from the emulated device. With the device's time taken
// out, what is left is what the host adds to every report.
//
//   flash_bench [--quick] [--repeat N]
// --quick runs once and checks the results, for a test run that takes a second or two.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/burst_recorder.h"
#include "bench/timing_platform.h"
#include "flash/burn_sequence.h"
#include "flash/dump_sequence.h"
#include "flash/verify_sequence.h"
#include "hid/debug_output.h"
#include "sim/sim_platform.h"

namespace {

using namespace brimlo;
using namespace brimlo::flash;

constexpr std::uint32_t kImageSize = 8 * 1024 * 1024;

// Debug lines would be written while the clock runs.
class NoDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};

class SilentBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view, MessageIcon icon) override {
        if (icon != MessageIcon::Information) {
            std::fprintf(stderr, "flash_bench: %.*s\n", static_cast<int>(text.size()), text.data());
        }
    }
};

// Keeps the dump in memory: one copy per chunk into a buffer sized up front.
class MemorySink final : public FlashChunkSink {
  public:
    explicit MemorySink(std::size_t size) : bytes(size) {}
    std::size_t Write(std::span<const std::uint8_t> chunk) override {
        const std::size_t n = std::min(chunk.size(), bytes.size() - used);
        std::memcpy(bytes.data() + used, chunk.data(), n);
        used += n;
        return n;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
};

std::vector<std::uint8_t> Image() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>((i * 13 + 7 + (i >> 9)) % 253 + 1);
    }
    return image;
}

// The cost of the clock reads around one exchange, charged to the host.
double TimerCostPerExchange() {
    constexpr int kRounds = 20000;
    const double start = bench::ThreadCpuSeconds();
    for (int i = 0; i < kRounds; ++i) {
        bench::WallSeconds();
        bench::ThreadCpuSeconds();
    }
    return 2 * (bench::ThreadCpuSeconds() - start) / kRounds;
}

void PrintTable(const std::vector<bench::BurstTimes>& bursts, std::size_t chunk) {
    std::printf("%-16s %9s %8s %9s %8s %14s %14s\n", "burst", "bytes", "reports", "wall ms", "MB/s",
                "host us/chunk", "device us/chunk");
    for (const bench::BurstTimes& b : bursts) {
        const double chunks = static_cast<double>((b.bytes + chunk - 1) / chunk);
        std::printf("%-16s %9u %8llu %9.1f %8.1f %14.2f %14.2f\n", b.label.c_str(), b.bytes,
                    static_cast<unsigned long long>(b.reports), b.wallSeconds * 1e3,
                    b.wallSeconds > 0 ? b.bytes / b.wallSeconds / 1e6 : 0.0,
                    b.hostCpuSeconds / chunks * 1e6, b.deviceCpuSeconds / chunks * 1e6);
    }
}

int Run(bool quick, int repeat) {
    sim::SimConfig config;
    config.chipRow = 4;  // 8 MB, 64 KB sectors
    std::string error;
    std::shared_ptr<sim::SimDevice> device = sim::SimDevice::Create(config, error);
    if (!device) {
        std::fprintf(stderr, "flash_bench: %s\n", error.c_str());
        return 1;
    }
    sim::SimPlatform simPlatform(device);
    bench::TimingPlatform platform(simPlatform);
    UvcHidDevice hid(platform);
    const OpenResult opened = hid.Open(config.vid, config.pid);
    FlashIdentity identity;
    if (opened.status != OpenStatus::Opened || !IdentifyFlash(hid, identity, error)) {
        std::fprintf(stderr, "flash_bench: %s\n",
                     opened.message.empty() ? error.c_str() : opened.message.c_str());
        return 1;
    }

    const std::vector<std::uint8_t> image = Image();
    SilentBoxes boxes;
    bench::BurstRecorder recorder(platform);
    FixedAreaChoice entire(BurnSelection{});
    bool ok = true;
    for (int round = 0; round < repeat; ++round) {
        recorder.BeginRun("burn");
        const BurnOutcome burn = RunBurn(hid, image, identity, entire, boxes, &recorder);
        recorder.BeginRun("verify");
        const VerifyOutcome verify = RunVerify(hid, image, identity, BurnSelection{}, &recorder);
        MemorySink sink(identity.flashSize);
        recorder.BeginRun("dump");
        const DumpOutcome dump = RunDump(hid, identity, sink, boxes, &recorder);
        ok = ok && burn.entireUpdated && verify.error.empty() && !verify.Differs() &&
             dump.completed && sink.bytes == image;
    }
    std::printf("8 MB image, %zu-byte chunks, emulated device in memory, no latency\n",
                hid.ChunkSize());
    PrintTable(recorder.Bursts(), hid.ChunkSize());
    std::printf("clock reads per exchange (counted as host): %.2f us\n",
                TimerCostPerExchange() * 1e6);
    if (!ok) {
        std::fprintf(stderr, "flash_bench: the burn, verify or dump did not give the image back\n");
        return 1;
    }
    if (quick) {
        std::printf("quick run: burn, verify and dump gave the image back\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: flash_bench [--quick] [--repeat N]\n");
            return 2;
        }
    }
    NoDebug noDebug;
    hid::SetDebugSink(&noDebug);
    const int code = Run(quick, quick ? 1 : repeat);
    hid::SetDebugSink(nullptr);
    return code;
}
