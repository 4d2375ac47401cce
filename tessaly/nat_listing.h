// Reads the interface listing of "netsh routing ip nat show interface" into a mapping
// object: every interface block with its mode goes to the interface list, and every
// static port mapping that the object does not replace goes to the saved-rule list.
#pragma once

#include "tessaly/nat_mapping.h"

#include <cstdint>
#include <string_view>

namespace tessaly {

inline constexpr char kNatMissingLine[] = "NAT must be installed first.";

// The mode of a Mode line, from the text it ends in; 1 (Private) for any other text.
uint8_t ModeOfLine(std::string_view line);

// The text written after "mode=" for a mode; "Full" for a value outside 0-5.
const char* ModeScriptWord(uint8_t mode);

// Parses the listing, then records the public interface with mode 0 and the private one
// with mode 1. 0, TESSALY_LIST_FULL or TESSALY_OUT_OF_MEMORY.
int16_t ParseListing(std::string_view listing, MappingObject& object);

// True when a line of the listing begins with kNatMissingLine.
bool ListingSaysNatMissing(std::string_view listing);

} // namespace tessaly
