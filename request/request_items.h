// Reading the unpacked items of a request by position, as the unit commands do.
#pragma once

#include "request/proc_api.h"

#include <cstdint>
#include <initializer_list>

// Tags of the common request prefix and of the address-like items.
inline constexpr uint16_t kTagDeviceType = 1;
inline constexpr uint16_t kTagMacText = 2;
inline constexpr uint16_t kTagAddressText = 3;

inline constexpr int kItemTextUnits = 32; // the address conversions read at most 31 units

// True when the request holds at least as many items as `tags` and item i has tag i.
bool TagsAre(const UnpackedRequest& request, std::initializer_list<uint16_t> tags);

// True when item `i` exists and has `tag`.
bool HasItem(const UnpackedRequest& request, int i, uint16_t tag);

// The UTF-16LE value of item `i` as a terminated text of at most `units` - 1 units, cut at
// its first zero unit. An item of odd length loses its last byte.
void ItemText(const UnpackedRequest& request, int i, char16_t* text, int units);

// Item `i` read with TextToIp / TextToMac.
void ItemIp(const UnpackedRequest& request, int i, uint8_t (&address)[4]);
void ItemMac(const UnpackedRequest& request, int i, uint8_t (&mac)[6]);

// The device-type byte of item 1 with the context's cipher mode bits OR'ed in.
uint8_t RequestFlags(const ThreadContext& context, const UnpackedRequest& request);

// True when item 0 routes the request to this station.
bool RoutedHere(const UnpackedRequest& request);
