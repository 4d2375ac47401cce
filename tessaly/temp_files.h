// The temporary files of one export: a base name in the temporary directory ("pm" and six
// characters) and the same name with ".sav", ".bat" and ".out". All four are created
// exclusively when the set is made, so no other export (or program) can be handed one of
// them, and all four are deleted when the set goes, on every path.
#pragma once

#include <string>

namespace tessaly {

class TempFiles {
  public:
    TempFiles() = default;
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // False when no name could be reserved in the temporary directory.
    bool Make();

    const std::string& Base() const { return base_; }
    std::string Sav() const { return base_ + ".sav"; }
    std::string Bat() const { return base_ + ".bat"; }
    std::string Out() const { return base_ + ".out"; }

  private:
    void Remove();
    std::string base_;
};

// TEMP, else TMPDIR, else "/tmp".
std::string TempDirectory();

// Replaces the contents of a file; false when it cannot be opened or written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// False when the file cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

} // namespace tessaly
