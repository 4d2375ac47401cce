#include "protocol/dbg_log.h"

#include "platform/debug_output.h"
#include "protocol/log.h"
#include "protocol/wide_format.h"

#include <cstdarg>

DbgLog::~DbgLog() {
    if (fileHandle != platform::kInvalidFile) {
        platform::CloseFile(fileHandle);
        fileHandle = platform::kInvalidFile;
    }
}

void DbgLog::Print(int level, const char16_t* format, ...) {
    used = 1;
    if (level > 1) {
        return;
    }
    char16_t buffer[kLogBufferUnits];
    va_list args;
    va_start(args, format);
    size_t length = WideFormatV(buffer, kLogMessageLimit + 1, format, args);
    va_end(args);
    // The buffer has room for the doubled line end even after a message cut at 1,022.
    if (length > 0 && buffer[length - 1] == u'\n') {
        buffer[length - 1] = u'\r';
        buffer[length++] = u'\n';
        buffer[length] = 0;
    }
    const std::u16string_view text(buffer, length);
    if (debuggerSwitch) {
        platform::WriteDebugger(text);
    }
    if (consoleSwitch) {
        platform::WriteConsole(text);
    }
    if (fileSwitch && fileHandle != platform::kInvalidFile) {
        platform::WriteFileUtf16(fileHandle, text);
    }
}

DbgLog& TheDbgLog() {
    static DbgLog log;
    return log;
}
