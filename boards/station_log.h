#pragma once
// The station's record: one JSON line per board and job, appended and flushed to the disk as
// soon as the job ends, so the file can be followed with tail -f and kept for months.
//   {"time":"2026-12-07T01:30:00Z","job":"burn","port":"1-1.2","serial":"AB12",
//    "chip":"BY_25Q64AS","image":"fw.bin","image_sha256":"…","areas":["entire"],
//    "result":"ok","first_difference":null,"seconds":12.5,"message":""}

#include <chrono>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "boards/board_job.h"
#include "boards/board_report_json.h"

namespace brimlo::boards {

// What every line of one station run shares.
struct LogContext {
    std::string job;          // "burn", "verify", "id"
    std::string image;        // the image file's name; empty for id
    std::string imageSha256;  // empty for id
    nlohmann::json areas = nlohmann::json::array();
};

// The line for `report`, ended at `when`.
nlohmann::json LogLine(const LogContext& context, const BoardReport& report,
                       std::chrono::system_clock::time_point when);

class StationLog {
  public:
    StationLog() = default;
    ~StationLog();
    StationLog(const StationLog&) = delete;
    StationLog& operator=(const StationLog&) = delete;

    // Opens `path` for appending (created when missing). False with `error` when it cannot.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return file_ != nullptr; }
    // Appends one line and flushes it to the disk. False with `error` when that failed.
    bool Append(const nlohmann::json& line, std::string& error);

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

}  // namespace brimlo::boards
