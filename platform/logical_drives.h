// Logical drives and their types. A drive's root is a mount point with a separator at
// its end (so that a file name can follow it directly); roots are kept whole, however
// long. Removable means a block device whose sysfs "removable" flag is 1 and that is not
// an optical drive.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class DriveType {
    Unknown = 0,
    NoRootDirectory = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

struct LogicalDrive {
    std::u16string root;
    DriveType type;
};

// Where the drives are read from; tests point these at fixture files.
struct DriveSources {
    std::string mountsFile = "/proc/mounts";
    std::string sysBlockDirectory = "/sys/block";
};

// Every mounted file system, in the order of the mounts file, each mount point once.
std::vector<LogicalDrive> ListLogicalDrives(const DriveSources& sources = DriveSources{});

// The roots of the removable drives, in the same order.
std::vector<std::u16string> RemovableDriveRoots(const DriveSources& sources = DriveSources{});

} // namespace platform
