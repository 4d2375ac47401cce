// The WM_DEVICE_NOTIFY codes the upgrader thread posts, and posting them to NotifyWindow.
#pragma once

#include "app/device_table.h"

#include <cstdint>
#include <memory>

enum NotifyCode : uint32_t {
    kNotifyUnitResult = 2,        // a test or upgrade result record
    kNotifyTestEnded = 3,         // 200: the test pass has ended
    kNotifyProgress = 4,          // test and upgrade progress; 200: the upgrade pass has ended
    kNotifySecondaries = 5,       // a primary with its secondaries filled
    kNotifySecondaryState = 6,    // a primary after the secondaries upgrade
    kNotifyRefreshProgress = 7,   // 200: the secondaries refresh has ended
    kNotifySecondaryProgress = 8, // 200: the secondaries upgrade has ended
};
inline constexpr intptr_t kPassEnded = 200;

// Both return whether the message was posted. A record that could not be posted (no
// NotifyWindow) is freed here.
bool PostNotice(uint32_t code, intptr_t value);
bool PostRecord(uint32_t code, std::unique_ptr<DeviceEntry> record);
