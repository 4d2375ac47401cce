// A device table with primaries, the context, an updater event to watch, a plain receiver
// standing in for the main window, and scripted message boxes.
#pragma once

#include "platform/message_queue_window.h"
#include "platform/named_event.h"
#include "platform/qt/key_state.h"
#include "platform/qt/message_box.h"
#include "secondary/secondary_rules.h"
#include "secondary/windows/secondaries_links.h"

#include <QCoreApplication>
#include <QTreeWidget>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace slavestest {

template <size_t N> void Put(char16_t (&field)[N], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    text.copy(field, N - 1);
}

class SlavesFixture : public ::testing::Test {
  protected:
    SlavesFixture() : table(std::make_unique<DeviceTable>()), shared(*table) {
        ResetThreadContext(TheThreadContext());
        event = platform::CreateNamedEvent(kUpdaterEvent, false, false);
        platform::SetNotifyWindow(mainWindow.handle());
        links.table = &shared;
        links.context = &TheThreadContext();
        links.mainWindow = mainWindow.handle();
    }
    ~SlavesFixture() override {
        platform::SetKeyStateOverride(std::nullopt);
        platform::SetNotifyWindow(platform::kNoWindow);
        platform::CloseEvent(event);
        ResetThreadContext(TheThreadContext());
    }

    // A unit that qualifies: tested, selected, with secondaries and a firmware package.
    int AddPrimary(const std::u16string& name, uint8_t secondaries) {
        const int slot = table->count++;
        DeviceEntry& e = table->slots[slot];
        e = DeviceEntry{};
        const uint8_t mac[6] = {0x02, 0x52, 0x56, 0, 0, static_cast<uint8_t>(slot + 1)};
        std::memcpy(e.macAddress, mac, 6);
        const uint8_t ip[4] = {127, 0, 0, static_cast<uint8_t>(slot + 2)};
        std::memcpy(e.ipAddress, ip, 4);
        Put(e.deviceName, name);
        e.status = kStatusTested;
        e.selection = kShownSelected;
        e.secondaryCount = secondaries;
        e.map = 1;
        e.packKernelVersion = {2, 6, 1};
        Put(e.packFilename, u"tevpack-1.bin");
        return slot;
    }

    // A refresh result as the upgrader posts it: a copy of the entry with secondaries.
    std::unique_ptr<DeviceEntry> RefreshRecord(int slot, uint8_t count) const {
        auto record = std::make_unique<DeviceEntry>(table->slots[slot]);
        record->secondaryCount = count;
        record->secondaryState = count > 0 ? kSecondaryTested : kSecondaryPresent;
        for (int k = 0; k < count && k < kMaxSecondaries; ++k) {
            record->secondaries[k].id =
                0x100u * static_cast<uint32_t>(slot + 1) + static_cast<uint32_t>(k) + 1;
            Put(record->secondaries[k].name, u"sec" + std::u16string(1, char16_t(u'A' + k)));
        }
        return record;
    }

    static bool Post(uint32_t code, std::unique_ptr<DeviceEntry> record) {
        platform::Message message;
        message.id = platform::WM_DEVICE_NOTIFY;
        message.wParam = code;
        message.record = platform::Payload::Of(std::move(record));
        const bool posted =
            platform::PostWindowMessage(platform::GetNotifyWindow(), std::move(message));
        QCoreApplication::processEvents();
        return posted;
    }
    static bool PostValue(uint32_t code, intptr_t value) {
        platform::Message message;
        message.id = platform::WM_DEVICE_NOTIFY;
        message.wParam = code;
        message.lParam = value;
        const bool posted =
            platform::PostWindowMessage(platform::GetNotifyWindow(), std::move(message));
        QCoreApplication::processEvents();
        return posted;
    }

    bool Signalled() const {
        return platform::WaitForEvent(event, 0) == platform::WaitResult::Signaled;
    }
    static bool JobSet(uint8_t bit) { return JobFlagTest(TheThreadContext(), bit); }
    static void ClearJobs() { TheThreadContext().jobFlags.store(0); }

    std::unique_ptr<DeviceTable> table;
    SharedDeviceTable shared;
    platform::MessageQueueWindow mainWindow;
    platform::EventHandle event = nullptr;
    platform::ScriptedMessageBoxes boxes;
    SecondariesLinks links;
};

inline QString Cell(QTreeWidget* list, int row, int column) {
    return list->topLevelItem(row)->text(column);
}

} // namespace slavestest
