// What the main list shows of the device table, without any widget: the column table and
// the cell text of each column, the comparison a header click sorts with, and the rules of
// the "Show All" filter boxes.
#pragma once

#include "app/device_table.h"

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kDeviceListColumns = 20;

struct DeviceListColumn {
    const char16_t* header;
    int widthPercent; // of the list control's width when the columns are set up
};

extern const DeviceListColumn kDeviceListColumnTable[kDeviceListColumns];

// The cell text for the column bearing `header`; empty for a header without a rule.
std::u16string CellText(const DeviceEntry& entry, std::u16string_view header);

// Negative when a comes before b in ascending order of `column`, 0 when equal. Columns
// 18 and 19 have no rule: every pair compares equal there, so a click keeps their order.
int CompareEntries(const DeviceEntry& a, const DeviceEntry& b, int column);

// The sort state a header click leaves: the same column inverts the direction, another
// column sorts ascending.
struct SortState {
    int column = -1;
    bool ascending = true;
};
SortState NextSortState(SortState state, int clickedColumn);

// Filter groups: the status group uses bits 0..6 (all = 0x7f), the versions group bits
// 0..3 (all = 0xf); bit 0 is "Show All" in both.
inline constexpr uint32_t kStatusFilterAll = 0x7f;
inline constexpr uint32_t kVersionFilterAll = 0x0f;

struct FilterChange {
    uint32_t bits;
    bool refresh; // whether the whole list is to be rebuilt
};

// "Show All" clicked: every box is ticked again; the list is rebuilt only when the bits
// were not all set already.
FilterChange FilterShowAllClicked(uint32_t bits, uint32_t all);
// A box of the group clicked into state `ticked`: its bit follows, and "Show All" is set
// exactly when every other box of the group is ticked. The list is always rebuilt.
FilterChange FilterBoxClicked(uint32_t bits, uint32_t all, uint32_t bit, bool ticked);
