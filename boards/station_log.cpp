#include "boards/station_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/file_io.h"

namespace brimlo::boards {
namespace {

// From the calendar types, the same on every system (the C calls' thread-safe forms differ).
std::string UtcText(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(when - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
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
    files::Error openError;
    file_ = files::OpenForAppending(files::PathFromUtf8(path), openError);
    if (file_ == nullptr) {
        error = "Cannot open the log file " + path + ": " + openError.text;
        return false;
    }
    path_ = path;
    return true;
}

bool StationLog::Append(const nlohmann::json& line, std::string& error) {
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        error = "Cannot write the log file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    files::Error flushError;
    if (!files::Flush(fileno(file_), flushError)) {
        error = "Cannot write the log file " + path_ + ": " + flushError.text;
        return false;
    }
    return true;
}

}  // namespace brimlo::boards
