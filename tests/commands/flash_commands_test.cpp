#include <gtest/gtest.h>

#include <thread>

#include "capture_debug.h"
#include "commands/uvc_hid_device.h"
#include "fake_hid_platform.h"

namespace brimlo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using hid::testing::FakeHidPlatform;
using hid::testing::VendorDescriptor;

constexpr std::size_t kChunk = 4096;

class RecordingProgress final : public FlashProgress {
  public:
    void StatusChanged(std::string_view status) override { statuses.emplace_back(status); }
    void BurstStarted(std::uint32_t total) override { totals.push_back(total); }
    void BytesDone(std::uint32_t done) override { dones.push_back(done); }
    std::vector<std::string> statuses;
    std::vector<std::uint32_t> totals;
    std::vector<std::uint32_t> dones;
};

class ShortSink final : public FlashChunkSink {
  public:
    explicit ShortSink(std::size_t capacity) : capacity_(capacity) {}
    std::size_t Write(std::span<const std::uint8_t> chunk) override {
        const std::size_t n = std::min(chunk.size(), capacity_ - data.size());
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    Bytes data;

  private:
    std::size_t capacity_;
};

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    }
    return bytes;
}

class FlashCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.interfaces = {
            {"dev", 0x1209, 0x0001, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})}};
        ASSERT_EQ(device.Open(0x1209, 0x0001).status, OpenStatus::Opened);
        ASSERT_EQ(device.ChunkSize(), kChunk);
    }

    Bytes Head(std::size_t report, std::size_t n) {
        const Bytes& sent = platform.log.sent.at(report);
        return Bytes(sent.begin() + 1, sent.begin() + 1 + static_cast<std::ptrdiff_t>(n));
    }

    // Queues the flash's answers for a read of `bytes`, one chunk per report.
    void QueueFlash(const Bytes& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, bytes.size() - at);
            Bytes reply(4100, 0);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, reply.begin());
            platform.log.replies.push_back(reply);
        }
    }

    FakeHidPlatform platform;
    UvcHidDevice device{platform};
};

