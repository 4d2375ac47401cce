// The two lists of the secondary-devices window over the device table. The primary list
// (1016) has a row per listed primary, carrying its slot index; the secondaries list (1017)
// a row per secondary of the selected primary, carrying its index in `secondaries`. Both
// keep their rows in insertion order; a header click sorts the current rows once.
#pragma once

#include "app/device_list.h"
#include "app/device_table.h"

#include <functional>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

inline constexpr int kPrimaryListId = 1016;
inline constexpr int kSecondaryListId = 1017;

class PrimaryListView {
  public:
    PrimaryListView(QTreeWidget* list, const DeviceTable& table);
    PrimaryListView(const PrimaryListView&) = delete;
    PrimaryListView& operator=(const PrimaryListView&) = delete;

    // Deletes every row and column and inserts the 13 columns, each a share of the list's
    // width at this moment.
    void SetUpColumns();
    void Clear();
    void AppendRow(int slot);
    // Rewrites the cells of the row showing `slot`, or appends one when there is none.
    void UpdateRow(int slot);
    void SortByColumn(int column);

    QTreeWidgetItem* RowOfSlot(int slot) const;
    static int SlotOfRow(const QTreeWidgetItem* row);
    // Slots of the selected rows, in list order.
    std::vector<int> SelectedSlots() const;
    SortState sortState() const { return sort_; }
    QTreeWidget* list() const { return list_; }

  private:
    class Row;
    void FillCells(QTreeWidgetItem* row, int slot) const;

    QTreeWidget* list_;
    const DeviceTable& table_;
    SortState sort_;
    bool sorting_ = false;
};

class SecondaryListView {
  public:
    // `selectedPrimary` answers the slot of the first selected primary, or kNoSlot.
    SecondaryListView(QTreeWidget* list, const DeviceTable& table,
                      std::function<int()> selectedPrimary);
    SecondaryListView(const SecondaryListView&) = delete;
    SecondaryListView& operator=(const SecondaryListView&) = delete;

    void SetUpColumns();
    void Clear();
    // Lists the secondaries of `slot` whose id is not 0, up to its (at most 32) count.
    void Show(int slot);
    // Header-click handler: sorts by `column` the secondaries of the first selected
    // primary; does nothing (not even to the sort state) when no primary is selected.
    void SortByColumn(int column);

    static int IndexOfRow(const QTreeWidgetItem* row);
    SortState sortState() const { return sort_; }
    QTreeWidget* list() const { return list_; }

  private:
    class Row;

    QTreeWidget* list_;
    const DeviceTable& table_;
    std::function<int()> selectedPrimary_;
    SortState sort_;
    int sortSlot_ = kNoSlot; // the primary whose secondaries a running sort compares
    bool sorting_ = false;
};
