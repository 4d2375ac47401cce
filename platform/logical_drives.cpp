#include "platform/logical_drives.h"

#include "platform/utf8.h"

#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace platform {

namespace {

// Mount entries write blanks, tabs, line breaks and backslashes as octal escapes.
std::string Unescape(const std::string& field) {
    std::string result;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            result += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                        (field[i + 3] - '0'));
            i += 3;
        } else {
            result += field[i];
        }
    }
    return result;
}

bool IsDirectoryPath(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ReadFirstWord(const std::string& path) {
    std::ifstream file(path);
    std::string word;
    file >> word;
    return word;
}

// The whole-disk entry under /sys/block that a device (a disk or one of its partitions)
// belongs to; empty when there is none.
std::string BlockDeviceOf(const std::string& device, const std::string& sysBlock) {
    if (device.empty() || device.find('/') != std::string::npos) {
        return {};
    }
    if (IsDirectoryPath(sysBlock + "/" + device)) {
        return device;
    }
    for (size_t length = device.size() - 1; length > 0; --length) {
        const std::string disk = device.substr(0, length);
        if (IsDirectoryPath(sysBlock + "/" + disk + "/" + device)) {
            return disk;
        }
    }
    return {};
}

DriveType TypeOf(const std::string& source, const std::string& fsType,
                 const std::string& sysBlock) {
    static const std::set<std::string> remote = {"nfs",   "nfs4",       "cifs", "smb3", "smbfs",
                                                 "sshfs", "fuse.sshfs", "9p",   "afs"};
    if (remote.count(fsType) != 0) {
        return DriveType::Remote;
    }
    if (fsType == "tmpfs" || fsType == "ramfs") {
        return DriveType::RamDisk;
    }
    const std::string prefix = "/dev/";
    if (source.compare(0, prefix.size(), prefix) != 0) {
        return DriveType::Unknown;
    }
    const std::string disk = BlockDeviceOf(source.substr(prefix.size()), sysBlock);
    if (disk.empty()) {
        return DriveType::Unknown;
    }
    // Optical drives also report themselves removable; SCSI device type 5 is a CD-ROM.
    if (disk.compare(0, 2, "sr") == 0 ||
        ReadFirstWord(sysBlock + "/" + disk + "/device/type") == "5") {
        return DriveType::CdRom;
    }
    return ReadFirstWord(sysBlock + "/" + disk + "/removable") == "1" ? DriveType::Removable
                                                                      : DriveType::Fixed;
}

} // namespace

std::vector<LogicalDrive> ListLogicalDrives(const DriveSources& sources) {
    std::vector<LogicalDrive> drives;
    std::ifstream mounts(sources.mountsFile);
    std::set<std::string> seen;
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source;
        std::string mountPoint;
        std::string fsType;
        if (!(fields >> source >> mountPoint >> fsType)) {
            continue;
        }
        mountPoint = Unescape(mountPoint);
        if (mountPoint.empty() || !seen.insert(mountPoint).second) {
            continue;
        }
        std::string root = mountPoint;
        if (root.back() != '/') {
            root += '/';
        }
        drives.push_back(
            {Utf8ToUtf16(root), TypeOf(Unescape(source), fsType, sources.sysBlockDirectory)});
    }
    return drives;
}

std::vector<std::u16string> RemovableDriveRoots(const DriveSources& sources) {
    std::vector<std::u16string> roots;
    for (const LogicalDrive& drive : ListLogicalDrives(sources)) {
        if (drive.type == DriveType::Removable) {
            roots.push_back(drive.root);
        }
    }
    return roots;
}

} // namespace platform
