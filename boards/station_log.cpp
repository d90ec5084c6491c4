#include "boards/station_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace brimlo::boards {
namespace {

std::string UtcText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

nlohmann::json LogLine(const LogContext& context, const BoardReport& report,
                       std::chrono::system_clock::time_point when) {
    const nlohmann::json difference = DifferenceJson(report);
    return {{"time", UtcText(when)},
            {"job", context.job},
            {"path", report.board.path},
            {"port", report.board.port},
            {"serial", report.board.serial},
            {"chip", report.chip},
            {"image", context.image},
            {"image_sha256", context.imageSha256},
            {"areas", context.areas},
            {"result", ResultWord(report.result)},
            {"first_difference", difference},
            {"seconds", static_cast<double>(static_cast<long long>(report.seconds * 1000)) / 1000},
            {"message", report.message}};
}

StationLog::~StationLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool StationLog::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "ab");
    if (file_ == nullptr) {
        error = "Cannot open the log file " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    return true;
}

bool StationLog::Append(const nlohmann::json& line, std::string& error) {
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0 ||
        ::fsync(::fileno(file_)) != 0) {
        error = "Cannot write the log file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace brimlo::boards
