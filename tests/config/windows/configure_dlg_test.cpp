// The Configuration dialog on the offscreen platform: real widgets driven by clicks and
// key clicks, message boxes answered by the scripted answerer, the USB drive picker over
// fixture drives, and Test Packages running the real scripts, interpreter and tools on
// packages made with zip at test time.
#include "config/windows/configure_command.h"
#include "config/windows/configure_dlg.h"
#include "package/package_flags.h"
#include "package/windows/pick_usb_drive_dlg.h"
#include "platform/qt/control_id.h"
#include "platform/qt/message_box.h"
#include "tests/config/temp_program_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace fs = std::filesystem;
using platform::MessageBoxResult;

namespace {

template <size_t N> void Put(char16_t (&field)[N], const char16_t* text) {
    const std::u16string value(text);
    std::fill(field, field + N, u'\0');
    std::copy(value.begin(), value.end(), field);
}

std::u16string Text(const char16_t* field) {
    return field;
}

std::vector<uint8_t> Bytes(const uint8_t* bytes, size_t count) {
    return {bytes, bytes + count};
}

// Runs `action` on the next modal window of type T once it shows.
template <typename T> void WhenModal(std::function<void(T*)> action) {
    QTimer::singleShot(10, qApp, [action] {
        if (T* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
            action(dialog);
        } else {
            WhenModal<T>(action);
        }
    });
}

void Click(QWidget* dialog, int id) {
    auto* button = platform::Control<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isVisible()) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

class ConfigureDlgTest : public TempProgramDir {
  protected:
    void SetUp() override {
        TempProgramDir::SetUp();
        SetConfigDefaults();
        ConfigValues& config = TheConfig();
        config.upgmethod = 0x81; // TFTP, test bit set
        Put(config.upgradetftp, u"tftp.lab");
        Put(config.upgradefile, u"fw.bin");
        Put(config.upgradeblfile, u"bl.bin");
        Put(config.upgradeurl, u"http://web/fw.bin");
        Put(config.upgradeblurl, u"http://web/bl.bin");
        const uint8_t kernel[3] = {1, 2, 3};
        std::memcpy(config.upgkernversion, kernel, 3);
        const uint8_t ip[4] = {192, 168, 1, 20};
        const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        const uint8_t mask[4] = {255, 255, 255, 0};
        std::memcpy(config.mgripaddr, ip, 4);
        std::memcpy(config.mgrmacaddr, mac, 6);
        std::memcpy(config.mgrsubnetmask, mask, 4);
        config.upgoption = 1;
        before_ = config;

        root_ = dir_;
        fs::create_directories(root_ / "temp");
        fs::create_directories(root_ / "usb");
        // The interpreter and the tools lie next to the test binary.
        environment.programDirectory =
            platform::Utf8ToUtf16(fs::read_symlink("/proc/self/exe").parent_path().string());
        environment.temporaryDirectory = platform::Utf8ToUtf16((root_ / "temp").string());
        hooks.drives.mountsFile = (root_ / "mounts").string();
        hooks.drives.sysBlockDirectory = (root_ / "block").string();
        fs::create_directories(root_ / "block" / "sdb" / "sdb1");
        std::ofstream(root_ / "block" / "sdb" / "removable") << "1\n";
        std::ofstream(root_ / "mounts")
            << "/dev/sdb1 " << (root_ / "usb").string() << " vfat rw 0 0\n";
    }

    CConfigureDlg& Open(bool extended = false) {
        environment.extendedMode = extended;
        saved = true; // the dialog sets it to false as it opens
        dialog = std::make_unique<CConfigureDlg>(&saved, environment, TheConfig(), nullptr, hooks);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }

