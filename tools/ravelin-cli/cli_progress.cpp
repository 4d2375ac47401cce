#include "tools/ravelin-cli/cli_progress.h"

#include <algorithm>

namespace cli {

void ProgressReporter::Note(const std::string& text) {
    std::fprintf(stream_, "%s\n", text.c_str());
    std::fflush(stream_);
}

void ProgressReporter::Begin(const std::string& stage) {
    stage_ = stage;
    last_ = -1;
    Percent(0);
}

void ProgressReporter::Percent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == last_) {
        return;
    }
    last_ = percent;
    if (terminal_) {
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stream_, "\r%-14s [%s%s] %3d%%", stage_.c_str(),
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), percent);
    } else {
        std::fprintf(stream_, "%s: %d%%\n", stage_.c_str(), percent);
    }
    std::fflush(stream_);
}

void ProgressReporter::End() {
    Percent(100);
    if (terminal_) {
        std::fprintf(stream_, "\n");
    }
    std::fprintf(stream_, "%s: done\n", stage_.c_str());
    std::fflush(stream_);
}

} // namespace cli
