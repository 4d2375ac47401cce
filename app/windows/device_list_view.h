// The main window's list of units (control 1016) over the device table: one row per entry
// that passes both filters, each row carrying its slot index as its item parameter. Rows
// stay in insertion order; a header click sorts the current rows once, and rows added
// later are appended at the bottom.
#pragma once

#include "app/device_list.h"
#include "app/device_table.h"

class QTreeWidget;
class QTreeWidgetItem;

inline constexpr int kDeviceListId = 1016;

class DeviceListView {
  public:
    // `list` and `table` outlive the view. The list is given the report styles here.
    DeviceListView(QTreeWidget* list, DeviceTable& table);
    DeviceListView(const DeviceListView&) = delete;
    DeviceListView& operator=(const DeviceListView&) = delete;

    // Deletes every row and column and inserts the 20 columns, each a share of the list's
    // width at this moment.
    void SetUpColumns();

    // Brings the row of one slot in line with the table (appends, rewrites in place, or
    // deletes it); `slot` -1 rebuilds the whole list in slot order.
    void RefreshRow(int slot);

    // Header-click handler: sorts the rows once by `column` (see NextSortState).
    void SortByColumn(int column);

    // Rewrites every live entry's selection mark: 0 not shown, 1 shown, 2 selected.
    void MarkSelections();

    // The row showing `slot`, or null.
    QTreeWidgetItem* RowOfSlot(int slot) const;
    static int SlotOfRow(const QTreeWidgetItem* row);

    void SetStatusBits(uint32_t bits) { statusBits_ = bits; }
    void SetVersionBits(uint32_t bits) { versionBits_ = bits; }
    void SetVersionReferences(const VersionReferences& references) { references_ = references; }
    uint32_t statusBits() const { return statusBits_; }
    uint32_t versionBits() const { return versionBits_; }
    SortState sortState() const { return sort_; }
    QTreeWidget* list() const { return list_; }

  private:
    class Row;

    bool Passes(int slot) const;
    void FillCells(QTreeWidgetItem* row, int slot) const;
    void AppendRow(int slot);

    QTreeWidget* list_;
    DeviceTable& table_;
    uint32_t statusBits_ = kStatusFilterAll;
    uint32_t versionBits_ = kVersionFilterAll;
    VersionReferences references_{};
    SortState sort_;
    bool sorting_ = false; // the sort itself moves the header's indicator
};
