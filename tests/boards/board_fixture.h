#pragma once
// Emulated boards in a state directory of the test's own, and a burn image to put on them.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "flash/burn_image.h"
#include "process_runner.h"
#include "sim/multi_board.h"

namespace brimlo::testing {

class BoardsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("brimlo-boards-" + std::to_string(CurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        auto image = std::make_shared<flash::BurnImage>();
        image->bytes.resize(256 * 1024);
        for (std::size_t i = 0; i < image->bytes.size(); ++i) {
            image->bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
        }
        burnImage = image;
    }
    void TearDown() override {
        platform.reset();
        std::filesystem::remove_all(dir);
    }

    void MakeBoards(std::size_t count, const std::string& script = "") {
        std::vector<sim::HotplugEvent> events;
        std::string error;
        ASSERT_TRUE(sim::ParseHotplugScript(script, count, events, error)) << error;
        platform = sim::MultiBoardPlatform::Load(dir, count, std::move(events), error);
        ASSERT_TRUE(platform) << error;
    }

    std::vector<std::uint8_t> Flash(std::size_t board) {
        return platform->Board(board).PeekFlash(
            0, static_cast<std::uint32_t>(burnImage->bytes.size()));
    }

    std::filesystem::path dir;
    std::shared_ptr<const flash::BurnImage> burnImage;
    std::unique_ptr<sim::MultiBoardPlatform> platform;
};

}  // namespace brimlo::testing
