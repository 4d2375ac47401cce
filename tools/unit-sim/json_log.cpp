#include "tools/unit-sim/json_log.h"

namespace unitsim {

std::string JsonEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    return out;
}

void JsonLine::Key(const char* key) {
    if (text_.size() > 1) {
        text_ += ",";
    }
    text_ += "\"";
    text_ += key;
    text_ += "\":";
}

JsonLine& JsonLine::Add(const char* key, const std::string& value) {
    Key(key);
    text_ += "\"" + JsonEscape(value) + "\"";
    return *this;
}

JsonLine& JsonLine::Add(const char* key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::AddNarrow(const char* key, const std::string& value) {
    std::string utf8;
    for (char ch : value) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            utf8.push_back(ch);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return Add(key, utf8);
}

JsonLine& JsonLine::AddBool(const char* key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonLog::~JsonLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool JsonLog::Open(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void JsonLog::Write(const JsonLine& line) {
    if (file_ == nullptr) {
        return;
    }
    std::string text = line.Text();
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

} // namespace unitsim