    QLineEdit* Edit(int id) const { return platform::Control<QLineEdit>(dialog.get(), id); }
    QLabel* Label(int id) const { return platform::Control<QLabel>(dialog.get(), id); }
    QString EditText(int id) const { return Edit(id)->text(); }
    void Type(int id, const QString& text) {
        Edit(id)->clear();
        QTest::keyClicks(Edit(id), text);
    }
    bool ButtonsEnabled() const {
        for (int id : {kCfgTestPackagesId, kCfgSelectId, kCfgCancelId, kCfgSaveId}) {
            if (!platform::Control<QPushButton>(dialog.get(), id)->isEnabled()) {
                return false;
            }
        }
        return true;
    }

    // A firmware package: a zip archive with the note as its comment, protected by the
    // note's own password unless `password` says otherwise.
    void MakePackage(const fs::path& path, const std::string& note,
                     const std::vector<std::string>& members, std::string password = {}) {
        if (password.empty()) {
            password = PackagePassword(note.substr(0, note.find('\n')));
        }
        const fs::path work = root_ / "work";
        fs::create_directories(work);
        std::string command = "cd '" + work.string() + "' && rm -f pkg.zip";
        for (const std::string& member : members) {
            std::ofstream(work / member) << "image of " << member;
        }
        std::ofstream(work / "comment.txt") << note;
        command += " && zip -q -P " + password + " pkg.zip";
        for (const std::string& member : members) {
            command += " " + member;
        }
        command += " && zip -q -z pkg.zip < comment.txt && mv pkg.zip '" + path.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Test Packages with the USB method: the picker takes the fixture drive.
    void TestOverUsb() {
        Click(dialog.get(), kCfgUsbRadioId);
        WhenModal<CPickUSBDriveDlg>(
            [](CPickUSBDriveDlg* picker) { Click(picker, kUsbOkButtonId); });
        boxes.QueueAnswer(MessageBoxResult::Yes);
        Click(dialog.get(), kCfgTestPackagesId);
    }

    std::vector<std::pair<QString, QString>> Boxes() const {
        std::vector<std::pair<QString, QString>> result;
        for (const platform::MessageBoxCall& call : boxes.calls()) {
            result.emplace_back(call.caption, call.text);
        }
        return result;
    }

    void ExpectNoTestFilesLeft() { EXPECT_TRUE(fs::is_empty(root_ / "temp")); }

    platform::ScriptedMessageBoxes boxes;
    ConfigValues before_{};
    fs::path root_;
    ConfigureEnvironment environment;
    ConfigureDlgHooks hooks;
    bool saved = true;
    std::unique_ptr<CConfigureDlg> dialog;
};

bool SameValues(const ConfigValues& a, const ConfigValues& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST_F(ConfigureDlgTest, OpeningWithTftpShowsTheStoredServerAndFiles) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Configuration");
    EXPECT_FALSE(saved);
    EXPECT_TRUE(platform::Control<QRadioButton>(dialog.get(), kCfgTftpRadioId)->isChecked());
    EXPECT_EQ(EditText(kCfgTftpServerId), "tftp.lab");
    EXPECT_EQ(EditText(kCfgTftpFileId), "fw.bin");
    EXPECT_EQ(EditText(kCfgTftpBootloaderFileId), "bl.bin");
    EXPECT_EQ(EditText(kCfgUrlId), "");
    EXPECT_EQ(EditText(kCfgBootloaderUrlId), "");
    EXPECT_TRUE(Edit(kCfgTftpServerId)->isVisible() && Edit(kCfgTftpFileId)->isVisible());
    EXPECT_FALSE(Edit(kCfgUrlId)->isVisible() || Edit(kCfgBootloaderUrlId)->isVisible());
    EXPECT_EQ(Label(kCfgTftpServerLabelId)->text(), "TFTP Server");
    EXPECT_EQ(Label(kCfgTftpFileLabelId)->text(), "Files  FW");
    EXPECT_EQ(Label(kCfgUrlLabelId)->text(), "");
    // Outside extended mode: no bootloader file, no Bootloader field.
    EXPECT_FALSE(Edit(kCfgTftpBootloaderFileId)->isVisible());
    EXPECT_FALSE(Edit(kCfgBootloaderId)->isVisible() || Label(kCfgBootloaderLabelId)->isVisible());

    EXPECT_EQ(EditText(kCfgListSizeId), "20");
    EXPECT_EQ(EditText(kCfgKernelId), "1.2");
    EXPECT_EQ(EditText(kCfgFileSystemId), "n/a");
    EXPECT_TRUE(Edit(kCfgKernelId)->isReadOnly());
    EXPECT_EQ(Edit(kCfgUrlId)->maxLength(), 120);
    EXPECT_EQ(Edit(kCfgKernelId)->maxLength(), 10);
    EXPECT_EQ(Label(kCfgIpAddressId)->text(), "192.168.1.20");
    EXPECT_EQ(Label(kCfgMacAddressId)->text(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(Label(kCfgSubnetMaskId)->text(), "255.255.255.0");
    EXPECT_EQ(Label(kCfgRevisionId)->text(), "");
    EXPECT_TRUE(platform::Control<QRadioButton>(dialog.get(), kCfgOptionNotEqualId)->isChecked());
    auto* testing = platform::Control<QCheckBox>(dialog.get(), kCfgTestingId);
    EXPECT_TRUE(testing->isChecked());
    EXPECT_FALSE(testing->isVisible());
    EXPECT_FALSE(Edit(kCfgMainAppId)->isVisible());

    Type(kCfgTftpServerId, "a.long.server.name");
    EXPECT_EQ(Edit(kCfgTftpServerId)->toolTip(), "a.long.server.name");
}

TEST_F(ConfigureDlgTest, ExtendedModeShowsTheBootloaderFields) {
    TheConfig().upgblrev = 7;
    Open(true);
    EXPECT_TRUE(Edit(kCfgBootloaderId)->isVisible() && Label(kCfgBootloaderLabelId)->isVisible());
    EXPECT_EQ(EditText(kCfgBootloaderId), "7");
    EXPECT_TRUE(Edit(kCfgTftpBootloaderFileId)->isVisible());
    EXPECT_EQ(Label(kCfgTftpBootloaderFileLabelId)->text(), "BL");
    Click(dialog.get(), kCfgHttpFtpRadioId);
    EXPECT_TRUE(Edit(kCfgBootloaderUrlId)->isVisible());
    EXPECT_EQ(Label(kCfgBootloaderUrlLabelId)->text(), "BL Server URL");
    Click(dialog.get(), kCfgUsbRadioId);
    for (int id : {kCfgTftpServerId, kCfgTftpFileId, kCfgTftpBootloaderFileId, kCfgUrlId,
                   kCfgBootloaderUrlId}) {
        EXPECT_FALSE(Edit(id)->isVisible()) << id;
    }
    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(TheConfig().upgblrev, 7); // taken back from the field
}

TEST_F(ConfigureDlgTest, SwitchingMethodsKeepsTheTextsUntilSaveClearsTheOtherMethods) {
    Open();
    Click(dialog.get(), kCfgHttpFtpRadioId);
    EXPECT_EQ(dialog->method(), kConfigureHttpFtp);
    EXPECT_TRUE(Edit(kCfgUrlId)->isVisible());
    EXPECT_FALSE(Edit(kCfgTftpServerId)->isVisible());
    EXPECT_EQ(Label(kCfgUrlLabelId)->text(), "FW Server URL");
    EXPECT_EQ(Label(kCfgTftpServerLabelId)->text(), "");
    Type(kCfgUrlId, "http://web/new.bin");
    EXPECT_EQ(Edit(kCfgUrlId)->toolTip(), "http://web/new.bin");

    Click(dialog.get(), kCfgTftpRadioId);
    EXPECT_EQ(EditText(kCfgTftpServerId), "tftp.lab");
    EXPECT_EQ(EditText(kCfgTftpFileId), "fw.bin");
    Click(dialog.get(), kCfgHttpFtpRadioId);
    EXPECT_EQ(EditText(kCfgUrlId), "http://web/new.bin");
    EXPECT_EQ(Text(TheConfig().upgradetftp), u"tftp.lab"); // nothing changes before Save

    Click(dialog.get(), kCfgSaveId);
    EXPECT_TRUE(saved);
    EXPECT_FALSE(dialog->isVisible());
    const ConfigValues& config = TheConfig();
    EXPECT_EQ(config.upgmethod, 0x82);
    EXPECT_EQ(Text(config.upgradeurl), u"http://web/new.bin");
    EXPECT_EQ(Text(config.upgradeblurl), u""); // its edit was never filled for HTTP/FTP
    EXPECT_EQ(Text(config.upgradetftp), u"");
    EXPECT_EQ(Text(config.upgradefile), u"");
    EXPECT_EQ(Text(config.upgradeblfile), u"");
    EXPECT_EQ(EditText(kCfgTftpServerId), "");
    EXPECT_EQ(EditText(kCfgTftpFileId), "");

    // And back: TFTP keeps its own fields and drops the URLs typed meanwhile.
    Open();
    Click(dialog.get(), kCfgHttpFtpRadioId);
    Type(kCfgUrlId, "http://web/other.bin");
    Click(dialog.get(), kCfgTftpRadioId);
    Type(kCfgTftpServerId, "10.0.0.9");
    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(Text(config.upgradetftp), u"10.0.0.9");
    EXPECT_EQ(config.upgmethod, 0x81);
    EXPECT_EQ(Text(config.upgradeurl), u"");
}

TEST_F(ConfigureDlgTest, MaximumListSizeIsCheckedBeforeAnythingChanges) {
    struct Case {
        QString typed;
        QString message; // empty: Save closes the dialog
        uint16_t stored;
    };
    const Case cases[] = {
        {"10", "Enter an integer between 20 and 1000.", 20},
        {"800", "", 500},
        {"1500", "Enter an integer between 20 and 1000.", 20},
        {"", "Enter an integer.", 20},
        {"35", "", 35},
    };
    for (const Case& c : cases) {
        SetConfigDefaults();
        TheConfig().upgmethod = 1;
        const ConfigValues before = TheConfig();
        boxes.ClearCalls();
        Open();
        Type(kCfgListSizeId, c.typed);
        Type(kCfgTftpServerId, "changed.server");
        Click(dialog.get(), kCfgSaveId);
        EXPECT_EQ(TheConfig().maxlistsize, c.stored) << c.typed.toStdString();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(boxes.calls().empty());
            EXPECT_FALSE(dialog->isVisible());
            EXPECT_TRUE(saved);
            EXPECT_EQ(Text(TheConfig().upgradetftp), u"changed.server");
        } else {
            ASSERT_EQ(boxes.calls().size(), 1u) << c.typed.toStdString();
            EXPECT_EQ(boxes.calls()[0].text, c.message);
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_FALSE(saved);
            EXPECT_EQ(dialog->focusWidget(), Edit(kCfgListSizeId));
            EXPECT_TRUE(SameValues(TheConfig(), before)); // nothing at all changed
        }
    }
    Open();
    QTest::keyClicks(Edit(kCfgListSizeId), "x-"); // digits only
    EXPECT_EQ(EditText(kCfgListSizeId), "35");    // as the last Save left it
}

TEST_F(ConfigureDlgTest, SaveWithoutATestKeepsTheFirstTwoVersionParts) {
    const uint8_t patch[3] = {4, 210, 0};
    std::memcpy(TheConfig().upgpatchversion, patch, 3);
    Open();
    EXPECT_EQ(EditText(kCfgPatchId), "4.210");
    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(Bytes(TheConfig().upgkernversion, 3), (std::vector<uint8_t>{1, 2, 0}));
    EXPECT_EQ(Bytes(TheConfig().upgfsysversion, 3), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(Bytes(TheConfig().upgpatchversion, 3), (std::vector<uint8_t>{4, 210, 0}));
    EXPECT_EQ(TheConfig().upgoption, 1);
}

TEST_F(ConfigureDlgTest, SelectShowsTheChosenInterfaceAndSaveStoresIt) {
    std::u16string next[3] = {u"10.1.2.3", u"00:90:4B:F1:02:E3", u""};
    hooks.selectInterface = [&](QWidget*, std::u16string& ip, std::u16string& mac,
                                std::u16string& mask) {
        ip = next[0];
        mac = next[1];
        mask = next[2];
    };
    Open();
    Click(dialog.get(), kCfgSelectId); // one text empty: nothing shown
    EXPECT_EQ(Label(kCfgIpAddressId)->text(), "192.168.1.20");
    next[2] = u"255.0.0.0";
    Click(dialog.get(), kCfgSelectId);
    EXPECT_EQ(Label(kCfgIpAddressId)->text(), "10.1.2.3");
    EXPECT_EQ(Label(kCfgMacAddressId)->text(), "00:90:4B:F1:02:E3");
    EXPECT_EQ(Bytes(TheConfig().mgripaddr, 4), Bytes(before_.mgripaddr, 4)); // not yet
    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(Bytes(TheConfig().mgripaddr, 4), (std::vector<uint8_t>{10, 1, 2, 3}));
    EXPECT_EQ(Bytes(TheConfig().mgrmacaddr, 6),
              (std::vector<uint8_t>{0x00, 0x90, 0x4B, 0xF1, 0x02, 0xE3}));
    EXPECT_EQ(Bytes(TheConfig().mgrsubnetmask, 4), (std::vector<uint8_t>{255, 0, 0, 0}));
}

TEST_F(ConfigureDlgTest, HelpExplainsTheCurrentMethod) {
    Open();
    Click(dialog.get(), kCfgHelpId);
    Click(dialog.get(), kCfgUsbRadioId);
    Click(dialog.get(), kCfgHelpId);
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[0].caption, "TFTP Method");
    EXPECT_EQ(boxes.calls()[0].style, platform::kMbIconInformation);
    EXPECT_EQ(boxes.calls()[1].caption, "USB Method");
}

TEST_F(ConfigureDlgTest, NoToTheTestQuestionLeavesTheFieldsEmptyAndTheButtonsEnabled) {
    TheConfig().upgmethod = 2; // HTTP/FTP with a URL
    Open();
    boxes.QueueAnswer(MessageBoxResult::No);
    Click(dialog.get(), kCfgTestPackagesId);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].caption, "Test Package");
    EXPECT_EQ(boxes.calls()[0].text,
              "The test may take more than 30 seconds, do you want to continue?");
    EXPECT_EQ(boxes.calls()[0].style & 0x0F, platform::kMbYesNo);
    for (int id : {kCfgKernelId, kCfgFileSystemId, kCfgPatchId, kCfgBootloaderId}) {
        EXPECT_EQ(EditText(id), "") << id;
    }
    EXPECT_EQ(Label(kCfgRevisionId)->text(), "");
    EXPECT_TRUE(ButtonsEnabled());
    ExpectNoTestFilesLeft();
}

TEST_F(ConfigureDlgTest, TestPackagesRefusesWhatCannotBeTested) {
    const fs::path noTools = root_ / "no-tools";
    const fs::path zipOnly = root_ / "zip-only";
    const fs::path zipDirectory = root_ / "zip-directory";
    fs::create_directories(noTools);
    fs::create_directories(zipOnly);
    fs::create_directories(zipDirectory / "unzip.exe");
    std::ofstream(zipOnly / "unzip.exe") << "#!/bin/sh\n";
    struct Case {
        int method;
        fs::path tools; // empty: the real ones
        QString server, file, url;
        bool cancelPicker;
        QString message;
    };
    const Case cases[] = {
        {kConfigureTftp, noTools, "s", "f", "", false, "Cannot find 'unzip.exe'"},
        {kConfigureTftp, zipDirectory, "s", "f", "", false, "Cannot find 'unzip.exe'"},
        {kConfigureTftp, zipOnly, "s", "f", "", false, "Cannot find 'TFTP.EXE'"},
        {kConfigureHttpFtp, zipOnly, "", "", "http://x/", false, "Cannot find 'wget.exe'"},
        {kConfigureTftp, {}, "", "f", "", false, "No server or filename!"},
        // The bootloader file counts only in extended mode.
        {kConfigureTftp, {}, "s", "", "", false, "No server or filename!"},
        {kConfigureHttpFtp, {}, "", "", "", false, "No URL (http/ftp)!"},
        {kConfigureUsb, {}, "", "", "", true, "No USB drive selected!"},
        {5, {}, "", "", "", false, "Unknown method!"},
    };
    const std::u16string realTools = environment.programDirectory;
    for (const Case& c : cases) {
        SetConfigDefaults();
        TheConfig().upgmethod = static_cast<uint8_t>(c.method);
        Put(TheConfig().upgradeblfile, u"bl.bin");
        Put(TheConfig().upgradeblurl, u"http://x/bl.bin");
        environment.programDirectory =
            c.tools.empty() ? realTools : platform::Utf8ToUtf16(c.tools.string());
        boxes.ClearCalls();
        Open();
        if (c.method == kConfigureTftp) {
            Type(kCfgTftpServerId, c.server);
            Type(kCfgTftpFileId, c.file);
        } else if (c.method == kConfigureHttpFtp) {
            Type(kCfgUrlId, c.url);
        }
        if (c.cancelPicker) {
            WhenModal<CPickUSBDriveDlg>(
                [](CPickUSBDriveDlg* picker) { Click(picker, kUsbCancelButtonId); });
        }
        Click(dialog.get(), kCfgTestPackagesId);
        ASSERT_EQ(boxes.calls().size(), 1u) << c.message.toStdString();
        EXPECT_EQ(boxes.calls()[0].text, c.message);
        EXPECT_EQ(boxes.calls()[0].caption, "Test Package(s)");
        EXPECT_EQ(boxes.calls()[0].style, platform::kMbIconError);
        EXPECT_TRUE(ButtonsEnabled());
        EXPECT_EQ(EditText(kCfgKernelId), "n/a"); // fields untouched before the question
    }
}

TEST_F(ConfigureDlgTest, TestPackagesOverUsbShowsTheRevisionsAndSaveStoresThem) {
    MakePackage(root_ / "usb" / "tevpack-test.bin", "tevpack-abcdefghijkl1234.bin\n",
                {"tevkernel.bin", "tevfs.bin", "tevpatch.bin"});
    TheConfig().upgblrev = 5;
    Open();
    TestOverUsb();
    EXPECT_EQ(Boxes(), (std::vector<std::pair<QString, QString>>{
                           {"Test Package",
                            "The test may take more than 30 seconds, do you want to continue?"},
                           {"Test Firmware/Bootloader", "Tested Successfully."}}));
    EXPECT_EQ(dialog->usbDriveRoot(), platform::Utf8ToUtf16((root_ / "usb").string() + "/"));
    EXPECT_EQ(EditText(kCfgKernelId), "4.210");
    EXPECT_EQ(EditText(kCfgFileSystemId), "4.210");
    EXPECT_EQ(EditText(kCfgPatchId), "4.210");
    EXPECT_EQ(Label(kCfgRevisionId)->text(), "1234");
    EXPECT_EQ(EditText(kCfgBootloaderId), ""); // no bootloader test outside extended mode
    EXPECT_FALSE(PackageIsV3);
    EXPECT_TRUE(ButtonsEnabled());
    ExpectNoTestFilesLeft();

    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(Bytes(TheConfig().upgkernversion, 3), (std::vector<uint8_t>{4, 210, 0}));
    EXPECT_EQ(Bytes(TheConfig().upgfsysversion, 3), (std::vector<uint8_t>{4, 210, 0}));
    EXPECT_EQ(TheConfig().upgmethod, 0x80);
    EXPECT_EQ(Text(TheConfig().upgradetftp), u"");
    EXPECT_EQ(Text(TheConfig().upgradefile), u"");
}

TEST_F(ConfigureDlgTest, ExtendedModeAlsoTestsTheBootloaderPackage) {
    MakePackage(root_ / "usb" / "tevpack-test.bin", "tevpack-abcdefghijkl1234.bin\n",
                {"tevkernel.bin", "tevfs.bin"});
    Open(true);
    TestOverUsb();
    // The drive holds no bootloader package, so that test fails after the firmware one.
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].first, "Error");
    EXPECT_TRUE(shown[1].second.startsWith("Failed to get package! "))
        << shown[1].second.toStdString();
    EXPECT_EQ(shown[2],
              std::make_pair(QString("Test Bootloader Package"), QString("Test Failed!")));
    EXPECT_EQ(boxes.calls()[2].style, platform::kMbIconError);
    EXPECT_EQ(EditText(kCfgKernelId), "4.210");
    EXPECT_EQ(EditText(kCfgPatchId), "n/a");
    EXPECT_EQ(EditText(kCfgBootloaderId), "n/a");
    ExpectNoTestFilesLeft();
}

