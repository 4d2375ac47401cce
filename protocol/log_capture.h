// A log sink for tests: it collects every message written while it is installed.
#pragma once

#include "protocol/log.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Collects the messages written while it lives (thread safe); restores the sink that
// was installed before it.
class LogCapture : public LogSink {
  public:
    struct Entry {
        int level;
        std::u16string text;
    };

    LogCapture();
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Write(int level, std::u16string_view text) override;

    std::vector<Entry> Entries() const;
    // Whether a message equal to `text` was written (at `level`, unless it is negative).
    bool Contains(std::u16string_view text, int level = -1) const;
    size_t Count(std::u16string_view text) const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    LogSink* previous_;
};
