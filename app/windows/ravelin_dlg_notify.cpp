// The device notifications the main window receives: replies and pass results to merge,
// and the progress and end of a pass.
#include "app/device_table.h"
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "config/config_items.h"
#include "upgrade/notices.h"

#include <QProgressBar>
#include <QPushButton>
#include <memory>

void CRavelinDlg::OnDeviceNotify(platform::Message& message) {
    if (message.id != platform::WM_DEVICE_NOTIFY) {
        return;
    }
    // The record belongs to this window from here on, merged or not.
    const std::unique_ptr<DeviceEntry> record = message.record.Take<DeviceEntry>();
    const uintptr_t code = message.wParam;
    if (code <= kNotifyUnitResult) {
        if (!record) {
            return;
        }
        const int maxListSize = TheConfig().maxlistsize;
        const int slot = workers_.table().Write([&](DeviceTable& table) {
            switch (code) {
            case 0:
                return MergeDiscoveryRecord(table, *record, maxListSize);
            case 1:
                return MergeGroupInfoRecord(table, *record);
            default:
                return MergeResultRecord(table, *record);
            }
        });
        if (slot != kNoSlot) {
            view_.RefreshRow(slot);
        }
        return;
    }
    if (code != kNotifyTestEnded && code != kNotifyProgress) {
        return;
    }
    const intptr_t percent = message.lParam;
    if (percent >= 0 && percent <= 100) {
        progress_->setValue(static_cast<int>(percent));
    } else if (percent == kPassEnded) {
        if (code == kNotifyTestEnded) {
            FinishPass(testButton_, "Test Connection", testRunning_);
        } else {
            FinishPass(upgradeButton_, "Upgrade", upgradeRunning_);
        }
        progress_->setValue(100);
    }
}