TEST_F(ConfigureDlgTest, AFailedTestLeavesNotApplicableAndSaveStoresZeroVersions) {
    MakePackage(root_ / "usb" / "tevpack-test.bin", "tevpack-abcdefghijkl1234.bin\n",
                {"tevkernel.bin", "tevfs.bin", "tevpatch.bin"}, "notitspassword");
    Open();
    TestOverUsb();
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].first, "Error");
    EXPECT_TRUE(shown[1].second.startsWith("Failed to decrypt the package! "));
    EXPECT_EQ(shown[2], std::make_pair(QString("Test Firmware Package"), QString("Test Failed!")));
    for (int id : {kCfgKernelId, kCfgFileSystemId, kCfgPatchId}) {
        EXPECT_EQ(EditText(id), "n/a") << id;
    }
    ExpectNoTestFilesLeft();
    Click(dialog.get(), kCfgSaveId);
    EXPECT_EQ(Bytes(TheConfig().upgkernversion, 3), (std::vector<uint8_t>{0, 0, 0}));
}

TEST_F(ConfigureDlgTest, ConfigureCommandSavesTheSixteenItemsAfterSave) {
    WhenModal<CConfigureDlg>([](CConfigureDlg* shown) {
        auto* size = platform::Control<QLineEdit>(shown, kCfgListSizeId);
        size->setText("300");
        Click(shown, kCfgSaveId);
    });
    EXPECT_TRUE(RunConfigureCommand(nullptr, environment));
    const ConfigValues written = TheConfig();
    EXPECT_EQ(written.maxlistsize, 300);

    // Reload from the store alone: exactly the sixteen edited items are there.
    SetConfigDefaults();
    for (ConfigKind kind = 1; kind <= kConfigKindCount; ++kind) {
        const bool neverWritten = kind <= kCfgMgrBroadLPort || kind == kCfgMgrEncrypt ||
                                  kind == kCfgOptions || kind == kCfgFilters;
        EXPECT_EQ(LoadConfigItem(kind) != 0, !neverWritten) << kind;
    }
    EXPECT_TRUE(SameValues(TheConfig(), written));
}

TEST_F(ConfigureDlgTest, CancelAfterAFailedSaveWritesNothing) {
    WhenModal<CConfigureDlg>([](CConfigureDlg* shown) {
        platform::Control<QLineEdit>(shown, kCfgListSizeId)->setText("10");
        platform::Control<QLineEdit>(shown, kCfgTftpServerId)->setText("other.server");
        Click(shown, kCfgSaveId); // refused: the range message
        Click(shown, kCfgCancelId);
    });
    EXPECT_FALSE(RunConfigureCommand(nullptr, environment));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Enter an integer between 20 and 1000.");
    EXPECT_TRUE(SameValues(TheConfig(), before_));
    for (ConfigKind kind = 1; kind <= kConfigKindCount; ++kind) {
        EXPECT_EQ(LoadConfigItem(kind), 0) << kind;
    }
}
