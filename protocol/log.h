// The diagnostic hook that every component calls with a level and a UTF-16 format in the
// Windows wide printf dialect (protocol/wide_format.h). The program installs no sink, so
// messages are formatted and dropped; a test installs one to see which texts were written.
#pragma once

#include <cstddef>
#include <string_view>

enum LogLevel : int {
    kLogTrace = 18,
    kLogReceipt = 20,
    kLogEntry = 21,
    kLogParams = 22,
    kLogInterfaces = 23,
    kLogTiming = 24,
    kLogWarning = 32,
    kLogError = 48,
    kLogFatal = 64,
};

// Units of the formatting buffer, and the most characters a message keeps.
inline constexpr size_t kLogBufferUnits = 1024;
inline constexpr size_t kLogMessageLimit = 1022;

// Receives every formatted message; called from any thread at once.
class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void Write(int level, std::u16string_view text) = 0;
};

// Installs `sink` (null: none) and returns the one it replaces. Once this returns, no
// call into the replaced sink is still running.
LogSink* SetLogSink(LogSink* sink);

void LogMessage(int level, const char16_t* format, ...);
