// The USB drive picker over fixture drives: a mounts file and a sysfs block tree made
// per test, read through the logical-drives seam.
#include "package/windows/pick_usb_drive_dlg.h"
#include "platform/qt/control_id.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class PickUsbDriveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ravelin-drives-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        sources.mountsFile = (root_ / "mounts").string();
        sources.sysBlockDirectory = (root_ / "block").string();
        Disk("sda", "0", {"sda1"});
        Disk("sdb", "1", {"sdb1"});
        Disk("sdc", "1", {});
        Disk("sr0", "1", {});
        // A fixed disk, two removable sticks, an optical drive and a network share.
        WriteMounts("/dev/sda1 / ext4 rw 0 0\n"
                    "/dev/sdb1 /media/usb0 vfat rw 0 0\n"
                    "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
                    "server:/share /mnt/share nfs4 rw 0 0\n"
                    "tmpfs /run tmpfs rw 0 0\n"
                    "/dev/sdc /media/usb\\0401 vfat rw 0 0\n");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void Disk(const std::string& name, const std::string& removable,
              const std::vector<std::string>& partitions) {
        const fs::path disk = root_ / "block" / name;
        fs::create_directories(disk);
        std::ofstream(disk / "removable") << removable << "\n";
        for (const std::string& partition : partitions) {
            fs::create_directories(disk / partition);
        }
    }
    void WriteMounts(const std::string& text) { std::ofstream(root_ / "mounts") << text; }

    static QComboBox* List(QWidget* dialog) {
        return platform::Control<QComboBox>(dialog, kUsbDriveListId);
    }
    static void Click(QWidget* dialog, int id) {
        QPushButton* button = platform::Control<QPushButton>(dialog, id);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static QStringList Entries(QComboBox* list) {
        QStringList entries;
        for (int i = 0; i < list->count(); ++i) {
            entries << list->itemText(i);
        }
        return entries;
    }

    fs::path root_;
    platform::DriveSources sources;
};

} // namespace

TEST_F(PickUsbDriveTest, ListsOnlyRemovableDrivesWithTheFirstPreselected) {
    std::u16string chosen = u"unchanged";
    CPickUSBDriveDlg dialog(chosen, nullptr, sources);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Pick USB Drive");
    QComboBox* list = List(&dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEditable());
    EXPECT_EQ(Entries(list), (QStringList{"/media/usb0/", "/media/usb 1/"}));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(chosen, u"unchanged"); // nothing is handed back before OK or Cancel
}

TEST_F(PickUsbDriveTest, OkHandsBackTheChosenDriveAndCancelAnEmptyRoot) {
    std::u16string chosen;
    CPickUSBDriveDlg dialog(chosen, nullptr, sources);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    List(&dialog)->setCurrentIndex(1);
    Click(&dialog, kUsbOkButtonId);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(chosen, u"/media/usb 1/");

    CPickUSBDriveDlg second(chosen, nullptr, sources);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    Click(&second, kUsbCancelButtonId);
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_TRUE(chosen.empty());

    std::u16string escaped = u"x";
    CPickUSBDriveDlg third(escaped, nullptr, sources);
    third.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&third));
    QTest::keyClick(&third, Qt::Key_Escape);
    EXPECT_TRUE(escaped.empty());
}

TEST_F(PickUsbDriveTest, RefreshListsADriveInsertedWhileOpen) {
    std::u16string chosen;
    CPickUSBDriveDlg dialog(chosen, nullptr, sources);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Disk("sdd", "1", {"sdd1"});
    WriteMounts("/dev/sdd1 /media/stick vfat rw 0 0\n/dev/sdb1 /media/usb0 vfat rw 0 0\n");
    EXPECT_EQ(List(&dialog)->count(), 2); // not before Refresh
    Click(&dialog, kUsbRefreshButtonId);
    EXPECT_EQ(Entries(List(&dialog)), (QStringList{"/media/stick/", "/media/usb0/"}));
    EXPECT_EQ(List(&dialog)->currentIndex(), 0);
    EXPECT_TRUE(dialog.isVisible()); // Refresh does not close the dialog
}

TEST_F(PickUsbDriveTest, WithoutRemovableDrivesOkHandsBackAnEmptyRoot) {
    WriteMounts("/dev/sda1 / ext4 rw 0 0\n/dev/sr0 /media/cdrom iso9660 ro 0 0\n");
    std::u16string chosen = u"old";
    CPickUSBDriveDlg dialog(chosen, nullptr, sources);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(List(&dialog)->count(), 0);
        Click(&dialog, kUsbOkButtonId);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(chosen.empty());
}
