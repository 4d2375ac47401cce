#include "tools/ravelin-cli/cli_package.h"

#include "config/config_items.h"
#include "package/test_package.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"

#include <map>
#include <thread>
#include <unistd.h>

namespace cli {
namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    platform::Utf16ToUtf8(text, &out);
    return out;
}

// The dialog's fields, kept instead of drawn.
class RecordingView final : public PackageTestView {
  public:
    void SetFieldText(PackageField field, const std::u16string& text) override {
        fields[field] = text;
    }
    void Redraw() override {}
    void ShowError(const std::u16string& text) override { error = text; }

    std::map<PackageField, std::u16string> fields;
    std::u16string error;
};

const char* FormatName(PackageFormat format) {
    switch (format) {
    case PackageFormat::V1:
        return "V1";
    case PackageFormat::V2:
        return "V2";
    case PackageFormat::V3:
        return "V3";
    case PackageFormat::Bootloader:
        return "bootloader";
    case PackageFormat::None:
        break;
    }
    return "unknown";
}

std::u16string Text(const char16_t* field) {
    return std::u16string(field);
}

// The error text as the dialog shows it, without the line break the script wrote.
std::string ErrorLine(const std::u16string& text) {
    std::string line = Utf8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

} // namespace

bool CheckPackages(bool bootloader, const std::u16string& programDirectory,
                   const std::u16string& usbRoot, std::ostream& out) {
    const ConfigValues& c = TheConfig();
    PackageTestSetup setup;
    setup.tempDirectory = platform::TempDirectory();
    // Named after this process, so two runs side by side never share files.
    setup.files =
        MakePackageFiles(setup.tempDirectory, programDirectory, static_cast<uint32_t>(getpid()));
    setup.inputs.method = c.upgmethod & 0x7F;
    setup.inputs.usbRoot = usbRoot;
    setup.inputs.tftpServer = Text(c.upgradetftp);
    setup.inputs.tftpFile = Text(c.upgradefile);
    setup.inputs.tftpBootloaderFile = Text(c.upgradeblfile);
    setup.inputs.url = Text(c.upgradeurl);
    setup.inputs.bootloaderUrl = Text(c.upgradeblurl);

    for (const bool isBootloader : {false, true}) {
        if (isBootloader && !bootloader) {
            break;
        }
        RecordingView view;
        PackageFindings findings;
        const int failed = TestPackage(setup, isBootloader, view, &findings);
        const char* kind = isBootloader ? "bootloader package" : "firmware package";
        if (failed != 0) {
            out << kind << ": failed\n";
            out << "Error: " << ErrorLine(view.error.empty() ? findings.error : view.error) << "\n";
            return false;
        }
        out << kind << ": passed\n";
        out << "Format: " << FormatName(findings.format) << "\n";
        if (!isBootloader) {
            out << "Revision: " << Utf8(view.fields[PackageField::Revision]) << "\n";
            out << "Kernel: " << Utf8(view.fields[PackageField::Kernel]) << "\n";
            out << "File System: " << Utf8(view.fields[PackageField::FileSystem]) << "\n";
            out << "Patch: " << Utf8(view.fields[PackageField::Patch]) << "\n";
        } else {
            out << "Bootloader: " << Utf8(view.fields[PackageField::Bootloader]) << "\n";
        }
    }
    return true;
}

} // namespace cli
