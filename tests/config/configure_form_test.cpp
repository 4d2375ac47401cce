// The Configuration dialog's form logic: what the fields show when it opens, what each
// method shows, the checks of Save and what Save makes of the fields.
#include "config/configure_form.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

template <size_t N> void Put(char16_t (&field)[N], const char16_t* text) {
    std::u16string value(text);
    std::fill(field, field + N, u'\0');
    std::copy(value.begin(), value.end(), field);
}

ConfigValues StoredValues(uint8_t method) {
    ConfigValues config{};
    config.maxlistsize = 120;
    config.upgmethod = method;
    Put(config.upgradetftp, u"tftp.lab");
    Put(config.upgradefile, u"fw.bin");
    Put(config.upgradeblfile, u"bl.bin");
    Put(config.upgradeurl, u"http://web/fw.bin");
    Put(config.upgradeblurl, u"http://web/bl.bin");
    const uint8_t kernel[3] = {1, 2, 3};
    std::memcpy(config.upgkernversion, kernel, 3);
    config.upgpatchversion[2] = 9; // only the third part set: still a version
    config.upgblrev = 0;
    const uint8_t ip[4] = {192, 168, 1, 20};
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(config.mgripaddr, ip, 4);
    std::memcpy(config.mgrmacaddr, mac, 6);
    std::memcpy(config.mgrsubnetmask, mask, 4);
    config.upgoption = 1;
    return config;
}

std::u16string Text(const char16_t* field) {
    return field;
}

} // namespace

TEST(ConfigureForm, OpeningFillsOnlyTheStoredMethodsFetchFields) {
    struct Case {
        uint8_t upgmethod;
        std::u16string server, file, blFile, url, blUrl;
    };
    const Case cases[] = {
        {0x00, u"", u"", u"", u"", u""},
        {0x81, u"tftp.lab", u"fw.bin", u"bl.bin", u"", u""},
        {0x02, u"", u"", u"", u"http://web/fw.bin", u"http://web/bl.bin"},
    };
    for (const Case& c : cases) {
        const ConfigureForm form = FormFromConfig(StoredValues(c.upgmethod));
        EXPECT_EQ(form.method, c.upgmethod & 0x7F);
        EXPECT_EQ(form.testBit, c.upgmethod & 0x80);
        EXPECT_EQ(form.tftpServer, c.server);
        EXPECT_EQ(form.tftpFile, c.file);
        EXPECT_EQ(form.tftpBootloaderFile, c.blFile);
        EXPECT_EQ(form.url, c.url);
        EXPECT_EQ(form.bootloaderUrl, c.blUrl);
    }
    const ConfigureForm form = FormFromConfig(StoredValues(1));
    EXPECT_EQ(form.listSize, u"120");
    EXPECT_EQ(form.kernel, u"1.2");
    EXPECT_EQ(form.fileSystem, u"n/a");
    EXPECT_EQ(form.patch, u"0.0");
    EXPECT_EQ(form.bootloader, u"n/a");
    EXPECT_EQ(form.ipAddress, u"192.168.1.20");
    EXPECT_EQ(form.macAddress, u"00:1A:2B:3C:4D:5E");
    EXPECT_EQ(form.subnetMask, u"255.255.255.0");
    EXPECT_EQ(form.option, 1);
    EXPECT_EQ(BootloaderFieldText(513), u"513");
}

