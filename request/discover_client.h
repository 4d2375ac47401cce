// The client side of a discovery: what the main window's Search calls.
#pragma once

#include <cstdint>

// Runs command 1 with the device-type byte and no address (the whole subnet), a start
// address only, or a start and an end address (UTF-16 texts; `end` counts only with a
// `start`). True when the dispatcher reports that the discovery was sent.
bool BroadcastQryDiscover(uint8_t deviceType, const char16_t* start, const char16_t* end);
