#include "platform/logical_drives.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A mounts file and a /sys/block tree: two USB sticks (one a whole-disk file system),
// a fixed disk, an optical drive, a network share and a few virtual file systems.
struct DriveFixture : ::testing::Test {
    fs::path dir;
    platform::DriveSources sources;

    void SetUp() override {
        char pattern[] = "/tmp/ravelin-drives-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        sources.mountsFile = (dir / "mounts").string();
        sources.sysBlockDirectory = (dir / "block").string();
        Disk("sda", "0", {"sda1", "sda2"});
        Disk("sdb", "1", {"sdb1"});
        Disk("sdc", "1", {});
        Disk("sr0", "1", {});
        Disk("sdd", "1", {});
        std::ofstream(dir / "block" / "sdd" / "device" / "type") << "5\n";
        Mounts("/dev/sda1 / ext4 rw,relatime 0 0\n"
               "proc /proc proc rw 0 0\n"
               "tmpfs /run tmpfs rw 0 0\n"
               "/dev/sdb1 /media/admin/USB\\040STICK vfat rw 0 0\n"
               "/dev/sda2 /home ext4 rw 0 0\n"
               "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
               "/dev/sdd /media/dvd udf ro 0 0\n"
               "server:/export /mnt/nfs nfs4 rw 0 0\n"
               "/dev/sdc /media/e vfat rw 0 0\n");
    }
    void TearDown() override { fs::remove_all(dir); }

    void Disk(const std::string& name, const char* removable,
              const std::vector<std::string>& partitions) {
        fs::create_directories(dir / "block" / name / "device");
        std::ofstream(dir / "block" / name / "removable") << removable << "\n";
        for (const std::string& partition : partitions) {
            fs::create_directories(dir / "block" / name / partition);
        }
    }
    void Mounts(const std::string& text) { std::ofstream(dir / "mounts") << text; }
};

TEST_F(DriveFixture, OnlyRemovableDrivesWithTheirWholeRoots) {
    EXPECT_EQ(platform::RemovableDriveRoots(sources),
              (std::vector<std::u16string>{u"/media/admin/USB STICK/", u"/media/e/"}));
}

TEST_F(DriveFixture, EveryMountHasAType) {
    using platform::DriveType;
    const auto drives = platform::ListLogicalDrives(sources);
    std::vector<std::pair<std::u16string, DriveType>> seen;
    for (const auto& drive : drives) {
        seen.emplace_back(drive.root, drive.type);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::u16string, DriveType>>{
                        {u"/", DriveType::Fixed},
                        {u"/proc/", DriveType::Unknown},
                        {u"/run/", DriveType::RamDisk},
                        {u"/media/admin/USB STICK/", DriveType::Removable},
                        {u"/home/", DriveType::Fixed},
                        {u"/media/cdrom/", DriveType::CdRom},
                        {u"/media/dvd/", DriveType::CdRom},
                        {u"/mnt/nfs/", DriveType::Remote},
                        {u"/media/e/", DriveType::Removable},
                    }));
}

TEST_F(DriveFixture, ADriveMountedLaterIsListedOnTheNextRead) {
    Disk("sde", "1", {"sde1"});
    std::ofstream(dir / "mounts", std::ios::app) << "/dev/sde1 /media/f exfat rw 0 0\n";
    EXPECT_EQ(platform::RemovableDriveRoots(sources).back(), u"/media/f/");
}

TEST_F(DriveFixture, NoMountsFileMeansNoDrives) {
    sources.mountsFile = (dir / "missing").string();
    EXPECT_TRUE(platform::ListLogicalDrives(sources).empty());
}

} // namespace
