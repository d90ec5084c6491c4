// Jobs on several emulated boards at once: choosing boards, burning them in parallel, a fault
// on one board that the others never feel.

#include <gtest/gtest.h>

#include <deque>

#include "board_fixture.h"
#include "boards/board_list.h"
#include "boards/board_report_json.h"
#include "boards/parallel_jobs.h"
#include "sim/sim_config.h"

namespace {

using namespace brimlo::boards;
using brimlo::testing::BoardsTest;

std::vector<BoardReport> RunOnAll(brimlo::hid::HidPlatform& platform,
                                  const std::vector<Board>& boards, const JobSpec& jobSpec) {
    std::deque<BoardStatus> statuses(boards.size());
    return RunInParallel(
        boards.size(),
        [&](std::size_t i) {
            return RunBoardJob(platform, boards[i], jobSpec, "", statuses[i], nullptr);
        },
        nullptr, std::chrono::milliseconds(50));
}

TEST_F(BoardsTest, EachBoardHasItsOwnPortAndSerialAndFiltersPickThem) {
    MakeBoards(3);
    std::vector<Board> boards;
    std::string error;
    ASSERT_TRUE(
        ListMatchingBoards(*platform, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, boards, error))
        << error;
    ASSERT_EQ(boards.size(), 3u);
    EXPECT_EQ(boards[0].port, "1-1");
    EXPECT_EQ(boards[2].port, "1-3");
    EXPECT_EQ(boards[1].serial, "SIM0002");
    EXPECT_NE(boards[0].path, boards[1].path);

    EXPECT_EQ(FilterBoards(boards, {{"1-2", "1-3"}, ""}).size(), 2u);
    const auto bySerial = FilterBoards(boards, {{}, "SIM0003"});
    ASSERT_EQ(bySerial.size(), 1u);
    EXPECT_EQ(bySerial[0].port, "1-3");
    EXPECT_TRUE(FilterBoards(boards, {{"1-1"}, "SIM0002"}).empty()) << "both must hold";
    EXPECT_EQ(FilterBoards(boards, {}).size(), 3u);
    const std::string lines = CandidateLines(boards);
    EXPECT_NE(lines.find("port 1-2  serial SIM0002"), std::string::npos) << lines;

    ASSERT_TRUE(ListMatchingBoards(*platform, 0x1234, 0x5678, boards, error));
    EXPECT_TRUE(boards.empty()) << "other identifiers match nothing";
}

TEST_F(BoardsTest, ThreeBoardsBurnedAtOnceEachHoldTheImage) {
    MakeBoards(3);
    std::vector<Board> boards;
    std::string error;
    ASSERT_TRUE(
        ListMatchingBoards(*platform, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, boards, error));
    const JobSpec jobSpec{
        JobKind::Burn, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, burnImage, {}, true, false};
    const std::vector<BoardReport> reports = RunOnAll(*platform, boards, jobSpec);
    ASSERT_EQ(reports.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[i].result, JobResult::Ok) << reports[i].message;
        EXPECT_EQ(reports[i].board.port, boards[i].port) << "reports keep the boards' order";
        EXPECT_FALSE(reports[i].chip.empty());
        EXPECT_TRUE(Flash(i + 1) == burnImage->bytes) << "board " << i + 1;
    }
}

TEST_F(BoardsTest, AFaultOnOneBoardFailsThatBoardAlone) {
    MakeBoards(3);
    brimlo::sim::SimFaults faults;
    faults.corruptReadAt = 0x1234;
    platform->Board(2).SetFaults(faults);
    std::vector<Board> boards;
    std::string error;
    ASSERT_TRUE(
        ListMatchingBoards(*platform, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, boards, error));
    const JobSpec jobSpec{
        JobKind::Burn, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, burnImage, {}, false, false};
    const std::vector<BoardReport> reports = RunOnAll(*platform, boards, jobSpec);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].result, JobResult::Ok) << reports[0].message;
    EXPECT_EQ(reports[1].result, JobResult::CompareFailed);
    ASSERT_TRUE(reports[1].firstDifference.has_value());
    EXPECT_EQ(reports[1].firstDifference->firstDifference, 0x1234u);
    EXPECT_EQ(reports[2].result, JobResult::Ok) << reports[2].message;
    EXPECT_TRUE(Flash(3) == burnImage->bytes);

    // A failed exchange mid-verify on one board, too.
    faults = {};
    faults.failExchange = 40;
    platform->Board(3).SetFaults(faults);
    platform->Board(2).SetFaults({});
    const JobSpec verify{
        JobKind::Verify, BRIMLO_DEFAULT_VID, BRIMLO_DEFAULT_PID, burnImage, {}, false, false};
    const std::vector<BoardReport> verified = RunOnAll(*platform, boards, verify);
    ASSERT_EQ(verified.size(), 3u);
    EXPECT_EQ(verified[0].result, JobResult::Ok);
    EXPECT_EQ(verified[1].result, JobResult::Ok) << "its flash was written right";
    EXPECT_EQ(verified[2].result, JobResult::Failed);
    EXPECT_NE(verified[2].message.find("injected"), std::string::npos) << verified[2].message;

    // The same failed read in the compare after a burn is a failure too, with no difference
    // for the --all report or the station's log: its second-to-last read of a clean run.
    platform->Board(3).SetFaults({});
    const std::vector<Board> third{boards[2]};
    ASSERT_EQ(RunOnAll(*platform, third, jobSpec).at(0).result, JobResult::Ok);
    faults.failExchange = platform->Board(3).ExchangeCount() - 1;
    platform->Board(3).SetFaults(faults);
    const std::vector<BoardReport> burned = RunOnAll(*platform, third, jobSpec);
    ASSERT_EQ(burned.size(), 1u);
    EXPECT_EQ(burned[0].result, JobResult::Failed) << burned[0].message;
    EXPECT_NE(burned[0].message.find("Reading the flash back"), std::string::npos)
        << burned[0].message;
    EXPECT_FALSE(burned[0].firstDifference.has_value());
    EXPECT_TRUE(DifferenceJson(burned[0]).is_null());
}

TEST(HotplugScript, ParsesAndRefuses) {
    std::vector<brimlo::sim::HotplugEvent> events;
    std::string error;
    ASSERT_TRUE(brimlo::sim::ParseHotplugScript("0.5:+2,0:+1,1.25:-2", 2, events, error));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].board, 1u) << "sorted by time";
    EXPECT_EQ(events[1].at, std::chrono::milliseconds(500));
    EXPECT_FALSE(events[2].plug);
    EXPECT_EQ(events[2].at, std::chrono::milliseconds(1250));
    for (const char* wrong : {"1:+3", "x:+1", "1:*1", "1+1", "-1:+1", "1:+"}) {
        EXPECT_FALSE(brimlo::sim::ParseHotplugScript(wrong, 2, events, error)) << wrong;
        EXPECT_NE(error.find("SECONDS:+K"), std::string::npos);
    }
}

}  // namespace
