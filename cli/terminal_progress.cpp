#include "cli/terminal_progress.h"

#include <unistd.h>

#include <cstdio>

namespace brimlo::cli {

TerminalProgress::TerminalProgress() : tty_(::isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::Interrupt() {
    if (active_) {
        Draw(true);
        EndLine();
    }
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
    std::snprintf(phase_, sizeof phase_, "%.*s", static_cast<int>(phase.size()), phase.data());
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
            std::fprintf(stderr, "%s: %u bytes in %.1f s (%.2f MB/s)\n", phase_, done_, seconds,
                         rate / 1e6);
        } else if (final) {
            std::fprintf(stderr, "%s: stopped after %u of %u bytes\n", phase_, done_, total_);
        }
        return;
    }
    constexpr int kWidth = 30;
    const double part = total_ != 0 ? static_cast<double>(done_) / total_ : 1.0;
    char bar[kWidth + 1];
    const int filled = static_cast<int>(part * kWidth);
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = '\0';
    const double left = rate > 0 ? (total_ - done_) / rate : 0;
    std::fprintf(stderr, "\r%-8s [%s] %10u / %-10u %6.2f MB/s  %4.0f s left ", phase_, bar, done_,
                 total_, rate / 1e6, left);
    std::fflush(stderr);
}

void TerminalProgress::EndLine() {
    if (active_ && tty_) {
        std::fputc('\n', stderr);
    }
    active_ = false;
}

}  // namespace brimlo::cli
