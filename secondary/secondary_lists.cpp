#include "secondary/secondary_lists.h"

#include "app/device_list.h"

#include <algorithm>
#include <cstdio>

const SecondaryListColumn kPrimaryColumnTable[kPrimaryColumns] = {
    {u"Status", 10, false},         {u"MAC Address", 14, false},  {u"Name", 15, false},
    {u"IP Address", 12, false},     {u"SW Version", 10, false},   {u"Kernel Version", 8, false},
    {u"Filesys Version", 8, false}, {u"Patch Version", 8, false}, {u"Bootloader Rev", 8, false},
    {u"HW Rev", 6, false},          {u"Model", 12, false},        {u"Group Name", 20, false},
    {u"Secondaries", 8, false},
};

const SecondaryListColumn kSecondaryColumnTable[kSecondaryColumns] = {
    {u"ID", 9, false},
    {u"Name", 20, false},
    {u"SW Version", 12, true},
    {u"Kernel Version", 12, true},
    {u"Filesys Version", 12, true},
    {u"Patch Version", 12, true},
    {u"Bootloader Rev", 12, true},
    {u"HW Rev", 6, true},
    {u"Model", 16, false},
};

namespace {

std::u16string Narrow(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string Version(const VersionTriple& v) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u", unsigned{v.major}, unsigned{v.minor},
                  unsigned{v.build});
    return Narrow(text);
}

template <size_t N> std::u16string_view Field(const char16_t (&text)[N]) {
    return {text, static_cast<size_t>(std::find(text, text + N, u'\0') - text)};
}

template <size_t N> int CompareText(const char16_t (&a)[N], const char16_t (&b)[N]) {
    const int c = Field(a).compare(Field(b)); // char16_t compares as unsigned 16-bit units
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CompareVersion(const VersionTriple& a, const VersionTriple& b) {
    const uint8_t x[3] = {a.major, a.minor, a.build}, y[3] = {b.major, b.minor, b.build};
    for (int i = 0; i < 3; ++i) {
        if (x[i] != y[i]) {
            return x[i] < y[i] ? -1 : 1;
        }
    }
    return 0;
}

// Compared, not subtracted: a 32-bit difference wraps for values more than 2^31 apart and
// would order them backwards (and make the order inconsistent for the sort).
int Compare32(uint32_t a, uint32_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace

std::u16string PrimaryCellText(const DeviceEntry& entry, int column) {
    if (column == 0) {
        return SecondaryStateText(entry.secondaryState);
    }
    if (column < 0 || column >= kPrimaryColumns) {
        return {};
    }
    return CellText(entry, kPrimaryColumnTable[column].header);
}

std::u16string SecondaryCellText(const SecondaryEntry& s, int column) {
    char text[16];
    switch (column) {
    case 0:
        std::snprintf(text, sizeof text, "%6.6X", unsigned{s.id});
        return Narrow(text);
    case 1:
        return std::u16string(Field(s.name));
    case 2:
        return Version(s.swVersion);
    case 3:
        return Version(s.kernelVersion);
    case 4:
        return Version(s.filesysVersion);
    case 5:
        return Version(s.patchVersion);
    case 6:
        return Narrow(std::to_string(s.bootloaderRev).c_str());
    case 7:
        return Narrow(std::to_string(s.hwRev).c_str());
    case 8:
        return std::u16string(Field(s.model));
    default:
        return {};
    }
}

int ComparePrimaries(const DeviceEntry& a, const DeviceEntry& b, int column) {
    if (column == 0) {
        return int{a.secondaryState} - int{b.secondaryState};
    }
    // Columns 1 to 12 are the main list's columns of the same index.
    return column > 0 && column < kPrimaryColumns ? CompareEntries(a, b, column) : 0;
}

int CompareSecondaries(const SecondaryEntry& a, const SecondaryEntry& b, int column) {
    switch (column) {
    case 0:
        return Compare32(a.id, b.id);
    case 1:
        return CompareText(a.name, b.name);
    case 2:
        return CompareVersion(a.swVersion, b.swVersion);
    case 3:
        return CompareVersion(a.kernelVersion, b.kernelVersion);
    case 4:
        return CompareVersion(a.filesysVersion, b.filesysVersion);
    case 5:
        return CompareVersion(a.patchVersion, b.patchVersion);
    case 6:
        return Compare32(a.bootloaderRev, b.bootloaderRev);
    case 7:
        return int{a.hwRev} - int{b.hwRev};
    case 8:
        return CompareText(a.model, b.model);
    default:
        return 0;
    }
}
