// What the Configuration dialog shows and takes back, without the widgets: the texts of
// its fields filled from the configuration variables, the method display, the help
// texts, the checks of Save and the variables Save sets.
#pragma once

#include "config/config_items.h"

#include <cstdint>
#include <string>

// Maximum List Size must read as a whole number in this range to be saved; the value
// stored is then kept within 20..kMaxListSizeLimit.
inline constexpr int kListSizeCheckMin = 20;
inline constexpr int kListSizeCheckMax = 1000;
// Text limits of the edit fields.
inline constexpr int kUpgradeTextLimit = 120; // URLs and TFTP file names
inline constexpr int kRevisionTextLimit = 10;
inline constexpr int kMainAppTextLimit = 15;
// upgradetftp holds 127 characters; its edit has no limit of its own, so Save checks it.
inline constexpr int kTftpServerLimit = 127;

enum ConfigureMethod : int { kConfigureUsb = 0, kConfigureTftp = 1, kConfigureHttpFtp = 2 };
inline constexpr uint8_t kUpgMethodTestBit = 0x80;

// The texts of the dialog's fields and the state of its radios.
struct ConfigureForm {
    std::u16string listSize;
    std::u16string tftpServer;
    std::u16string tftpFile;
    std::u16string tftpBootloaderFile;
    std::u16string url;
    std::u16string bootloaderUrl;
    std::u16string kernel;
    std::u16string fileSystem;
    std::u16string patch;
    std::u16string bootloader;
    std::u16string ipAddress;
    std::u16string macAddress;
    std::u16string subnetMask;
    int method = kConfigureTftp;
    uint8_t testBit = 0;
    int option = -1; // the checked Options radio, -1 when none is
};

// The fields as the dialog opens over `config`.
ConfigureForm FormFromConfig(const ConfigValues& config);

// "%u.%u" of a version's first two parts, or "n/a" when all three are 0.
std::u16string VersionFieldText(const uint8_t* version);
// "%u" of the bootloader revision, or "n/a" when it is 0.
std::u16string BootloaderFieldText(uint16_t revision);

// Which upgrade fields a method shows and what their labels say.
struct MethodDisplay {
    bool tftpServer = false;
    bool tftpFile = false;
    bool tftpBootloaderFile = false;
    bool url = false;
    bool bootloaderUrl = false;
    const char16_t* tftpServerLabel = u"";
    const char16_t* tftpFileLabel = u"";
    const char16_t* tftpBootloaderFileLabel = u"";
    const char16_t* urlLabel = u"";
    const char16_t* bootloaderUrlLabel = u"";
};
MethodDisplay MethodDisplayFor(int method, bool extendedMode);

struct MethodHelp {
    const char16_t* caption;
    std::u16string text;
};
// The "?" box of a method; an empty caption for a method outside 0..2.
MethodHelp MethodHelpFor(int method);

// The checks Save makes before it changes anything.
enum class FormField { None, ListSize, TftpServer };
struct FormCheck {
    FormField field = FormField::None; // None: every check passed
    std::u16string message;
};
FormCheck CheckForm(const ConfigureForm& form);

// Save: sets the variables from the fields (list size kept within 20..500, the fetch
// fields of the other methods cleared, versions and addresses converted) and clears the
// edits that Save empties in `form`. Call only after CheckForm passed.
void ApplyForm(ConfigureForm& form, ConfigValues& config);
