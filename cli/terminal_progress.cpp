#include "cli/terminal_progress.h"

#include <cstdio>

#include "cli/terminal.h"

namespace brimlo::cli {

TerminalProgress::TerminalProgress() : tty_(IsTerminal(stderr)) {}

void TerminalProgress::Interrupt() {
    if (active_) {
        Draw(true);
        EndLine();
    }
}

void TerminalProgress::RegionStarted(std::string_view region) {
    std::snprintf(region_, sizeof region_, "%.*s", static_cast<int>(region.size()), region.data());
}

void TerminalProgress::BurstStarted(std::uint32_t total) {
    Interrupt();
    total_ = total;
    done_ = 0;
    start_ = Clock::now();
    lastDraw_ = start_;
    active_ = true;
}

void TerminalProgress::StatusChanged(std::string_view status) {
    if (!active_) {
        return;
    }
    if (status == kStatusWait) {
        Interrupt();
        return;
    }
    const std::size_t prefix = status.find(": ");
    const std::string_view phase =
        prefix == std::string_view::npos ? status : status.substr(prefix + 2);
    std::snprintf(phase_, sizeof phase_, "%.*s%s%s", static_cast<int>(phase.size()), phase.data(),
                  region_[0] != '\0' ? " " : "", region_);
    if (!tty_) {
        std::fprintf(stderr, "%s: %u bytes\n", phase_, total_);
    }
}

void TerminalProgress::BytesDone(std::uint32_t done) {
    done_ = done;
    const Clock::time_point now = Clock::now();
    if (tty_ && active_ && now - lastDraw_ >= std::chrono::milliseconds(100)) {
        lastDraw_ = now;
        Draw(false);
    }
}

void TerminalProgress::Draw(bool final) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? done_ / seconds : 0;
    if (!tty_) {
        if (final && done_ == total_) {
            std::fprintf(stderr, "%s: %u bytes, %.2f MB/s, %.1f s\n", phase_, done_, rate / 1e6,
                         seconds);
        } else if (final) {
            std::fprintf(stderr, "%s: stopped after %u of %u bytes, %.1f s\n", phase_, done_,
                         total_, seconds);
        }
        return;
    }
    constexpr int kWidth = 24;
    const double part = total_ != 0 ? static_cast<double>(done_) / total_ : 1.0;
    char bar[kWidth + 1];
    const int filled = static_cast<int>(part * kWidth);
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = '\0';
    const auto elapsed = static_cast<unsigned>(seconds);
    std::fprintf(stderr, "\r%-24s [%s] %9u / %-9u %6.2f MB/s  %u:%02u ", phase_, bar, done_, total_,
                 rate / 1e6, elapsed / 60, elapsed % 60);
    std::fflush(stderr);
}

void TerminalProgress::EndLine() {
    if (active_ && tty_) {
        std::fputc('\n', stderr);
    }
    active_ = false;
}

}  // namespace brimlo::cli
