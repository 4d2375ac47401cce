#include "secondary/windows/secondary_list_views.h"

#include "platform/qt/control_id.h"
#include "platform/qt/grid_delegate.h"
#include "secondary/secondary_lists.h"
#include "secondary/secondary_rules.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace {

constexpr int kParamRole = Qt::UserRole;

// The main list's styles. A click on a header moves the header's sort indicator; that
// change is the click (the view sets the indicator itself while it sorts, under `busy`).
template <typename OnClick>
void ApplyListStyles(QTreeWidget* list, const bool& busy, OnClick onClick) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsClickable(true);
    list->header()->setSectionsMovable(false);
    list->setItemDelegate(new platform::GridDelegate(list));
    QObject::connect(list->header(), &QHeaderView::sortIndicatorChanged, list,
                     [&busy, onClick](int column, Qt::SortOrder) {
                         if (!busy) {
                             onClick(column);
                         }
                     });
}

template <size_t N>
void SetUpColumnsOf(QTreeWidget* list, const SecondaryListColumn (&table)[N], bool& busy) {
    list->clear();
    list->setColumnCount(0);
    const int width = list->width();
    QStringList headers;
    for (const SecondaryListColumn& column : table) {
        headers << QString::fromUtf16(column.header);
    }
    list->setHeaderLabels(headers);
    for (size_t i = 0; i < N; ++i) {
        const int column = static_cast<int>(i);
        const Qt::Alignment align = table[i].centred ? Qt::AlignHCenter : Qt::AlignLeft;
        list->headerItem()->setTextAlignment(column, align | Qt::AlignVCenter);
        list->setColumnWidth(column, width * table[i].widthPercent / 100);
    }
    // No column sorted yet, so the first click on any header is seen.
    busy = true;
    list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    busy = false;
}

int ParamOf(const QTreeWidgetItem* row) {
    bool ok = false;
    const int value = row->data(0, kParamRole).toInt(&ok);
    return ok ? value : -1;
}

} // namespace

// A row sorts by the entries behind the two rows.
class PrimaryListView::Row final : public QTreeWidgetItem {
  public:
    explicit Row(const PrimaryListView& owner) : view_(owner) {}

    bool operator<(const QTreeWidgetItem& other) const override {
        const int a = SlotOfRow(this), b = SlotOfRow(&other);
        if (a < 0 || b < 0 || a >= kDeviceTableSlots || b >= kDeviceTableSlots) {
            return false;
        }
        return ComparePrimaries(view_.table_.slots[a], view_.table_.slots[b], view_.sort_.column) <
               0;
    }

  private:
    const PrimaryListView& view_;
};

PrimaryListView::PrimaryListView(QTreeWidget* list, const DeviceTable& table)
    : list_(list), table_(table) {
    platform::SetControlId(list_, kPrimaryListId);
    ApplyListStyles(list_, sorting_, [this](int column) { SortByColumn(column); });
}

void PrimaryListView::SetUpColumns() {
    SetUpColumnsOf(list_, kPrimaryColumnTable, sorting_);
}

void PrimaryListView::Clear() {
    list_->clear();
}

void PrimaryListView::FillCells(QTreeWidgetItem* row, int slot) const {
    const DeviceEntry& entry = table_.slots[slot];
    for (int i = 0; i < kPrimaryColumns; ++i) {
        row->setText(i, QString::fromStdU16String(PrimaryCellText(entry, i)));
        row->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
    }
    row->setData(0, kParamRole, slot);
}

void PrimaryListView::AppendRow(int slot) {
    auto* row = new Row(*this);
    FillCells(row, slot);
    list_->addTopLevelItem(row);
}

void PrimaryListView::UpdateRow(int slot) {
    if (QTreeWidgetItem* row = RowOfSlot(slot)) {
        FillCells(row, slot);
    } else {
        AppendRow(slot);
    }
}

QTreeWidgetItem* PrimaryListView::RowOfSlot(int slot) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (SlotOfRow(list_->topLevelItem(i)) == slot) {
            return list_->topLevelItem(i);
        }
    }
    return nullptr;
}

int PrimaryListView::SlotOfRow(const QTreeWidgetItem* row) {
    const int slot = ParamOf(row);
    return slot < 0 ? kNoSlot : slot;
}

std::vector<int> PrimaryListView::SelectedSlots() const {
    std::vector<int> slots;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        if (row->isSelected()) {
            slots.push_back(SlotOfRow(row));
        }
    }
    return slots;
}

void PrimaryListView::SortByColumn(int column) {
    sort_ = NextSortState(sort_, column);
    sorting_ = true;
    list_->sortItems(column, sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sorting_ = false;
}

class SecondaryListView::Row final : public QTreeWidgetItem {
  public:
    explicit Row(const SecondaryListView& owner) : view_(owner) {}

    bool operator<(const QTreeWidgetItem& other) const override {
        const int slot = view_.sortSlot_;
        const int a = IndexOfRow(this), b = IndexOfRow(&other);
        if (slot < 0 || a < 0 || b < 0 || a >= kMaxSecondaries || b >= kMaxSecondaries) {
            return false;
        }
        const DeviceEntry& primary = view_.table_.slots[slot];
        return CompareSecondaries(primary.secondaries[a], primary.secondaries[b],
                                  view_.sort_.column) < 0;
    }

  private:
    const SecondaryListView& view_;
};

SecondaryListView::SecondaryListView(QTreeWidget* list, const DeviceTable& table,
                                     std::function<int()> selectedPrimary)
    : list_(list), table_(table), selectedPrimary_(std::move(selectedPrimary)) {
    platform::SetControlId(list_, kSecondaryListId);
    ApplyListStyles(list_, sorting_, [this](int column) { SortByColumn(column); });
}

void SecondaryListView::SetUpColumns() {
    SetUpColumnsOf(list_, kSecondaryColumnTable, sorting_);
}

void SecondaryListView::Clear() {
    list_->clear();
}

void SecondaryListView::Show(int slot) {
    list_->clear();
    if (slot < 0 || slot >= kDeviceTableSlots) {
        return;
    }
    const DeviceEntry& primary = table_.slots[slot];
    const int count = ShownSecondaryCount(primary);
    for (int k = 0; k < count; ++k) {
        const SecondaryEntry& secondary = primary.secondaries[k];
        if (secondary.id == 0) {
            continue;
        }
        auto* row = new Row(*this);
        for (int i = 0; i < kSecondaryColumns; ++i) {
            row->setText(i, QString::fromStdU16String(SecondaryCellText(secondary, i)));
            const Qt::Alignment align =
                kSecondaryColumnTable[i].centred ? Qt::AlignHCenter : Qt::AlignLeft;
            row->setTextAlignment(i, align | Qt::AlignVCenter);
        }
        row->setData(0, kParamRole, k);
        list_->addTopLevelItem(row);
    }
}

int SecondaryListView::IndexOfRow(const QTreeWidgetItem* row) {
    return ParamOf(row);
}

void SecondaryListView::SortByColumn(int column) {
    const int slot = selectedPrimary_ ? selectedPrimary_() : kNoSlot;
    if (slot < 0 || slot >= kDeviceTableSlots) {
        // Nothing is sorted; the header's indicator goes back to the state kept here.
        sorting_ = true;
        list_->header()->setSortIndicator(sort_.column, sort_.ascending ? Qt::AscendingOrder
                                                                        : Qt::DescendingOrder);
        sorting_ = false;
        return;
    }
    sort_ = NextSortState(sort_, column);
    sortSlot_ = slot;
    sorting_ = true;
    list_->sortItems(column, sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sorting_ = false;
    sortSlot_ = kNoSlot;
}
