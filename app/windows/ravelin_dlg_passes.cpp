// The commands that hand work to the upgrader thread, and the secondary-devices window.
#include "app/device_table.h"
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "config/config_items.h"
#include "platform/named_event.h"
#include "platform/qt/key_state.h"
#include "platform/qt/message_box.h"

#include <QPushButton>
#include <QTreeWidget>

namespace {

bool Confirm(QWidget* parent, const char* text, const char* caption) {
    return platform::MessageBox(parent, QString::fromLatin1(text), QString::fromLatin1(caption),
                                platform::kMbYesNo) == platform::MessageBoxResult::Yes;
}

bool QualifiesForSecondaries(const DeviceEntry& entry) {
    return (entry.status == kStatusTested && entry.selection == kShownSelected &&
            entry.secondaryCount > 0 && entry.map > 0 && entry.packFilename[0] != 0) ||
           entry.blPackFilename[0] != 0;
}

} // namespace

bool CRavelinDlg::SignalUpdater() {
    platform::EventHandle event = UpdaterEvent();
    if (!event) {
        return false;
    }
    platform::SetEvent(event);
    return true;
}

void CRavelinDlg::OnTestConnections() {
    if (testRunning_) {
        if (Confirm(this, "Are you sure you want to abort the test connection operation?",
                    "Abort Test")) {
            JobFlagSet(*context_, kJobAbort);
            SignalUpdater();
        }
        return;
    }
    workers_.table().Write([this](DeviceTable&) {
        view_.MarkSelections();
        return 0;
    });
    testButton_->setText(QStringLiteral("Abort Test"));
    JobFlagSet(*context_, kJobTestPass);
    if (SignalUpdater()) {
        testRunning_ = true;
    }
    rule_.Apply();
}

void CRavelinDlg::OnUpgrade() {
    if (upgradeRunning_) {
        if (Confirm(this, "Are you sure you want to abort the upgrade operation?",
                    "Abort Upgrade")) {
            JobFlagSet(*context_, kJobAbort);
            SignalUpdater();
        }
        return;
    }
    const char* question =
        "Are you sure you want to upgrade the Firmware for all the PDUs in the list?";
    context_->bootloaderFlag.store(0);
    bool bootloader = false;
    if (extendedMode_ && platform::IsControlDown()) {
        bootloader = true;
        question = "Are you sure you want to upgrade the Bootloader for all the PDUs in the list?";
    }
    if (!Confirm(this, question, "Upgrade")) {
        return;
    }
    if (bootloader) {
        context_->bootloaderFlag.store(1);
    }
    workers_.table().Write([this](DeviceTable&) {
        view_.MarkSelections();
        return 0;
    });
    workers_.settings().Set(PassSettingsFromConfig(TheConfig()));
    upgradeButton_->setText(QStringLiteral("Abort Upgrade"));
    JobFlagSet(*context_, kJobUpgradePass);
    if (SignalUpdater()) {
        upgradeRunning_ = true;
    }
    rule_.Apply();
}

void CRavelinDlg::FinishPass(QPushButton* button, const char* caption, bool& running) {
    running = false;
    button->setText(QString::fromLatin1(caption));
    button->setEnabled(false); // back with the next change of the selection
}

void CRavelinDlg::OnSecondaries() {
    if (secondaries_) {
        secondaries_(this, view_);
        platform::SetNotifyWindow(notify_.handle());
        return;
    }
    bool open = false;
    if (!list_->selectedItems().isEmpty()) {
        const int qualifying = workers_.table().Write([this](DeviceTable& table) {
            for (int i = 0; i < list_->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* row = list_->topLevelItem(i);
                const int slot = DeviceListView::SlotOfRow(row);
                if (slot >= 0 && slot < kDeviceTableSlots) {
                    table.slots[slot].selection = row->isSelected() ? kShownSelected : kShown;
                }
            }
            int count = 0;
            for (const DeviceEntry& entry : table.slots) {
                count += QualifiesForSecondaries(entry) ? 1 : 0;
            }
            return count;
        });
        open = qualifying > 0;
    }
    if (!open) {
        platform::MessageBox(
            this, QStringLiteral("No appropriate workable selections were made, please try again!"),
            QStringLiteral("Secondary PDUs"), platform::kMbIconExclamation);
        return;
    }
    // Something qualifies, but no secondary-devices window was given to open.
}
