#include "protocol/log.h"

#include "protocol/wide_format.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <shared_mutex>

namespace {

// Writers take the lock shared, so many threads log at once; replacing the sink takes it
// exclusively and so waits out every call into the old one.
std::shared_mutex gSinkLock;
LogSink* gSink = nullptr;
std::atomic<bool> gHasSink{false};

} // namespace

LogSink* SetLogSink(LogSink* sink) {
    std::unique_lock lock(gSinkLock);
    LogSink* previous = gSink;
    gSink = sink;
    gHasSink.store(sink != nullptr, std::memory_order_release);
    return previous;
}

void LogMessage(int level, const char16_t* format, ...) {
    char16_t buffer[kLogBufferUnits];
    va_list args;
    va_start(args, format);
    const size_t length = WideFormatV(buffer, kLogMessageLimit + 1, format, args);
    va_end(args);
    if (!gHasSink.load(std::memory_order_acquire)) {
        return;
    }
    std::shared_lock lock(gSinkLock);
    if (gSink) {
        gSink->Write(level, std::u16string_view(buffer, length));
    }
}
