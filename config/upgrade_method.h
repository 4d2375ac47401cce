// The ways a package is fetched: the values of the `upgmethod` item (its low seven bits),
// shared by the package test on the station and the upgrade command sent to the units.
#pragma once

#include <cstdint>

enum UpgradeMethod : uint8_t {
    kMethodUsb = 0,
    kMethodTftp = 1,
    kMethodUrl = 2, // an HTTP or FTP URL
    kMethodHttpFtp = kMethodUrl,
};
