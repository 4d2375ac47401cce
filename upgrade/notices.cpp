#include "upgrade/notices.h"

#include "platform/window_message.h"

#include <utility>

bool PostNotice(uint32_t code, intptr_t value) {
    platform::Message message;
    message.id = platform::WM_DEVICE_NOTIFY;
    message.wParam = code;
    message.lParam = value;
    return platform::PostWindowMessage(platform::GetNotifyWindow(), std::move(message));
}

bool PostRecord(uint32_t code, std::unique_ptr<DeviceEntry> record) {
    platform::Message message;
    message.id = platform::WM_DEVICE_NOTIFY;
    message.wParam = code;
    message.record = platform::Payload::Of(std::move(record));
    return platform::PostWindowMessage(platform::GetNotifyWindow(), std::move(message));
}
