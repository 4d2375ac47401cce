// Package validation: the note's first line names the format and the revision, and every
// member of the archive must be one the format allows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class PackageFormat { None, V1, V2, V3, Bootloader };

// ContentsMask bits.
enum ContentsBits : uint8_t {
    kContentsKernel = 0x01,
    kContentsFileSystem = 0x02,
    kContentsPatch = 0x04,
    kContentsBootloader = 0x08,
    kContentsDeviceTree = 0x10,
    kContentsNothingYet = 0x80,
};

inline constexpr size_t kMaxPasswordInput = 63;

struct NoteResult {
    std::u16string error; // empty: the note passed
    PackageFormat format = PackageFormat::None;
    // The note line as single-byte text, at most 63 characters, trailing CR and LF removed.
    std::string passwordInput;
    uint32_t revision = 0; // firmware packages only
};

// Checks the first line of the note (the lines as the note file reads). Sets
// PackageIsV3 once the line has reached the format test.
NoteResult CheckNoteLines(const std::vector<std::u16string>& lines, bool isBootloader);
// Reads the note file first; "Failed to get note in package" when it cannot be opened.
NoteResult CheckNoteFile(const std::u16string& path, bool isBootloader);

// Checks every member line against the format's names, setting bits of `contentsMask`
// (which starts at kContentsNothingYet). Empty when every member is allowed.
std::u16string CheckMemberLines(const std::vector<std::u16string>& lines, PackageFormat format,
                                uint8_t* contentsMask);
std::u16string CheckFileListFile(const std::u16string& path, PackageFormat format,
                                 uint8_t* contentsMask);

enum class PackageField { Kernel, FileSystem, Patch, Bootloader, Revision };

// What the revision fields show after a test (failed or not).
std::vector<std::pair<PackageField, std::u16string>>
ResultFieldTexts(bool isBootloader, bool failed, uint32_t revision, uint8_t contentsMask);
