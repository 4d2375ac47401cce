// The station's network identity at start: when the stored MAC address, IP address or
// subnet mask is missing or unusable, the operator chooses an interface and its three
// texts become configuration items 8, 7 and 9.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Usable when all three were loaded, the MAC is neither all zeros nor all 0xFF, and the
// IP address is neither 0.0.0.0 nor 255.255.255.255.
bool StationIdentityIsUsable(bool macLoaded, const uint8_t* mac, bool ipLoaded, const uint8_t* ip,
                             bool maskLoaded);

// Fills the MAC, IP address and subnet mask texts, or leaves them all empty (cancelled).
using InterfaceChooser =
    std::function<void(std::u16string& mac, std::u16string& ip, std::u16string& mask)>;

// Runs after the configuration has been loaded: checks items 7, 8 and 9 in the store and,
// when they are not usable, asks `choose`; three non-empty texts are converted and saved
// (items 8, 7, 9 in that order), otherwise the loaded values stand. True when it asked.
bool EnsureStationIdentity(const InterfaceChooser& choose);
