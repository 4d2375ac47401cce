// What an upgrade pass needs from the configuration: method, option and the package
// locations. A plain record, filled by the caller from the configuration items and
// handed to the upgrader thread with the job.
#pragma once

#include <cstdint>

inline constexpr int kSettingsFileUnits = 128;
inline constexpr int kSettingsUrlUnits = 256;

// `upgmethod` & 0x7F: the way a unit fetches its package; bit 0x80 asks for a test only.
enum UpgradeMethod : uint8_t { kMethodUsb = 0, kMethodTftp = 1, kMethodUrl = 2 };
inline constexpr uint8_t kMethodTestOnly = 0x80;

// `upgoption`: how a unit treats a package it already has.
enum UpgradeOption : uint8_t { kOptionNone = 0, kOptionNotEqual = 1, kOptionForce = 2 };

struct PassSettings {
    uint8_t method;                              // upgmethod
    uint8_t option;                              // upgoption
    char16_t tftpServer[kSettingsFileUnits];     // upgradetftp
    char16_t file[kSettingsFileUnits];           // upgradefile
    char16_t bootloaderFile[kSettingsFileUnits]; // upgradeblfile
    char16_t url[kSettingsUrlUnits];             // upgradeurl
    char16_t bootloaderUrl[kSettingsUrlUnits];   // upgradeblurl
};
