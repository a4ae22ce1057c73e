// A progress bar on stderr for long runs, shown only to a person watching.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace qvhost {

class Progress {
public:
    // Shown when stderr is a terminal and the run covers more than a second
    // of audio.
    Progress(std::string label, int64_t total, double seconds)
        : label_(std::move(label)), total_(total), shown_(isatty(STDERR_FILENO) != 0 && seconds > 1.0) {}
    ~Progress() { finish(); }

    void update(int64_t done) {
        if (!shown_ || total_ <= 0)
            return;
        const int percent = static_cast<int>(done * 100 / total_);
        if (percent == lastPercent_)
            return;
        lastPercent_ = percent;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), percent);
        std::fflush(stderr);
    }
    void finish() {
        if (shown_ && lastPercent_ >= 0)
            std::fprintf(stderr, "\r%s\r", std::string(label_.size() + kWidth + 8, ' ').c_str());
        shown_ = false;
    }

private:
    static constexpr int kWidth = 40;
    std::string label_;
    int64_t total_;
    bool shown_;
    int lastPercent_ = -1;
};

}  // namespace qvhost
