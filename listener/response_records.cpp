#include "listener/response_records.h"

#include "protocol/log.h"
#include "protocol/wide_format.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

namespace {

std::atomic<platform::WindowHandle> gNetInfoWindow{platform::kNoWindow};

bool IsDigitOrUpper(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

// Copies at most 32 units of a text field and keeps the copy terminated.
void CopyField(char16_t (&to)[kEntryNameUnits], const char16_t* from) {
    std::copy_n(from, kEntryNameUnits, to);
    to[kEntryNameUnits - 1] = 0;
}

void FormatIp(char16_t (&to)[kNetInfoTextUnits], const uint8_t ip[4]) {
    WideFormat(to, kNetInfoTextUnits, u"%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
}

void PostOrDrop(std::unique_ptr<DeviceEntry> entry, uintptr_t code) {
    platform::Message message;
    message.id = platform::WM_DEVICE_NOTIFY;
    message.wParam = code;
    message.record = platform::Payload::Of(std::move(entry));
    if (!platform::PostWindowMessage(platform::GetNotifyWindow(), std::move(message))) {
        LogMessage(kLogError, u"Invalid Device Finder Window Handle\n");
    }
}

} // namespace

void ModelTextFromCode(const uint8_t code[8], char16_t (&model)[kModelUnits]) {
    std::fill(model, model + kModelUnits, u'\0');
    if (code[0] >= 0xA0 || (code[0] & 0x0F) > 9) {
        return;
    }
    for (int i = 1; i < 8; ++i) {
        if (!IsDigitOrUpper(code[i])) {
            return;
        }
    }
    const char text[12] = {'P',
                           static_cast<char>('0' + (code[0] >> 4)),
                           '-',
                           static_cast<char>('0' + (code[0] & 0x0F)),
                           static_cast<char>(code[1]),
                           static_cast<char>(code[2]),
                           static_cast<char>(code[3]),
                           static_cast<char>(code[4]),
                           '-',
                           static_cast<char>(code[5]),
                           static_cast<char>(code[6]),
                           static_cast<char>(code[7])};
    for (int i = 0; i < 12; ++i) {
        model[i] = static_cast<char16_t>(static_cast<uint8_t>(text[i]));
    }
}

platform::WindowHandle GetNetInfoWindow() {
    return gNetInfoWindow.load(std::memory_order_acquire);
}

void SetNetInfoWindow(platform::WindowHandle window) {
    gNetInfoWindow.store(window, std::memory_order_release);
}

int RecordBroadcastDevInfo(const DiscoveryRecord& record) {
    std::unique_ptr<DeviceEntry> entry(new (std::nothrow) DeviceEntry{});
    if (!entry) {
        LogMessage(kLogError, u"Failed Allocating Structure for RecordBroadcastDevInfo\n");
        return 0;
    }
    if ((record.sourceType & 0x70) != 0x20) {
        return 0; // units of other types are never listed
    }
    const DiscoveryReply& reply = record.reply;
    CopyField(entry->deviceName, reply.deviceName);
    CopyField(entry->groupName, reply.groupName);
    std::memcpy(entry->ipAddress, record.sourceIp, 4);
    std::memcpy(entry->macAddress, reply.mac, 6);
    ModelTextFromCode(reply.modelCode, entry->model);
    entry->swVersion = {reply.swVersion[0], reply.swVersion[1], reply.swVersion[2]};
    entry->hwRev = reply.hwRevision;
    entry->kernelVersion = {reply.kernelVersion[0], reply.kernelVersion[1], reply.kernelVersion[2]};
    entry->filesysVersion = {reply.filesysVersion[0], reply.filesysVersion[1],
                             reply.filesysVersion[2]};
    entry->patchVersion = {reply.patchVersion[0], reply.patchVersion[1], reply.patchVersion[2]};
    entry->bootloaderRev = reply.bootloaderRevision;
    // The reply has a byte for the count; an entry holds 32 secondaries.
    entry->secondaryCount = std::min<uint8_t>(reply.secondaryCount, kMaxSecondaries);
    PostOrDrop(std::move(entry), 0);
    return 0;
}

int RecordBroadcastGroupInfo(const uint8_t mac[6], const uint8_t sourceIp[4],
                             const char16_t* groupName, const char16_t* deviceName,
                             const char16_t* groupPassword, const uint8_t modelCode[8]) {
    std::unique_ptr<DeviceEntry> entry(new (std::nothrow) DeviceEntry{});
    if (!entry) {
        LogMessage(kLogError, u"Failed Allocating Structure for RecordBroadcastGroupInfo\n");
        return 0;
    }
    std::memcpy(entry->macAddress, mac, 6);
    std::memcpy(entry->ipAddress, sourceIp, 4);
    CopyField(entry->deviceName, deviceName);
    CopyField(entry->groupName, groupName);
    CopyField(entry->groupPassword, groupPassword);
    ModelTextFromCode(modelCode, entry->model);
    PostOrDrop(std::move(entry), 1);
    return 0;
}

int RecordBroadcastNetInfo(uint8_t sourceType, const uint8_t mac[6], const uint8_t sourceIp[4],
                           const NetworkSettings& settings) {
    std::unique_ptr<NetInfoRecord> record(new (std::nothrow) NetInfoRecord{});
    if (!record) {
        LogMessage(kLogError, u"Failed Allocating Structure for RecordBroadcastNetInfo\n");
        return 0;
    }
    FormatIp(record->sourceIp, sourceIp);
    WideFormat(record->mac, kNetInfoTextUnits, u"%2.2X:%2.2X:%2.2X:%2.2X:%2.2X:%2.2X", mac[0],
               mac[1], mac[2], mac[3], mac[4], mac[5]);
    FormatIp(record->unitIp, settings.unitIp);
    FormatIp(record->mask, settings.mask);
    FormatIp(record->dns1, settings.dns1);
    FormatIp(record->dns2, settings.dns2);
    FormatIp(record->dns3, settings.dns3);
    FormatIp(record->gateway, settings.gateway);
    FormatIp(record->stationIp, settings.stationIp);
    record->unitPort = settings.unitPort;
    record->stationPort = settings.stationPort;
    record->options = settings.options;
    record->sourceType = sourceType;

    platform::Message message;
    message.id = platform::WM_NETINFO_NOTIFY;
    message.record = platform::Payload::Of(std::move(record));
    if (!platform::PostWindowMessage(GetNetInfoWindow(), std::move(message))) {
        LogMessage(kLogError, u"Invalid Device Finder Window Handle\n");
    }
    return 0;
}
