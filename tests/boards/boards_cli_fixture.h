#pragma once
// Several emulated boards in the command line's state directory, and a burn image for them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace brimlo::testing {

namespace fs = std::filesystem;

class BoardsCliTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        image = state / "image.bin";
        bytes.resize(128 * 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 11 + i / 1000);
        }
        std::ofstream(image, std::ios::binary).write(bytes.data(), bytes.size());
    }
    // Board K's device.json, written before the first run made it.
    void Board(int k, const std::string& extra) {
        const fs::path dir = state / ("board-" + std::to_string(k));
        fs::create_directories(dir);
        std::ofstream(dir / "device.json")
            << R"({"port": "1-)" << k << R"(", "serial": "SIM000)" << k << "\"" << extra << "}";
    }
    std::string FlashStart(int k) {
        std::ifstream in(state / ("board-" + std::to_string(k)) / "flash.bin", std::ios::binary);
        std::string start(bytes.size(), '\0');
        in.read(start.data(), start.size());
        return start;
    }
    static std::vector<nlohmann::json> Lines(const std::string& text) {
        std::vector<nlohmann::json> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }

    fs::path image;
    std::string bytes;
};

}  // namespace brimlo::testing
