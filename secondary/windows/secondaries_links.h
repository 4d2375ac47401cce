// What the secondary-devices window is given by the main window.
#pragma once

#include "platform/window_message.h"
#include "request/thread_context.h"
#include "upgrade/shared_table.h"

#include <functional>

struct SecondariesLinks {
    // The device table; the window writes it only through Write (the upgrader thread
    // takes copies of it under the same lock).
    SharedDeviceTable* table = nullptr;
    // The process-wide context: job flags and the bootloader flag.
    ThreadContext* context = nullptr;
    // ExtendedMode, from the application object: enables the bootloader Upgrade.
    bool extendedMode = false;
    // The main window's handle. While this window is open it receives the test and
    // upgrade results and notices (codes 2 to 4) from here, and NotifyWindow goes back
    // to it when this window has closed.
    platform::WindowHandle mainWindow = platform::kNoWindow;
    // Called just before a secondaries upgrade is handed over (0x40), for example to put
    // the configured upgrade option into the upgrader's pass settings. May be empty.
    std::function<void()> beforeUpgrade;
};
