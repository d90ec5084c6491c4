// The station on emulated boards plugged and unplugged by a script: each board worked on once
// while it stays plugged, one pulled mid-burn failing alone, Ctrl+C letting the running burn
// finish its region, and the log lines.

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "board_fixture.h"
#include "boards/sha256.h"
#include "boards/station.h"
#include "boards/station_log.h"
#include "sim/sim_config.h"

namespace {

using namespace brimlo::boards;
using brimlo::StopRequest;
using brimlo::testing::BoardsTest;
using Clock = std::chrono::steady_clock;

class Recorder final : public StationEvents {
  public:
    void Waiting(std::size_t) override {}
    void Started(const Board& board, const BoardStatus& status) override {
        started.push_back({board.port, Clock::now()});
        if (onStart) {
            onStart(status);
        }
    }
    void Finished(const BoardReport& report) override {
        finished.push_back(report);
        if (onFinish) {
            onFinish();
        }
    }
    void Left(const Board& board) override { left.push_back(board.port); }
    void Redraw() override { ++redraws; }

    std::vector<std::pair<std::string, Clock::time_point>> started;
    std::vector<BoardReport> finished;
    std::vector<std::string> left;
    int redraws = 0;
    std::function<void(const BoardStatus&)> onStart;
    std::function<void()> onFinish;
};

class StationTest : public BoardsTest {
  protected:
    void SlowBoards(std::uint32_t latencyUs) {
        brimlo::sim::SimFaults faults;
        faults.latencyUs = latencyUs;
        for (std::size_t board = 1; board <= platform->BoardCount(); ++board) {
            platform->Board(board).SetFaults(faults);
        }
    }
    bool Run(std::size_t count) {
        StationOptions options;
        options.jobSpec = {
            JobKind::Burn, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, burnImage, {}, true, false};
        options.count = count;
        std::string error;
        start = Clock::now();
        return RunStation(*platform, *platform, options, events, finish, abort, reports, error);
    }
    const BoardReport* ReportOf(const std::string& port) {
        for (const BoardReport& report : reports) {
            if (report.board.port == port) {
                return &report;
            }
        }
        return nullptr;
    }

    Recorder events;
    StopRequest finish;
    StopRequest abort;
    std::vector<BoardReport> reports;
    Clock::time_point start;
};

TEST_F(StationTest, BoardsPluggedOneAfterAnotherAndOnePulledMidBurn) {
    MakeBoards(4, "0:+1,0.15:+2,0.3:+3,0.5:-3,0.7:+4");
    SlowBoards(3000);
    ASSERT_TRUE(Run(3));
    ASSERT_EQ(reports.size(), 4u);
    for (const char* port : {"1-1", "1-2", "1-4"}) {
        const BoardReport* report = ReportOf(port);
        ASSERT_NE(report, nullptr) << port;
        EXPECT_EQ(report->result, JobResult::Ok) << port << ": " << report->message;
    }
    const BoardReport* pulled = ReportOf("1-3");
    ASSERT_NE(pulled, nullptr);
    EXPECT_EQ(pulled->result, JobResult::Unplugged) << pulled->message;
    EXPECT_TRUE(Flash(1) == burnImage->bytes);
    EXPECT_TRUE(Flash(2) == burnImage->bytes);
    EXPECT_TRUE(Flash(4) == burnImage->bytes);
    EXPECT_FALSE(Flash(3) == burnImage->bytes) << "its burn was cut short";
    EXPECT_GT(events.redraws, 0);
    // Each board was started once, when its plug fell due.
    ASSERT_EQ(events.started.size(), 4u);
    EXPECT_EQ(events.started[3].first, "1-4");
    EXPECT_GE(events.started[3].second - start, std::chrono::milliseconds(700));
}

TEST_F(StationTest, ABoardDoneIsNotWorkedOnAgainUntilItWasUnplugged) {
    MakeBoards(2, "0:+1,0.5:+2,0.9:-1,1.1:+1");
    ASSERT_TRUE(Run(3));
    ASSERT_EQ(events.started.size(), 3u);
    EXPECT_EQ(events.started[0].first, "1-1");
    EXPECT_EQ(events.started[1].first, "1-2");
    EXPECT_EQ(events.started[2].first, "1-1");
    EXPECT_GE(events.started[2].second - start, std::chrono::milliseconds(1100))
        << "board 1 again only after it came back";
    ASSERT_EQ(events.left.size(), 1u);
    EXPECT_EQ(events.left[0], "1-1");
    for (const BoardReport& report : reports) {
        EXPECT_EQ(report.result, JobResult::Ok) << report.message;
    }
}

// A board unplugged and plugged back is a new plug however quickly it came back, worked on and
// reported again: board 1 pulled mid-burn and back 2 ms later, board 2 done and then out and
// in at the same moment. Only the boards that succeeded count.
TEST_F(StationTest, AReplugIsANewPlugHoweverQuickAndOnlySuccessesCount) {
    // The last entry plugs nothing new: it only wakes the station to look at the watchdog.
    MakeBoards(2, "0:+1,0:+2,0.1:-1,0.102:+1,0.5:-2,0.5:+2,10.1:+1");
    brimlo::sim::SimFaults slow;
    slow.latencyUs = 5000;
    platform->Board(1).SetFaults(slow);
    // Ends the run when a board is not worked on again, instead of waiting for ever.
    std::jthread watchdog([this](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        if (!wake.wait_for(lock, stop, std::chrono::seconds(10),
                           [&] { return stop.stop_requested(); })) {
            finish.Request();
        }
    });
    ASSERT_TRUE(Run(3));
    std::map<std::string, std::vector<JobResult>> results;
    for (const BoardReport& report : reports) {
        results[report.board.port].push_back(report.result);
    }
    ASSERT_EQ(results["1-1"].size(), 2u) << "board 1 again once it was back";
    EXPECT_EQ(results["1-1"][0], JobResult::Unplugged);
    EXPECT_EQ(results["1-1"][1], JobResult::Ok);
    EXPECT_EQ(results["1-2"], (std::vector<JobResult>{JobResult::Ok, JobResult::Ok}))
        << "board 2 again although no listing missed it";
    EXPECT_TRUE(Flash(1) == burnImage->bytes);
}

TEST_F(StationTest, FinishLetsTheRunningBurnEndItsRegionAndStartsNoOther) {
    MakeBoards(2, "0:+1,0.3:+2");
    SlowBoards(2000);
    // Ctrl+C once the first burn has written something.
    std::jthread press;
    events.onStart = [&](const BoardStatus& status) {
        press = std::jthread([&] {
            while (status.Read().done == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            finish.Request();
        });
    };
    ASSERT_TRUE(Run(0));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].result, JobResult::Stopped) << "the verify after it did not run";
    EXPECT_EQ(reports[0].board.port, "1-1");
    // The entire flash is one region: it is written and compared in full. The verify after
    // it is a region of its own and is not started.
    EXPECT_TRUE(reports[0].entireUpdated);
    EXPECT_TRUE(Flash(1) == burnImage->bytes);
    EXPECT_EQ(events.started.size(), 1u) << "board 2 came after Ctrl+C";
}

