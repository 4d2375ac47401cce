#include "tools/unit-sim/fleet.h"

#include <cstdio>

namespace unitsim {
namespace {

// A model code that reads as "P1-2SIMU-001".
constexpr std::array<uint8_t, 8> kModelCode{0x12, 'S', 'I', 'M', 'U', '0', '0', '1'};
constexpr Version kOldSoftware{2, 17, 226};

std::u16string Widen(const std::string& text) {
    return {text.begin(), text.end()};
}

} // namespace

std::string VersionText(const Version& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
}

std::vector<Unit> MakeFleet(const Options& options) {
    std::vector<Unit> fleet(static_cast<size_t>(options.units));
    for (size_t k = 0; k < fleet.size(); ++k) {
        Unit& unit = fleet[k];
        unit.index = static_cast<uint32_t>(k);
        unit.ip = options.firstIp + static_cast<uint32_t>(k);
        uint32_t serial = static_cast<uint32_t>(k) + 1;
        unit.mac = {options.macPrefix[0],
                    options.macPrefix[1],
                    options.macPrefix[2],
                    static_cast<uint8_t>(serial >> 16),
                    static_cast<uint8_t>(serial >> 8),
                    static_cast<uint8_t>(serial)};
        char name[40];
        std::snprintf(name, sizeof name, "%s%04u", options.namePrefix.c_str(), serial);
        unit.name = Widen(name);
        unit.group = options.group;
        unit.password = options.password;
        unit.model = kModelCode;
        unit.faults = FaultsForUnit(options.faults, unit.index, unit.ip);
        unit.sw = unit.faults.oldSoftware ? kOldSoftware : options.sw;
        unit.kernel = {4, 19, 5};
        unit.filesys = {1, 6, 2};
        unit.patch = {0, 0, 3};
        unit.bootloaderRev = 0x00010002;
        unit.package.kernel = unit.kernel;
        unit.package.filesys = unit.filesys;
        unit.package.patch = unit.patch;
        unit.package.filename = "tevpack-" + VersionText(unit.sw) + ".bin";
        unit.package.bootloaderRev = unit.bootloaderRev;
        unit.package.bootloaderFilename = "tevblpack-1.2.bin";
        for (int i = 0; i < options.secondaries; ++i) {
            Secondary s;
            s.id = 0x5E000000u | (serial << 8) | static_cast<uint32_t>(i + 1);
            s.sw = unit.sw;
            s.kernel = unit.kernel;
            s.filesys = unit.filesys;
            s.patch = unit.patch;
            s.bootloaderRev = unit.bootloaderRev;
            s.model = "P1-2SIMU-0S" + std::to_string(i % 10);
            std::snprintf(name, sizeof name, "%s%04u-s%d", options.namePrefix.c_str(), serial,
                          i + 1);
            s.name = name;
            unit.secondaries.push_back(s);
        }
        unit.net.unitPort = options.broadcastPort;
        unit.net.stationPort = options.stationPort;
        unit.net.ip = unit.ip;
        unit.net.mask = options.netmask;
    }
    return fleet;
}

} // namespace unitsim
