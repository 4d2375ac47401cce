// TestPackage: fetch a package by the configured method, check its note and member list,
// and prove that it opens with its own password and with no other.
#pragma once

#include "package/package_files.h"
#include "package/validation.h"

#include <cstdint>
#include <string>

// What the configuration dialog shows of a running test.
class PackageTestView {
  public:
    virtual ~PackageTestView() = default;
    virtual void SetFieldText(PackageField field, const std::u16string& text) = 0;
    // Repaints at once, so that progress texts show while a script runs.
    virtual void Redraw() = 0;
    // The test's error, in a message box with caption "Error" and the error icon.
    virtual void ShowError(const std::u16string& text) = 0;
};

struct PackageTestSetup {
    std::u16string tempDirectory;
    PackageFiles files;
    FetchInputs inputs;
    uint32_t pollIntervalMs = 50;
};

struct PackageFindings {
    std::u16string error;
    uint32_t revision = 0;
    uint8_t contentsMask = kContentsNothingYet;
    PackageFormat format = PackageFormat::None; // once the note has been read
};

// The package password: the first 16 characters of the MD5 digest (lower-case hex) of
// the note line. Empty when no digest could be made.
std::string PackagePassword(const std::string& noteLine);

// Returns the length of the error text: 0 when the package passed. On failure the error
// has already been shown. `findings` (when given) receives the error and the findings.
int TestPackage(const PackageTestSetup& setup, bool isBootloader, PackageTestView& view,
                PackageFindings* findings = nullptr);
