// Turns decoded broadcast replies into records owned by a window: discovery and group
// information become DeviceEntry records posted to the notify window, network
// information a text record posted to the net-info window. Called on the listener's
// worker threads; the records are private to the caller until posted.
#pragma once

#include "app/device_table.h"
#include "platform/window_message.h"
#include "protocol/broadcast_bodies.h"

#include <cstdint>

// What a worker takes from one discovery reply and its envelope.
struct DiscoveryRecord {
    uint8_t flags;      // envelope byte 2
    uint8_t sourceType; // envelope byte 3
    uint8_t sourceIp[4];
    DiscoveryReply reply;
};

inline constexpr int kNetInfoTextUnits = 18;

// Network information as texts ("%d.%d.%d.%d", the MAC as upper-case hex pairs).
struct NetInfoRecord {
    char16_t sourceIp[kNetInfoTextUnits];
    char16_t mac[kNetInfoTextUnits];
    char16_t unitIp[kNetInfoTextUnits];
    char16_t mask[kNetInfoTextUnits];
    char16_t dns1[kNetInfoTextUnits];
    char16_t dns2[kNetInfoTextUnits];
    char16_t dns3[kNetInfoTextUnits];
    char16_t gateway[kNetInfoTextUnits];
    char16_t stationIp[kNetInfoTextUnits];
    uint16_t unitPort;
    uint16_t stationPort;
    uint16_t options;
    uint8_t sourceType;
};

// "P<h>-<l><b1><b2><b3><b4>-<b5><b6><b7>" for a valid model code (both halves of b0 at
// most 9, b1..b7 digits or upper-case letters); an empty text otherwise.
void ModelTextFromCode(const uint8_t code[8], char16_t (&model)[kModelUnits]);

// The window that receives net-info records. Nothing in the program sets it, so every
// net-info reply is decoded and then discarded.
platform::WindowHandle GetNetInfoWindow();
void SetNetInfoWindow(platform::WindowHandle window);

// Each returns 0.
int RecordBroadcastDevInfo(const DiscoveryRecord& record);
int RecordBroadcastGroupInfo(const uint8_t mac[6], const uint8_t sourceIp[4],
                             const char16_t* groupName, const char16_t* deviceName,
                             const char16_t* groupPassword, const uint8_t modelCode[8]);
int RecordBroadcastNetInfo(uint8_t sourceType, const uint8_t mac[6], const uint8_t sourceIp[4],
                           const NetworkSettings& settings);