TEST(ConfigureForm, MethodDisplayShowsTheMethodsFieldsAndBootloaderOnesOnlyInExtendedMode) {
    const MethodDisplay usb = MethodDisplayFor(kConfigureUsb, true);
    EXPECT_FALSE(usb.tftpServer || usb.tftpFile || usb.tftpBootloaderFile || usb.url ||
                 usb.bootloaderUrl);
    EXPECT_EQ(Text(usb.tftpServerLabel) + usb.tftpFileLabel + usb.tftpBootloaderFileLabel +
                  usb.urlLabel + usb.bootloaderUrlLabel,
              u"");
    for (bool extended : {false, true}) {
        const MethodDisplay tftp = MethodDisplayFor(kConfigureTftp, extended);
        EXPECT_TRUE(tftp.tftpServer && tftp.tftpFile);
        EXPECT_EQ(tftp.tftpBootloaderFile, extended);
        EXPECT_FALSE(tftp.url || tftp.bootloaderUrl);
        EXPECT_EQ(Text(tftp.tftpServerLabel), u"TFTP Server");
        EXPECT_EQ(Text(tftp.tftpFileLabel), u"Files  FW");
        EXPECT_EQ(Text(tftp.tftpBootloaderFileLabel), u"BL");
        EXPECT_EQ(Text(tftp.urlLabel) + tftp.bootloaderUrlLabel, u"");

        const MethodDisplay http = MethodDisplayFor(kConfigureHttpFtp, extended);
        EXPECT_TRUE(http.url);
        EXPECT_EQ(http.bootloaderUrl, extended);
        EXPECT_FALSE(http.tftpServer || http.tftpFile || http.tftpBootloaderFile);
        EXPECT_EQ(Text(http.urlLabel), u"FW Server URL");
        EXPECT_EQ(Text(http.bootloaderUrlLabel), u"BL Server URL");
        EXPECT_EQ(Text(http.tftpServerLabel) + http.tftpFileLabel + http.tftpBootloaderFileLabel,
                  u"");
    }
}

TEST(ConfigureForm, HelpTextsByMethod) {
    EXPECT_EQ(Text(MethodHelpFor(kConfigureUsb).caption), u"USB Method");
    EXPECT_EQ(MethodHelpFor(kConfigureUsb).text,
              u"There must be 1 and only 1 \"tevpack-*.bin\" or \"tevblpack-*.bin\"in USB "
              u"drive's root directory.");
    const MethodHelp tftp = MethodHelpFor(kConfigureTftp);
    EXPECT_EQ(Text(tftp.caption), u"TFTP Method");
    EXPECT_EQ(tftp.text.rfind(u"The Server Address is the IP address in the form of "
                              u"xxx.xxx.xxx.xxx or a host name, e.g. \"",
                              0),
              0u);
    EXPECT_NE(tftp.text.find(u"\", \""), std::u16string::npos);
    EXPECT_NE(tftp.text.find(u"\"\nFilename is the name of the firmware upgrade file on the "
                             u"server."),
              std::u16string::npos);
    const MethodHelp http = MethodHelpFor(kConfigureHttpFtp);
    EXPECT_EQ(Text(http.caption), u"HTTP/FTP Method");
    EXPECT_EQ(http.text, u"The Server URL for http is in the form of:\n"
                         u"http://webserver_host/path/to/Filename.\n"
                         u"The Server URL for ftp is in the form of:\n"
                         u"ftp://[user[:password]@]ftpserver_host/path/to/Filename.");
    EXPECT_EQ(Text(MethodHelpFor(3).caption), u"");
}

TEST(ConfigureForm, SaveChecksTheListSizeRangeAndTheServerLength) {
    struct Case {
        std::u16string listSize;
        std::u16string message;
    };
    const std::u16string range = u"Enter an integer between 20 and 1000.";
    const Case cases[] = {
        {u"", u"Enter an integer."},
        {u"abc", u"Enter an integer."},
        {u"12a", u"Enter an integer."},
        {u"10", range},
        {u"19", range},
        {u"-30", range},
        {u"1001", range},
        {u"1500", range},
        {u"99999999999", range},
        {u"20", u""},
        {u"800", u""},
        {u"1000", u""},
        {u" 0300 ", u""},
    };
    for (const Case& c : cases) {
        ConfigureForm form;
        form.listSize = c.listSize;
        const FormCheck check = CheckForm(form);
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.field, c.message.empty() ? FormField::None : FormField::ListSize);
    }
    ConfigureForm form;
    form.listSize = u"50";
    form.tftpServer = std::u16string(128, u's');
    EXPECT_EQ(CheckForm(form).field, FormField::TftpServer);
    EXPECT_EQ(CheckForm(form).message, u"Enter no more than 127 characters.");
    form.method = kConfigureHttpFtp; // the server is cleared for this method
    EXPECT_EQ(CheckForm(form).field, FormField::None);
    form.method = kConfigureTftp;
    form.tftpServer.resize(127);
    EXPECT_EQ(CheckForm(form).field, FormField::None);
}

