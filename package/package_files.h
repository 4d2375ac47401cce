// The fixed names of one package test's files and tools, and the fetch settings the
// test reads from the configuration dialog.
#pragma once

#include "config/upgrade_method.h"

#include <cstdint>
#include <string>

struct PackageFiles {
    // Data files, named without a directory: the scripts run in the temporary directory.
    std::u16string packageCopy;
    std::u16string noteFile;
    std::u16string fileList;
    std::u16string errorFile;
    // Full paths.
    std::u16string getpackScript;
    std::u16string chkpackScript;
    std::u16string zipTool;
    std::u16string downloadTool;
    std::u16string tftpClient;
};

// `threadId` is the constructing thread's id; it goes into the names in upper-case hex.
PackageFiles MakePackageFiles(const std::u16string& tempDirectory,
                              const std::u16string& programDirectory, uint32_t threadId);

struct FetchInputs {
    int method = kMethodTftp;
    std::u16string usbRoot; // a drive root, ending in a separator
    std::u16string tftpServer;
    std::u16string tftpFile;
    std::u16string tftpBootloaderFile;
    std::u16string url;
    std::u16string bootloaderUrl;
};

// temporary directory + separator + name.
std::u16string InTempDirectory(const std::u16string& tempDirectory, const std::u16string& name);