TEST_F(StationTest, LogLinesParseAndCarryTheFields) {
    MakeBoards(2);
    brimlo::sim::SimFaults faults;
    faults.corruptReadAt = 0x2000;
    platform->Board(2).SetFaults(faults);
    // Board 2 fails and does not count: the run ends once both have reported.
    events.onFinish = [&] {
        if (events.finished.size() == 2) {
            finish.Request();
        }
    };
    ASSERT_TRUE(Run(0));
    const std::filesystem::path file = dir / "station.log";
    {
        StationLog log;
        std::string error;
        ASSERT_TRUE(log.Open(file.string(), error)) << error;
        LogContext context{"burn", "fw.bin", "ab12", {"entire"}};
        for (const BoardReport& report : reports) {
            ASSERT_TRUE(
                log.Append(LogLine(context, report, std::chrono::system_clock::now()), error));
        }
    }
    std::ifstream in(file);
    std::string line;
    std::size_t lines = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(lines, reports.size()) << line;
        ++lines;
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["time"].get<std::string>().size(), 20u) << "YYYY-MM-DDTHH:MM:SSZ";
        EXPECT_TRUE(json["time"].get<std::string>().ends_with('Z'));
        EXPECT_EQ(json["image_sha256"], "ab12");
        EXPECT_EQ(json["areas"][0], "entire");
        EXPECT_FALSE(json["chip"].get<std::string>().empty());
        ASSERT_TRUE(json["seconds"].is_number());
        EXPECT_NEAR(json["seconds"].get<double>(), reports[lines - 1].seconds, 0.001)
            << "in milliseconds";
        if (json["port"] == "1-2") {
            EXPECT_EQ(json["serial"], "SIM0002");
            EXPECT_EQ(json["result"], "compare_failed");
            EXPECT_EQ(json["first_difference"]["address"], 0x2000);
        } else {
            EXPECT_EQ(json["result"], "ok");
            EXPECT_TRUE(json["first_difference"].is_null());
        }
    }
    EXPECT_EQ(lines, 2u);
}

// The station log names the image by its SHA-256.
TEST(Sha256, KnownDigests) {
    const std::string abc = "abc";
    EXPECT_EQ(Sha256Hex({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

}  // namespace