TEST(ConfigureForm, SaveClampsTheListSizeAndClearsTheOtherMethodsFields) {
    struct Case {
        int method;
        std::u16string server, file, blFile, url, blUrl;
    };
    const Case cases[] = {
        {kConfigureUsb, u"", u"", u"", u"", u""},
        {kConfigureTftp, u"srv", u"fw", u"bl", u"", u""},
        {kConfigureHttpFtp, u"", u"", u"", u"http://a", u"http://b"},
    };
    for (const Case& c : cases) {
        ConfigValues config = StoredValues(1);
        ConfigureForm form;
        form.listSize = u"800";
        form.method = c.method;
        form.testBit = 0x80;
        form.tftpServer = u"srv";
        form.tftpFile = u"fw";
        form.tftpBootloaderFile = u"bl";
        form.url = u"http://a";
        form.bootloaderUrl = u"http://b";
        ApplyForm(form, config);
        EXPECT_EQ(config.maxlistsize, 500);
        EXPECT_EQ(config.upgmethod, 0x80 | c.method);
        EXPECT_EQ(Text(config.upgradetftp), c.server);
        EXPECT_EQ(Text(config.upgradefile), c.file);
        EXPECT_EQ(Text(config.upgradeblfile), c.blFile);
        EXPECT_EQ(Text(config.upgradeurl), c.url);
        EXPECT_EQ(Text(config.upgradeblurl), c.blUrl);
        EXPECT_EQ(form.tftpFile, c.file); // the edits Save empties
        EXPECT_EQ(form.tftpBootloaderFile, c.blFile);
        EXPECT_EQ(form.tftpServer, c.method == kConfigureHttpFtp ? u"" : u"srv");
    }
    ConfigValues config = StoredValues(1);
    ConfigureForm form = FormFromConfig(config);
    form.listSize = u"20";
    ApplyForm(form, config);
    EXPECT_EQ(config.maxlistsize, 20);
}

TEST(ConfigureForm, SaveTurnsTheRevisionAndAddressTextsIntoTheirItems) {
    ConfigValues config = StoredValues(1);
    ConfigureForm form = FormFromConfig(config); // kernel shows "1.2" of 1.2.3
    form.fileSystem = u"4.210";
    form.patch = u"n/a";
    form.bootloader = u"n/a";
    form.option = -1;
    form.ipAddress = u"10.1.2";
    form.macAddress = u"00-0c-29-3A-4B-5C";
    ApplyForm(form, config);
    EXPECT_EQ(std::vector<uint8_t>(config.upgkernversion, config.upgkernversion + 3),
              (std::vector<uint8_t>{1, 2, 0}));
    EXPECT_EQ(std::vector<uint8_t>(config.upgfsysversion, config.upgfsysversion + 3),
              (std::vector<uint8_t>{4, 210, 0}));
    EXPECT_EQ(std::vector<uint8_t>(config.upgpatchversion, config.upgpatchversion + 3),
              (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(config.upgoption, 1); // no Options radio checked: unchanged
    EXPECT_EQ(std::vector<uint8_t>(config.mgripaddr, config.mgripaddr + 4),
              (std::vector<uint8_t>{10, 1, 2, 0}));
    EXPECT_EQ(std::vector<uint8_t>(config.mgrmacaddr, config.mgrmacaddr + 6),
              (std::vector<uint8_t>{0x00, 0x0C, 0x29, 0x3A, 0x4B, 0x5C}));

    for (const auto& [text, revision] :
         {std::pair<std::u16string, uint16_t>{u"n/a", 0}, {u"", 0}, {u"513", 513}}) {
        form.bootloader = text;
        config.upgblrev = 77;
        ApplyForm(form, config);
        EXPECT_EQ(config.upgblrev, revision);
    }
    form.option = 2;
    ApplyForm(form, config);
    EXPECT_EQ(config.upgoption, 2);
}
