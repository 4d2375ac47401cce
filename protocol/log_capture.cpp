#include "protocol/log_capture.h"

LogCapture::LogCapture() : previous_(SetLogSink(this)) {}

LogCapture::~LogCapture() {
    SetLogSink(previous_);
}

void LogCapture::Write(int level, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    entries_.push_back({level, std::u16string(text)});
}

std::vector<LogCapture::Entry> LogCapture::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

bool LogCapture::Contains(std::u16string_view text, int level) const {
    std::lock_guard lock(mutex_);
    for (const Entry& entry : entries_) {
        if (entry.text == text && (level < 0 || entry.level == level)) {
            return true;
        }
    }
    return false;
}

size_t LogCapture::Count(std::u16string_view text) const {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const Entry& entry : entries_) {
        count += entry.text == text ? 1 : 0;
    }
    return count;
}

void LogCapture::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}
