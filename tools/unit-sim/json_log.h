// The simulator's log: one JSON object per line, flushed line by line so that a reader
// (a test, an operator with tail -f) sees each request and answer as it happens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace unitsim {

// Builds one JSON object; keys are added in order and never repeated by the callers.
class JsonLine {
  public:
    JsonLine& Add(const char* key, const std::string& value);
    JsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    JsonLine& Add(const char* key, int64_t value);
    JsonLine& Add(const char* key, int value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, uint32_t value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& AddBool(const char* key, bool value);
    // A single-byte text from the wire: bytes from 0x80 on are written as U+0080..U+00FF,
    // so the line stays valid UTF-8 whatever the unit received.
    JsonLine& AddNarrow(const char* key, const std::string& value);
    std::string Text() const { return text_ + "}"; }

  private:
    void Key(const char* key);
    std::string text_ = "{";
};

std::string JsonEscape(const std::string& text);

class JsonLog {
  public:
    JsonLog() = default;
    ~JsonLog();
    JsonLog(const JsonLog&) = delete;
    JsonLog& operator=(const JsonLog&) = delete;

    // Opens `path` for appending; an empty path keeps the log switched off.
    bool Open(const std::string& path);
    bool Enabled() const { return file_ != nullptr; }
    void Write(const JsonLine& line);

  private:
    std::FILE* file_ = nullptr;
};

} // namespace unitsim
