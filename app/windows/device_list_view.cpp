#include "app/windows/device_list_view.h"

#include "platform/qt/control_id.h"
#include "platform/qt/grid_delegate.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace {

constexpr int kSlotRole = Qt::UserRole;

} // namespace

// A row sorts by the entries behind the two rows, through the view's comparison.
class DeviceListView::Row final : public QTreeWidgetItem {
  public:
    explicit Row(const DeviceListView& owner) : view_(owner) {}

    bool operator<(const QTreeWidgetItem& other) const override {
        const DeviceTable& table = view_.table_;
        return CompareEntries(table.slots[SlotOfRow(this)], table.slots[SlotOfRow(&other)],
                              view_.sort_.column) < 0;
    }

  private:
    const DeviceListView& view_;
};

DeviceListView::DeviceListView(QTreeWidget* list, DeviceTable& table) : list_(list), table_(table) {
    platform::SetControlId(list_, kDeviceListId);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(false);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsClickable(true);
    list_->header()->setSectionsMovable(false);
    list_->setItemDelegate(new platform::GridDelegate(list_));
    // A click on a header moves the header's sort indicator; that change is the click.
    // The view keeps its own sort state and sets the indicator to match it.
    QObject::connect(list_->header(), &QHeaderView::sortIndicatorChanged, list_,
                     [this](int column, Qt::SortOrder) {
                         if (!sorting_) {
                             SortByColumn(column);
                         }
                     });
}

void DeviceListView::SetUpColumns() {
    list_->clear();
    list_->setColumnCount(0);
    const int width = list_->width();
    QStringList headers;
    for (const DeviceListColumn& column : kDeviceListColumnTable) {
        headers << QString::fromUtf16(column.header);
    }
    list_->setHeaderLabels(headers);
    for (int i = 0; i < kDeviceListColumns; ++i) {
        list_->headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
        list_->setColumnWidth(i, width * kDeviceListColumnTable[i].widthPercent / 100);
    }
}

bool DeviceListView::Passes(int slot) const {
    return EntryPassesFilters(table_.slots[slot], statusBits_, versionBits_, references_);
}

void DeviceListView::FillCells(QTreeWidgetItem* row, int slot) const {
    const DeviceEntry& entry = table_.slots[slot];
    for (int i = 0; i < list_->columnCount(); ++i) {
        // The header text, not the position, chooses what a column shows.
        const QString header = list_->headerItem()->text(i);
        const std::u16string text = CellText(entry, header.toStdU16String());
        row->setText(i, QString::fromStdU16String(text));
    }
    row->setData(0, kSlotRole, slot);
}

void DeviceListView::AppendRow(int slot) {
    auto* row = new Row(*this);
    FillCells(row, slot);
    list_->addTopLevelItem(row);
}

QTreeWidgetItem* DeviceListView::RowOfSlot(int slot) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        if (SlotOfRow(row) == slot) {
            return row;
        }
    }
    return nullptr;
}

int DeviceListView::SlotOfRow(const QTreeWidgetItem* row) {
    bool ok = false;
    const int slot = row->data(0, kSlotRole).toInt(&ok);
    return ok ? slot : kNoSlot;
}

void DeviceListView::RefreshRow(int slot) {
    if (slot < 0) {
        list_->clear();
        for (int i = 0; i < table_.count; ++i) {
            if (Passes(i)) {
                AppendRow(i);
            }
        }
        return;
    }
    if (slot >= table_.count) {
        return;
    }
    QTreeWidgetItem* row = RowOfSlot(slot);
    if (!Passes(slot)) {
        delete row;
        return;
    }
    if (row) {
        FillCells(row, slot);
    } else {
        AppendRow(slot);
    }
}

void DeviceListView::SortByColumn(int column) {
    sort_ = NextSortState(sort_, column);
    sorting_ = true;
    list_->sortItems(column, sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sorting_ = false;
}

void DeviceListView::MarkSelections() {
    for (int i = 0; i < table_.count; ++i) {
        table_.slots[i].selection = kNotShown;
    }
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        const int slot = SlotOfRow(row);
        if (slot >= 0 && slot < table_.count) {
            table_.slots[slot].selection = row->isSelected() ? kShownSelected : kShown;
        }
    }
}
