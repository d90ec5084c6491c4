// Boxes raised on a worker thread: shown by the dialog's thread while only the worker waits.

#include "dialog/box_hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace brimlo::app {
namespace {

using namespace std::chrono_literals;

class RecordingBoxes final : public MessageBoxes {
  public:
    void Show(std::string_view text, std::string_view caption, MessageIcon) override {
        shown.push_back(std::string(text) + '|' + std::string(caption));
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> shown;
    std::vector<std::thread::id> threads;
};

// Joins the worker however the test is left: a failed assertion returns early, and a thread
// still joinable would end the process instead of reporting. A worker waiting for a box is
// released first.
class JoinOnExit {
  public:
    JoinOnExit(BoxHandOver& boxes, std::thread& worker) : boxes_(boxes), worker_(worker) {}
    ~JoinOnExit() {
        if (worker_.joinable()) {
            boxes_.Release();
            worker_.join();
        }
    }
    JoinOnExit(const JoinOnExit&) = delete;
    JoinOnExit& operator=(const JoinOnExit&) = delete;

  private:
    BoxHandOver& boxes_;
    std::thread& worker_;
};

// Waits, within a bound, until the worker has asked the dialog's thread to serve its box.
bool Woken(const std::atomic<int>& wakes) {
    for (int i = 0; i < 5000 && wakes == 0; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    return wakes > 0;
}

TEST(BoxHandOver, AWorkersBoxIsShownByTheDialogThreadWhileOnlyTheWorkerWaits) {
    RecordingBoxes ui;
    std::atomic<int> wakes{0};
    BoxHandOver boxes(ui, [&] { ++wakes; });
    boxes.Show("Please select the dump file !", "Error", MessageIcon::Error);
    ASSERT_EQ(ui.shown.size(), 1u);  // the dialog's own box, shown at once
    EXPECT_EQ(wakes, 0);

    std::atomic<bool> returned{false};
    std::thread worker([&] {
        boxes.Show("Dump firmware has finished!", "Info", MessageIcon::Information);
        returned = true;
    });
    const JoinOnExit joined(boxes, worker);
    ASSERT_TRUE(Woken(wakes));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned);  // not served yet: the worker still waits
    ASSERT_EQ(ui.shown.size(), 1u);
    boxes.ServePending();
    worker.join();
    EXPECT_TRUE(returned);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1], "Dump firmware has finished!|Info");
    EXPECT_EQ(ui.threads[1], std::this_thread::get_id());
}

TEST(BoxHandOver, ReleaseFreesAWaitingWorkerAndDropsLaterBoxes) {
    RecordingBoxes ui;
    std::atomic<int> wakes{0};
    BoxHandOver boxes(ui, [&] { ++wakes; });
    std::atomic<int> returned{0};
    std::thread worker([&] {
        boxes.Show("first", "Info", MessageIcon::Information);
        ++returned;
        boxes.Show("second", "Info", MessageIcon::Information);
        ++returned;
    });
    const JoinOnExit joined(boxes, worker);
    ASSERT_TRUE(Woken(wakes));
    EXPECT_EQ(returned, 0);
    boxes.Release();
    worker.join();
    EXPECT_EQ(returned, 2);
    boxes.ServePending();
    EXPECT_TRUE(ui.shown.empty());
}

}  // namespace
}  // namespace brimlo::app
