#include "tessaly/listing_reader.h"

namespace tessaly {

ListingReader::ListingReader(std::string_view bytes) {
    text_.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        text_ += bytes[i];
    }
}

bool ListingReader::ReadLine(std::string& line) {
    line.clear();
    if (position_ >= text_.size()) {
        return false;
    }
    while (position_ < text_.size() && line.size() < kMostLineCharacters) {
        const char c = text_[position_++];
        line += c;
        if (c == '\n') {
            break;
        }
    }
    return true;
}

} // namespace tessaly
