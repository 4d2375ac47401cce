#include "config/configure_form.h"

#include "config/address_text.h"
#include "config/number_text.h"

#include <algorithm>
#include <cstdio>

namespace {

std::u16string Ascii(const char* text) {
    std::u16string result;
    for (; *text; ++text) {
        result += static_cast<char16_t>(static_cast<unsigned char>(*text));
    }
    return result;
}

std::u16string Decimal(long value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%ld", value);
    return Ascii(buffer);
}

template <size_t N> std::u16string TextOf(const char16_t (&field)[N]) {
    return std::u16string(field, std::find(field, field + N, u'\0'));
}

// Copies at most `limit` characters and the terminator.
template <size_t N> void StoreText(char16_t (&field)[N], const std::u16string& text, size_t limit) {
    const size_t count = std::min({text.size(), limit, N - 1});
    std::copy_n(text.begin(), count, field);
    std::fill(field + count, field + N, u'\0');
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// A whole number: blanks, an optional sign, digits, blanks, and nothing else.
bool ReadWholeNumber(const std::u16string& text, long* value) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const size_t digits = i;
    long number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        number = std::min(number * 10 + (text[i] - u'0'), 1'000'000'000L);
    }
    if (i == digits) {
        return false;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return false;
    }
    *value = negative ? -number : number;
    return true;
}

uint16_t ClampListSize(const std::u16string& text) {
    // Read as at most 255 characters.
    const std::u16string read = text.substr(0, 255);
    const int32_t value = ReadLongNumber(read.data(), read.data() + read.size(), 10);
    return static_cast<uint16_t>(std::clamp<int32_t>(value, kListSizeCheckMin, kMaxListSizeLimit));
}

void StoreVersion(const std::u16string& text, uint8_t* version) {
    if (text == u"n/a") {
        std::fill_n(version, 3, uint8_t{0});
        return;
    }
    TextToVersion(text.c_str(), version, 3);
}

} // namespace

std::u16string VersionFieldText(const uint8_t* version) {
    if (version[0] == 0 && version[1] == 0 && version[2] == 0) {
        return u"n/a";
    }
    return Decimal(version[0]) + u"." + Decimal(version[1]);
}

std::u16string BootloaderFieldText(uint16_t revision) {
    return revision == 0 ? std::u16string(u"n/a") : Decimal(revision);
}

ConfigureForm FormFromConfig(const ConfigValues& config) {
    ConfigureForm form;
    form.listSize = Decimal(config.maxlistsize);
    form.method = config.upgmethod & 0x7F;
    form.testBit = config.upgmethod & kUpgMethodTestBit;
    switch (form.method) {
    case kConfigureTftp:
        form.tftpServer = TextOf(config.upgradetftp);
        form.tftpFile = TextOf(config.upgradefile);
        form.tftpBootloaderFile = TextOf(config.upgradeblfile);
        break;
    case kConfigureHttpFtp:
        form.url = TextOf(config.upgradeurl);
        form.bootloaderUrl = TextOf(config.upgradeblurl);
        break;
    default:
        break;
    }
    form.kernel = VersionFieldText(config.upgkernversion);
    form.fileSystem = VersionFieldText(config.upgfsysversion);
    form.patch = VersionFieldText(config.upgpatchversion);
    form.bootloader = BootloaderFieldText(config.upgblrev);
    char16_t ip[kIpTextUnits];
    char16_t mac[kMacTextUnits];
    char16_t mask[kIpTextUnits];
    IpToText(config.mgripaddr, ip);
    MacToText(config.mgrmacaddr, mac);
    IpToText(config.mgrsubnetmask, mask);
    form.ipAddress = ip;
    form.macAddress = mac;
    form.subnetMask = mask;
    form.option = config.upgoption <= 2 ? config.upgoption : -1;
    return form;
}

