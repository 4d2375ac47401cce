// The envelope as a unit uses it: opening the station's requests (addressed to the unit's
// own type or to every type) and sealing answers with the unit's source type.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unitsim {

// Key material a unit has at hand for the four key selectors.
struct UnitKeys {
    const uint8_t* mac = nullptr;   // selector 0x00
    const char16_t* name = nullptr; // selector 0x04, zero-terminated (null = empty)
};

// Opens a packet sent to a unit of type `unitType` (destination type `unitType` or 0x70).
// Returns the payload offset (16 or 22, plaintext deciphered in place) with its length in
// `*payloadLength`, or 0 when the packet is refused. `sourceIp` receives header bytes 4-7.
size_t OpenUnitPacket(uint8_t* packet, size_t received, uint8_t unitType, const UnitKeys& keys,
                      uint8_t sourceIp[4], uint16_t* payloadLength);

// Builds an answer with the station's codec and marks it as coming from `sourceType`; with
// `breakCrc` the outer CRC is made wrong on purpose. Returns the packet length or 0.
size_t SealUnitPacket(uint8_t* out, size_t capacity, uint8_t flags, uint8_t sourceType,
                      const uint8_t sourceIp[4], const UnitKeys& keys, uint8_t command,
                      uint8_t subCommand, const uint8_t* body, size_t bodyLength, bool breakCrc);

} // namespace unitsim
