// A small logger with three switchable sinks: the debugger (standard error here), the
// console and a log file. The program's one instance writes to the debugger only.
#pragma once

#include <cstdint>

class DbgLog {
  public:
    DbgLog() = default;
    DbgLog(const DbgLog&) = delete;
    DbgLog& operator=(const DbgLog&) = delete;
    // Closes the log file when one is open.
    virtual ~DbgLog();

    // Marks the logger used; messages of level 1 or lower are formatted (a final line
    // feed becomes CR LF) and written to every switched-on sink.
    void Print(int level, const char16_t* format, ...);

    uint8_t fileSwitch = 0;
    uint8_t debuggerSwitch = 1;
    uint8_t consoleSwitch = 0;
    uint32_t used = 0;
    int fileHandle = -1; // an open file descriptor, or -1
};

DbgLog& TheDbgLog();
