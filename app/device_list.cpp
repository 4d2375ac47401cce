#include "app/device_list.h"

#include "config/address_text.h"

#include <cstdio>

const DeviceListColumn kDeviceListColumnTable[kDeviceListColumns] = {
    {u"Status", 10},         {u"MAC Address", 14},
    {u"Name", 15},           {u"IP Address", 12},
    {u"SW Version", 10},     {u"Kernel Version", 8},
    {u"Filesys Version", 8}, {u"Patch Version", 8},
    {u"Bootloader Rev", 8},  {u"HW Rev", 6},
    {u"Model", 12},          {u"Group Name", 20},
    {u"Secondaries", 6},     {u"Map", 6},
    {u"Pack Kern Vers", 8},  {u"Pack Fsys Vers", 8},
    {u"Pack Patch Vers", 8}, {u"Pack Filename", 15},
    {u"BLPack Rev", 8},      {u"BLPack Filename", 15},
};

namespace {

std::u16string Widen(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string Version(const VersionTriple& v) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u", unsigned{v.major}, unsigned{v.minor},
                  unsigned{v.build});
    return Widen(text);
}

std::u16string Decimal(uint32_t value) {
    return Widen(std::to_string(value).c_str());
}

// A fixed text field up to its terminator (or its whole width when it has none).
template <size_t N> std::u16string_view Field(const char16_t (&text)[N]) {
    size_t length = 0;
    while (length < N && text[length] != 0) {
        ++length;
    }
    return {text, length};
}

template <size_t N> int CompareText(const char16_t (&a)[N], const char16_t (&b)[N]) {
    const std::u16string_view x = Field(a), y = Field(b);
    const int c = x.compare(y); // char16_t compares as unsigned 16-bit units
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

int CompareVersion(const VersionTriple& a, const VersionTriple& b) {
    const uint8_t x[3] = {a.major, a.minor, a.build}, y[3] = {b.major, b.minor, b.build};
    return CompareBytes(x, y, 3);
}

} // namespace

std::u16string CellText(const DeviceEntry& e, std::u16string_view header) {
    if (header == u"Status") {
        return DeviceStatusText(e.status);
    }
    if (header == u"MAC Address") {
        char16_t text[kMacTextUnits];
        MacToText(e.macAddress, text);
        return text;
    }
    if (header == u"Name") {
        return std::u16string(Field(e.deviceName));
    }
    if (header == u"IP Address") {
        char16_t text[kIpTextUnits];
        IpToText(e.ipAddress, text);
        return text;
    }
    if (header == u"SW Version") {
        return Version(e.swVersion);
    }
    if (header == u"Kernel Version") {
        return Version(e.kernelVersion);
    }
    if (header == u"Filesys Version") {
        return Version(e.filesysVersion);
    }
    if (header == u"Patch Version") {
        return Version(e.patchVersion);
    }
    if (header == u"Bootloader Rev") {
        return Decimal(e.bootloaderRev);
    }
    if (header == u"HW Rev") {
        return Decimal(e.hwRev);
    }
    if (header == u"Model") {
        return std::u16string(Field(e.model));
    }
    if (header == u"Group Name") {
        return std::u16string(Field(e.groupName));
    }
    if (header == u"Secondaries") {
        return Decimal(e.secondaryCount);
    }
    if (header == u"Map") {
        return Decimal(e.map);
    }
    if (header == u"Pack Kern Vers") {
        return Version(e.packKernelVersion);
    }
    if (header == u"Pack Fsys Vers") {
        return Version(e.packFilesysVersion);
    }
    if (header == u"Pack Patch Vers") {
        return Version(e.packPatchVersion);
    }
    if (header == u"Pack Filename") {
        return std::u16string(Field(e.packFilename));
    }
    if (header == u"BLPack Rev") {
        return Decimal(e.blPackRev);
    }
    if (header == u"BLPack Filename") {
        return std::u16string(Field(e.blPackFilename));
    }
    return {};
}

int CompareEntries(const DeviceEntry& a, const DeviceEntry& b, int column) {
    switch (column) {
    case 0:
        return int{a.status} - int{b.status};
    case 1:
        return CompareBytes(a.macAddress, b.macAddress, 6);
    case 2:
        return CompareText(a.deviceName, b.deviceName);
    case 3:
        return CompareBytes(a.ipAddress, b.ipAddress, 4);
    case 4:
        return CompareVersion(a.swVersion, b.swVersion);
    case 5:
        return CompareVersion(a.kernelVersion, b.kernelVersion);
    case 6:
        return CompareVersion(a.filesysVersion, b.filesysVersion);
    case 7:
        return CompareVersion(a.patchVersion, b.patchVersion);
    case 8:
        // Compared, not subtracted: a 32-bit difference wraps for revisions more than
        // 2^31 apart and would order them backwards.
        return a.bootloaderRev < b.bootloaderRev ? -1 : a.bootloaderRev > b.bootloaderRev;
    case 9:
        return int{a.hwRev} - int{b.hwRev};
    case 10:
        return CompareText(a.model, b.model);
    case 11:
        return CompareText(a.groupName, b.groupName);
    case 12:
        return int{a.secondaryCount} - int{b.secondaryCount};
    case 13:
        return int{a.map} - int{b.map};
    case 14:
        return CompareVersion(a.packKernelVersion, b.packKernelVersion);
    case 15:
        return CompareVersion(a.packFilesysVersion, b.packFilesysVersion);
    case 16:
        return CompareVersion(a.packPatchVersion, b.packPatchVersion);
    case 17:
        return CompareText(a.packFilename, b.packFilename);
    default:
        return 0;
    }
}

SortState NextSortState(SortState state, int clickedColumn) {
    if (clickedColumn == state.column) {
        state.ascending = !state.ascending;
    } else {
        state.column = clickedColumn;
        state.ascending = true;
    }
    return state;
}

FilterChange FilterShowAllClicked(uint32_t bits, uint32_t all) {
    return {all, bits != all};
}

FilterChange FilterBoxClicked(uint32_t bits, uint32_t all, uint32_t bit, bool ticked) {
    bits = ticked ? bits | bit : bits & ~bit;
    const uint32_t boxes = all & ~kStatusShowAll;
    bits = (bits & boxes) == boxes ? all : bits & ~kStatusShowAll;
    return {bits, true};
}
