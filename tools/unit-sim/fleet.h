// The simulated units: identity, versions, installed package, secondaries, network
// settings and faults of each, made from the command line.
#pragma once

#include "tools/unit-sim/faults.h"
#include "tools/unit-sim/options.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace unitsim {

struct PackageAttributes {
    uint8_t map = 1;
    Version kernel;
    Version filesys;
    Version patch;
    std::string filename;
    uint32_t bootloaderRev = 0;
    std::string bootloaderFilename;
};

struct Secondary {
    uint32_t id = 0;
    Version sw;
    uint8_t hwRev = 1;
    Version kernel;
    Version filesys;
    Version patch;
    uint32_t bootloaderRev = 0;
    std::string model;
    std::string name;
};

// What a set-network request changes and a net-info reply reports.
struct NetSettings {
    uint16_t unitPort = 0;
    uint16_t stationPort = 0;
    uint16_t options = 0;
    uint32_t ip = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
    std::array<uint32_t, 3> dns{};
    uint32_t station = 0;
};

struct Unit {
    uint32_t index = 0;
    uint32_t ip = 0; // the address its sockets are bound to
    std::array<uint8_t, 6> mac{};
    std::u16string name;
    std::u16string group;
    std::u16string password;
    std::array<uint8_t, 8> model{};
    Version sw;
    uint8_t hwRev = 2;
    Version kernel;
    Version filesys;
    Version patch;
    uint32_t bootloaderRev = 0;
    PackageAttributes package;
    std::vector<Secondary> secondaries;
    NetSettings net;
    UnitFaults faults;
    int udpSocket = -1;
    int tcpListener = -1;
    uint64_t installGeneration = 0; // the newest scheduled install; older ones are dropped
};

// The fleet the options describe, without sockets.
std::vector<Unit> MakeFleet(const Options& options);

// minor × 256 + build: units from 4579 on answer the package query.
inline int VersionNumber(const Version& v) {
    return v.minor * 256 + v.build;
}
inline constexpr int kPackageQueryVersion = 4579;

std::string VersionText(const Version& v);

} // namespace unitsim
