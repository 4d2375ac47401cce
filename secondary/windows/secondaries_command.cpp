#include "secondary/windows/secondaries_command.h"

#include "app/windows/device_list_view.h"
#include "platform/qt/message_box.h"
#include "secondary/secondary_rules.h"
#include "secondary/windows/handle_slaves_dlg.h"

#include <QTreeWidget>

bool RunSecondariesCommand(QWidget* parent, DeviceListView& list, const SecondariesLinks& links) {
    QTreeWidget* rows = list.list();
    bool opened = false;
    if (!rows->selectedItems().isEmpty()) {
        // Rows of entries not shown keep their mark.
        links.table->Write([&](DeviceTable& table) {
            for (int i = 0; i < rows->topLevelItemCount(); ++i) {
                QTreeWidgetItem* row = rows->topLevelItem(i);
                const int slot = DeviceListView::SlotOfRow(row);
                if (slot >= 0 && slot < table.count) {
                    table.slots[slot].selection = row->isSelected() ? kShownSelected : kShown;
                }
            }
        });
        if (CountQualifyingPrimaries(links.table->Table()) > 0) {
            {
                CHandleSlavesDlg window(parent, links);
                window.exec();
            }
            // The secondary-devices window took the notifications over while it was open.
            platform::SetNotifyWindow(links.mainWindow);
            opened = true;
        }
    }
    if (!opened) {
        platform::MessageBox(parent, QString::fromUtf16(kNothingQualifiesText),
                             QString::fromUtf16(kWindowCaption),
                             platform::kMbOk | platform::kMbIconExclamation);
    }
    return opened;
}
