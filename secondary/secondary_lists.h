// What the two lists of the secondary-devices window show, without any widget: the primary
// list (13 columns, the main list's first 13 with the window's own "Status"), the
// secondaries list (9 columns), their cell texts and the comparisons a header click sorts by.
#pragma once

#include "app/device_table.h"

#include <string>

inline constexpr int kPrimaryColumns = 13;
inline constexpr int kSecondaryColumns = 9;

struct SecondaryListColumn {
    const char16_t* header;
    int widthPercent; // of the list control's width when the columns are set up
    bool centred;     // otherwise left-aligned
};

extern const SecondaryListColumn kPrimaryColumnTable[kPrimaryColumns];
extern const SecondaryListColumn kSecondaryColumnTable[kSecondaryColumns];

// Column 0 shows the secondary state; the others as the main list shows them.
std::u16string PrimaryCellText(const DeviceEntry& entry, int column);
std::u16string SecondaryCellText(const SecondaryEntry& secondary, int column);

// Negative when a comes before b in ascending order of `column`, 0 when equal.
int ComparePrimaries(const DeviceEntry& a, const DeviceEntry& b, int column);
int CompareSecondaries(const SecondaryEntry& a, const SecondaryEntry& b, int column);