MethodDisplay MethodDisplayFor(int method, bool extendedMode) {
    MethodDisplay display;
    if (method == kConfigureTftp) {
        display.tftpServer = true;
        display.tftpFile = true;
        display.tftpBootloaderFile = extendedMode;
        display.tftpServerLabel = u"TFTP Server";
        display.tftpFileLabel = u"Files  FW";
        display.tftpBootloaderFileLabel = u"BL";
    } else if (method == kConfigureHttpFtp) {
        display.url = true;
        display.bootloaderUrl = extendedMode;
        display.urlLabel = u"FW Server URL";
        display.bootloaderUrlLabel = u"BL Server URL";
    }
    return display;
}

MethodHelp MethodHelpFor(int method) {
    switch (method) {
    case kConfigureUsb:
        return {u"USB Method", u"There must be 1 and only 1 \"tevpack-*.bin\" or "
                               u"\"tevblpack-*.bin\"in USB drive's root directory."};
    case kConfigureTftp:
        return {u"TFTP Method",
                u"The Server Address is the IP address in the form of xxx.xxx.xxx.xxx or a "
                u"host name, e.g. \"192.168.1.10\", \"tftp.example.com\"\n"
                u"Filename is the name of the firmware upgrade file on the server."};
    case kConfigureHttpFtp:
        return {u"HTTP/FTP Method", u"The Server URL for http is in the form of:\n"
                                    u"http://webserver_host/path/to/Filename.\n"
                                    u"The Server URL for ftp is in the form of:\n"
                                    u"ftp://[user[:password]@]ftpserver_host/path/to/Filename."};
    default:
        return {u"", u""};
    }
}

FormCheck CheckForm(const ConfigureForm& form) {
    long size = 0;
    if (!ReadWholeNumber(form.listSize, &size)) {
        return {FormField::ListSize, u"Enter an integer."};
    }
    if (size < kListSizeCheckMin || size > kListSizeCheckMax) {
        return {FormField::ListSize, u"Enter an integer between " + Decimal(kListSizeCheckMin) +
                                         u" and " + Decimal(kListSizeCheckMax) + u"."};
    }
    if (form.method == kConfigureTftp &&
        form.tftpServer.size() > static_cast<size_t>(kTftpServerLimit)) {
        return {FormField::TftpServer,
                u"Enter no more than " + Decimal(kTftpServerLimit) + u" characters."};
    }
    return {};
}

void ApplyForm(ConfigureForm& form, ConfigValues& config) {
    config.maxlistsize = ClampListSize(form.listSize);

    std::u16string tftpServer;
    std::u16string url;
    std::u16string bootloaderUrl;
    switch (form.method) {
    case kConfigureUsb:
        form.tftpFile.clear();
        form.tftpBootloaderFile.clear();
        break;
    case kConfigureTftp:
        tftpServer = form.tftpServer;
        break;
    case kConfigureHttpFtp:
        url = form.url;
        bootloaderUrl = form.bootloaderUrl;
        form.tftpServer.clear();
        form.tftpFile.clear();
        form.tftpBootloaderFile.clear();
        break;
    default:
        break;
    }
    StoreText(config.upgradetftp, tftpServer, 127);
    StoreText(config.upgradeurl, url, 255);
    StoreText(config.upgradeblurl, bootloaderUrl, 255);
    StoreText(config.upgradefile, form.tftpFile, 127);
    StoreText(config.upgradeblfile, form.tftpBootloaderFile, 127);

    StoreVersion(form.kernel, config.upgkernversion);
    StoreVersion(form.fileSystem, config.upgfsysversion);
    StoreVersion(form.patch, config.upgpatchversion);
    const std::u16string& bl = form.bootloader;
    config.upgblrev = static_cast<uint16_t>(ReadLongNumber(bl.data(), bl.data() + bl.size(), 10));

    TextToIp(form.ipAddress.c_str(), config.mgripaddr);
    TextToMac(form.macAddress.c_str(), config.mgrmacaddr);
    TextToIp(form.subnetMask.c_str(), config.mgrsubnetmask);

    config.upgmethod = static_cast<uint8_t>((form.method & 0x7F) | form.testBit);
    if (form.option >= 0 && form.option <= 2) {
        config.upgoption = static_cast<uint8_t>(form.option);
    }
}
