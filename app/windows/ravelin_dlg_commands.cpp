// The main window's list and search commands, the hidden group commands and the window
// menu.
#include "app/device_table.h"
#include "app/windows/about_dlg.h"
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "config/address_text.h"
#include "config/config_items.h"
#include "platform/qt/message_box.h"
#include "protocol/broadcast.h"
#include "protocol/log.h"
#include "request/discover_client.h"
#include "upgrade/passes.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kMaxSearchSpan = 500;

uint32_t AddressNumber(const std::u16string& text) {
    uint8_t address[4] = {};
    TextToIp(text.c_str(), address);
    return uint32_t{address[0]} << 24 | uint32_t{address[1]} << 16 | uint32_t{address[2]} << 8 |
           address[3];
}

std::u16string FieldText(const QLineEdit* edit) {
    return edit->text().left(kAddressTextUnits).toStdU16String();
}

void Say(QWidget* parent, const QString& text, const QString& caption = QString()) {
    platform::MessageBox(parent, text, caption);
}

} // namespace

void CRavelinDlg::OnSearch() {
    list_->clear();
    workers_.table().Write([](DeviceTable& table) {
        EmptyTableForSearch(table);
        return 0;
    });
    rule_.Apply();

    const std::u16string start = FieldText(startEdit_);
    const std::u16string end = FieldText(endEdit_);
    const bool byRange = (context_->searchFlags.load() & kSearchByRange) != 0;
    if (byRange) {
        if (start.empty()) {
            Say(this, QStringLiteral("Invalid NULL IP Address"));
            return;
        }
        // The same conversion as the request's, so the check covers exactly the addresses
        // that would be sent.
        const uint32_t first = AddressNumber(start);
        const uint32_t last = AddressNumber(end);
        if (!end.empty() && last < first) {
            Say(this, QStringLiteral("End IP Address is less than the starting IP Address"));
            return;
        }
        if (!end.empty() && last - first > kMaxSearchSpan) {
            Say(this,
                QStringLiteral("Search range is too large (%1), narrow it down to 500 or less")
                    .arg(last - first),
                QStringLiteral("Search Parameter error"));
            return;
        }
    }
    const uint8_t deviceType = PassFlagsByte(*context_);
    const bool sent = byRange ? BroadcastQryDiscover(deviceType, start.c_str(),
                                                     end.empty() ? nullptr : end.c_str())
                              : BroadcastQryDiscover(deviceType, nullptr, nullptr);
    if (!sent) {
        Say(this, QStringLiteral("Failed BroadcastQryDiscover"));
    }
}

void CRavelinDlg::OnBroadcast() {
    const bool broadcast = broadcastBox_->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{rangeGroup_, startLabel_, endLabel_,
                                                            startEdit_, endEdit_}) {
        control->setVisible(!broadcast);
    }
    if (broadcast) {
        context_->searchFlags.fetch_and(~kSearchByRange);
    } else {
        context_->searchFlags.fetch_or(kSearchByRange);
    }
}

void CRavelinDlg::OnClearList() {
    if (workers_.table().Table().count < 1) {
        return;
    }
    if (platform::MessageBox(
            this, QStringLiteral("Are you sure you want to clear all the entries in the list?"),
            QStringLiteral("Clear List"), platform::kMbYesNo) != platform::MessageBoxResult::Yes) {
        return;
    }
    workers_.table().Write([](DeviceTable& table) {
        EmptyTableForClearList(table);
        return 0;
    });
    list_->clear();
}

void CRavelinDlg::OnSelectAll() {
    workers_.table().Write([this](DeviceTable& table) {
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = list_->topLevelItem(i);
            row->setSelected(true);
            const int slot = DeviceListView::SlotOfRow(row);
            if (slot >= 0 && slot < kDeviceTableSlots) {
                table.slots[slot].selection = kShownSelected;
            }
        }
        return 0;
    });
}

void CRavelinDlg::OnClearSelections() {
    workers_.table().Write([this](DeviceTable& table) {
        for (QTreeWidgetItem* row : list_->selectedItems()) {
            row->setSelected(false);
            const int slot = DeviceListView::SlotOfRow(row);
            if (slot >= 0 && slot < kDeviceTableSlots) {
                table.slots[slot].selection = kShown;
            }
        }
        return 0;
    });
}

void CRavelinDlg::OnRefreshList() {
    view_.RefreshRow(-1);
}

namespace {

// The first selected row's entry and where a group request for it goes; null when no
// row is selected.
const DeviceEntry* GroupTarget(QTreeWidget* list, const DeviceTable& table,
                               const ThreadContext& context, uint8_t (&destination)[4]) {
    const QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < list->topLevelItemCount() && !first; ++i) {
        if (list->topLevelItem(i)->isSelected()) {
            first = list->topLevelItem(i);
        }
    }
    const int slot = first ? DeviceListView::SlotOfRow(first) : -1;
    if (slot < 0 || slot >= kDeviceTableSlots) {
        return nullptr;
    }
    const DeviceEntry& entry = table.slots[slot];
    if (context.searchFlags.load() & kSearchByRange) {
        std::memcpy(destination, entry.ipAddress, 4);
    } else {
        std::memset(destination, 0xFF, 4);
    }
    return &entry;
}

} // namespace

void CRavelinDlg::OnGetGroupInfo() {
    uint8_t destination[4];
    const DeviceEntry* entry = GroupTarget(list_, workers_.table().Table(), *context_, destination);
    if (!entry) {
        Say(this, QStringLiteral("Could not find a valid entry"));
        return;
    }
    LogMessage(21, u"SendBroadcastGetGroupInfo()\n");
    if (SendBroadcastGetGroupInfo(context_->broadcastPort, context_->stationIp, destination,
                                  entry->macAddress, context_->groupName,
                                  PassFlagsByte(*context_)) < 0) {
        Say(this, QStringLiteral("Failed SendBroadcastGetGroupInfo"));
    }
}

void CRavelinDlg::OnAssignGroup() {
    uint8_t destination[4];
    const DeviceEntry* entry = GroupTarget(list_, workers_.table().Table(), *context_, destination);
    if (!entry) {
        Say(this, QStringLiteral("Could not find a valid entry"));
        return;
    }
    if (SendBroadcastSetGroupInfo(context_->broadcastPort, context_->stationIp, destination,
                                  entry->macAddress, context_->groupName, PassFlagsByte(*context_),
                                  entry->deviceName, context_->groupKey) < 0) {
        Say(this, QStringLiteral("Failed SendBroadcastSetGroupInfo"));
    }
}

void CRavelinDlg::OnSysCommand(uint32_t command) {
    switch (platform::SystemCommandOf(command)) {
    case kAboutCommand: {
        CAboutDlg about(this);
        about.exec();
        break;
    }
    case kConfigureCommand:
        // The configuration dialog stores its items itself when the operator saves; the
        // context keeps the station values of this start.
        if (configure_) {
            configure_(this);
        }
        break;
    default:
        break;
    }
}
