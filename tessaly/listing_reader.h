// Reads a netsh listing the way a text-mode line reader with a 256-byte buffer does: CR LF
// becomes LF, and a line is at most 255 characters (the rest of a longer line comes as the
// next one). Positions can be remembered and gone back to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr size_t kMostLineCharacters = 255;

class ListingReader {
  public:
    explicit ListingReader(std::string_view bytes);

    // The next line with its "\n" when it has one; false at the end of the listing.
    bool ReadLine(std::string& line);
    size_t Position() const { return position_; }
    void Seek(size_t position) { position_ = position < text_.size() ? position : text_.size(); }

  private:
    std::string text_;
    size_t position_ = 0;
};

} // namespace tessaly