TEST_F(FlashCommandsTest, SetUpOnlySendsModeAddressAndLength) {
    ASSERT_TRUE(device.FlashAccess(AP_FLASH_BURST_LATER, kAccessEntireFlash, 0, 0x800000));
    ASSERT_EQ(platform.log.sent.size(), 2u);
    EXPECT_EQ(Head(0, 7), (Bytes{0x07, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Head(1, 6), (Bytes{0x06, 0x05, 0x00, 0x00, 0x80, 0x00}));
    EXPECT_TRUE(platform.log.reads.empty());
}

TEST_F(FlashCommandsTest, FlagSectorWriteIsOneFullDataReport) {
    Bytes flag = Pattern(4096, 3);
    ASSERT_TRUE(device.FlashAccess(AP_FLASH_WRITE, kAccessFlagSector, 0x70000, 4096, flag));
    ASSERT_EQ(platform.log.sent.size(), 3u);
    EXPECT_EQ(Head(0, 7), (Bytes{0x07, 0x03, 0x02, 0x00, 0x00, 0x07, 0x00}));
    EXPECT_EQ(Head(1, 6), (Bytes{0x06, 0x05, 0x00, 0x10, 0x00, 0x00}));
    const Bytes& data = platform.log.sent[2];
    ASSERT_EQ(data.size(), 4100u);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(Bytes(data.begin() + 1, data.begin() + 4), (Bytes{0, 0, 0}));
    EXPECT_EQ(Bytes(data.begin() + 4, data.end()), flag);

    QueueFlash(flag);
    Bytes readBack(4096, 0);
    ASSERT_TRUE(device.FlashAccess(AP_FLASH_READ, kAccessFlagSector, 0x70000, 4096, readBack));
    EXPECT_EQ(readBack, flag);
    ASSERT_FALSE(platform.log.reads.empty());
    EXPECT_EQ(platform.log.reads.back(), std::make_pair(std::uint8_t{1}, std::uint32_t{4100}));
}

TEST_F(FlashCommandsTest, ChipIndexIsALittleEndianAnswerToAReadWithCode4) {
    platform.log.replies.push_back({0x20, 0x00, 0x99});
    std::uint16_t index = 0xFFFF;
    ASSERT_TRUE(device.ReadFlashChipIndex(index));
    EXPECT_EQ(index, 32);
    EXPECT_TRUE(platform.log.sent.empty());
    ASSERT_FALSE(platform.log.reads.empty());
    EXPECT_EQ(platform.log.reads.back(), std::make_pair(std::uint8_t{2}, std::uint32_t{0x440}));
    EXPECT_FALSE(device.ReadFlashChipIndex(index));  // no answer queued
    EXPECT_EQ(index, 32);
}

TEST_F(FlashCommandsTest, EmptyBurstExchangesNothingAndEndsWaiting) {
    RecordingProgress progress;
    std::uint32_t done = 99;
    EXPECT_EQ(device.FlashBurst(kBurstWrite, 0, {}, 0, done, {&progress}), 0u);
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(platform.log.sent.empty());
    EXPECT_EQ(progress.totals, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Status: Write", "Status: Wait"}));
}

TEST_F(FlashCommandsTest, WriteBurstPadsTheLastChunkWithZeros) {
    const Bytes image = Pattern(2 * kChunk + 100, 9);
    RecordingProgress progress;
    std::uint32_t done = 0;
    ASSERT_EQ(device.FlashBurst(kBurstWrite, static_cast<std::uint32_t>(image.size()), image, 0,
                                done, {&progress}),
              0u);
    EXPECT_EQ(done, image.size());
    ASSERT_EQ(platform.log.sent.size(), 3u);
    const Bytes& last = platform.log.sent[2];
    ASSERT_EQ(last.size(), 4100u);
    EXPECT_TRUE(std::equal(image.end() - 100, image.end(), last.begin() + 4));
    EXPECT_TRUE(std::all_of(last.begin() + 104, last.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(progress.dones, (std::vector<std::uint32_t>{4096, 8192, 8292}));
}

TEST_F(FlashCommandsTest, CompareStopsAtTheFirstDifferingChunk) {
    const std::uint32_t base = 0x180000;
    Bytes image(base + 5 * kChunk, 0);
    const Bytes content = Pattern(5 * kChunk, 1);
    std::copy(content.begin(), content.end(), image.begin() + base);
    Bytes flash = content;
    flash[2 * kChunk + 10] ^= 0x40;
    QueueFlash(flash);

    testing::CaptureDebug debug;
    std::uint32_t done = 0;
    const std::uint32_t left = device.FlashBurst(kBurstCompare, 5 * kChunk, image, base, done);
    EXPECT_EQ(left, 3 * kChunk);
    EXPECT_EQ(done, 2 * kChunk);
    EXPECT_EQ(platform.log.reads.size(), 3u);
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines.back(),
              "FlashWrite -- Compare data fail, data(0x00182000~0x00183000) \n");
}

TEST_F(FlashCommandsTest, VerifyReadsOnAndCountsEveryDifference) {
    const Bytes image = Pattern(3 * kChunk, 5);
    Bytes flash = image;
    flash[100] = static_cast<std::uint8_t>(~flash[100]);
    flash[2 * kChunk + 1] ^= 1;
    flash[2 * kChunk + 2] ^= 1;
    QueueFlash(flash);
    CompareReport report;
    BurstOptions options;
    options.compare = &report;
    options.compareWholeRegion = true;
    std::uint32_t done = 0;
    EXPECT_EQ(device.FlashBurst(kBurstCompare, 3 * kChunk, image, 0, done, options), 3 * kChunk);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(platform.log.reads.size(), 3u);
    EXPECT_TRUE(report.mismatch);
    EXPECT_EQ(report.firstDifference, 100u);
    EXPECT_EQ(report.expected, image[100]);
    EXPECT_EQ(report.found, flash[100]);
    EXPECT_EQ(report.differingBytes, 3u);
}

TEST_F(FlashCommandsTest, ShortFlashAnswerStopsTheDumpWithOneDebugLine) {
    QueueFlash(Pattern(kChunk, 4));
    platform.log.replies.push_back(Bytes(2048, 0x5A));  // half a chunk
    ShortSink sink(4 * kChunk);
    BurstOptions options;
    options.sink = &sink;
    testing::CaptureDebug debug;
    std::uint32_t done = 0;
    EXPECT_EQ(device.FlashBurst(kBurstReadToSink, 3 * kChunk, {}, 0, done, options), 2 * kChunk);
    EXPECT_EQ(sink.data.size(), kChunk);
    EXPECT_EQ(
        debug.lines,
        (std::vector<std::string>{"Unknown error: Couldn't execute BURST_FLASH_READ function\n"}));
}

TEST_F(FlashCommandsTest, DumpStopsWhenTheSinkTakesLessThanAChunk) {
    const Bytes flash = Pattern(3 * kChunk, 2);
    QueueFlash(flash);
    ShortSink sink(kChunk + 10);
    BurstOptions options;
    options.sink = &sink;
    testing::CaptureDebug debug;
    std::uint32_t done = 0;
    EXPECT_EQ(device.FlashBurst(kBurstReadToSink, 3 * kChunk, {}, 0, done, options), 2 * kChunk);
    EXPECT_EQ(done, kChunk);
    EXPECT_EQ(sink.data, Bytes(flash.begin(), flash.begin() + kChunk + 10));
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines.back(), "FlashRead -- Read data fail, data(0x00001000~0x00002000) \n");
}

// A stop requested while a report is in flight lets that report finish: the burst ends at the
// next report boundary, with the bytes of the finished reports counted and nothing more sent.
TEST_F(FlashCommandsTest, StopEndsTheBurstAtTheNextReportBoundary) {
    struct StopAfter final : FlashProgress {
        void StatusChanged(std::string_view) override {}
        void BurstStarted(std::uint32_t) override {}
        void BytesDone(std::uint32_t done) override {
            if (done >= 2 * kChunk) {
                stop.Request();
            }
        }
        StopRequest stop;
    };
    const Bytes image = Pattern(5 * kChunk, 6);
    StopAfter progress;
    std::uint32_t done = 0;
    EXPECT_EQ(device.FlashBurst(kBurstWrite, 5 * kChunk, image, 0, done,
                                {.progress = &progress, .stop = &progress.stop}),
              3 * kChunk);
    EXPECT_EQ(done, 2 * kChunk);
    EXPECT_EQ(platform.log.sent.size(), 2u);
    EXPECT_NE(device.LastError().find("Stopped on request"), std::string::npos);

    // A request made before the burst starts sends nothing; once cleared, the burst runs.
    platform.log.sent.clear();
    EXPECT_EQ(device.FlashBurst(kBurstWrite, kChunk, image, 0, done, {.stop = &progress.stop}),
              kChunk);
    EXPECT_TRUE(platform.log.sent.empty());
    progress.stop.Clear();
    EXPECT_EQ(device.FlashBurst(kBurstWrite, kChunk, image, 0, done, {.stop = &progress.stop}), 0u);
}

// Flash input reports shorter than a chunk cannot carry a read-back: the device says so, and a
// compare or dump burst is refused before anything is exchanged.
TEST_F(FlashCommandsTest, ShortFlashInputReportsRefuseReadBackBursts) {
    EXPECT_EQ(device.ReadBackProblem(), "");
    FakeHidPlatform shortInput;
    shortInput.interfaces = {
        {"dev", 0x1209, 0x0001, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {1024, 64, 64})}};
    UvcHidDevice uneven{shortInput};
    ASSERT_EQ(uneven.Open(0x1209, 0x0001).status, OpenStatus::Opened);
    EXPECT_NE(uneven.ReadBackProblem().find("carry 1024 bytes, fewer than the 4096"),
              std::string::npos)
        << uneven.ReadBackProblem();
    const Bytes image = Pattern(kChunk, 1);
    ShortSink sink(kChunk);
    std::uint32_t done = 0;
    EXPECT_EQ(uneven.FlashBurst(kBurstCompare, kChunk, image, 0, done), kChunk);
    EXPECT_EQ(uneven.FlashBurst(kBurstReadToSink, kChunk, {}, 0, done, {.sink = &sink}), kChunk);
    EXPECT_TRUE(shortInput.log.reads.empty());
    EXPECT_EQ(uneven.LastError(), uneven.ReadBackProblem());
}

TEST_F(FlashCommandsTest, BurstBeyondTheImageIsRefusedBeforeAnythingIsSent) {
    const Bytes image(1000, 0xAB);
    std::uint32_t done = 0;
    EXPECT_EQ(device.FlashBurst(kBurstWrite, 1000, image, 1, done), 1000u);
    EXPECT_TRUE(platform.log.sent.empty());
    Bytes tooBig(4097, 0);
    EXPECT_FALSE(device.FlashAccess(AP_FLASH_WRITE, kAccessFlagSector, 0x70000, 4097, tooBig));
    EXPECT_TRUE(platform.log.sent.empty());
}

TEST_F(FlashCommandsTest, CommandsFromOtherThreadsAreBusyWhileALongRunHoldsTheDevice) {
    auto exclusive = device.LockExclusive();
    bool refused = false;
    std::string error;
    std::thread other([&] {
        std::uint32_t value = 0;
        refused = !device.RegisterAccess(kRegisterRead, 0x54, value);
        error = device.LastError();
    });
    other.join();
    EXPECT_TRUE(refused);
    EXPECT_NE(error.find("busy"), std::string::npos);
    EXPECT_TRUE(device.FlashAccess(AP_FLASH_BURST_LATER, kAccessEntireFlash, 0, 16));
}

}  // namespace
}  // namespace brimlo
