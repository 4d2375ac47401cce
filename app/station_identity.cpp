#include "app/station_identity.h"

#include "config/address_text.h"
#include "config/config_items.h"

#include <algorithm>

namespace {

bool AllBytes(const uint8_t* bytes, int n, uint8_t value) {
    return std::all_of(bytes, bytes + n, [value](uint8_t b) { return b == value; });
}

} // namespace

bool StationIdentityIsUsable(bool macLoaded, const uint8_t* mac, bool ipLoaded, const uint8_t* ip,
                             bool maskLoaded) {
    if (!macLoaded || AllBytes(mac, 6, 0x00) || AllBytes(mac, 6, 0xFF)) {
        return false;
    }
    if (!ipLoaded || AllBytes(ip, 4, 0x00) || AllBytes(ip, 4, 0xFF)) {
        return false;
    }
    return maskLoaded;
}

bool EnsureStationIdentity(const InterfaceChooser& choose) {
    ConfigValues& config = TheConfig();
    const bool macLoaded = LoadConfigItem(kCfgMgrMacAddr) != 0;
    const bool ipLoaded = LoadConfigItem(kCfgMgrIpAddr) != 0;
    const bool maskLoaded = LoadConfigItem(kCfgMgrSubnetMask) != 0;
    if (StationIdentityIsUsable(macLoaded, config.mgrmacaddr, ipLoaded, config.mgripaddr,
                                maskLoaded)) {
        return false;
    }
    std::u16string mac, ip, mask;
    if (choose) {
        choose(mac, ip, mask);
    }
    if (!mac.empty() && !ip.empty() && !mask.empty()) {
        TextToIp(ip.c_str(), config.mgripaddr);
        TextToIp(mask.c_str(), config.mgrsubnetmask);
        TextToMac(mac.c_str(), config.mgrmacaddr);
        SaveConfigItem(kCfgMgrIpAddr);
        SaveConfigItem(kCfgMgrMacAddr);
        SaveConfigItem(kCfgMgrSubnetMask);
    }
    return true;
}
