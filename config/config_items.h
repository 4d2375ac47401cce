// The program's 25 configuration items: one fixed-width variable each, known by its
// number (ConfigKind) and kept in the settings store as text under the item's name
// followed by "00".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using ConfigKind = uint16_t;

enum : ConfigKind {
    kCfgGroupName = 1,
    kCfgGroupKey = 2,
    kCfgDevsConnLPort = 3,
    kCfgMgrConnLPort = 4,
    kCfgDevsBroadLPort = 5,
    kCfgMgrBroadLPort = 6,
    kCfgMgrMacAddr = 7,
    kCfgMgrIpAddr = 8,
    kCfgMgrSubnetMask = 9,
    kCfgMgrEncrypt = 10,
    kCfgUpgradeFile = 11,
    kCfgUpgradeUrl = 12,
    kCfgUpgMcmVersion = 13,
    kCfgUpgKernVersion = 14,
    kCfgUpgFsysVersion = 15,
    kCfgUpgPatchVersion = 16,
    kCfgMaxListSize = 17,
    kCfgOptions = 18,
    kCfgFilters = 19,
    kCfgUpgMethod = 20,
    kCfgUpgOption = 21,
    kCfgUpgradeBlFile = 22,
    kCfgUpgradeBlUrl = 23,
    kCfgUpgradeTftp = 24,
    kCfgUpgBlRev = 25,
};
inline constexpr ConfigKind kConfigKindCount = 25;

// How a variable becomes stored text and back.
enum ConfigItemType : uint8_t {
    kItemNone = 0,
    kItemText = 1,        // UTF-16 text of width / 2 units, terminator included
    kItemEncodedText = 2, // UTF-16 text kept in the store's encoded form
    kItemInt8 = 3,        // integers: decimal text
    kItemUint8 = 4,
    kItemInt16 = 5,
    kItemUint16 = 6,
    kItemInt32 = 7,
    kItemUint32 = 8,
    kItemMac = 9,       // 6 bytes, "XX:XX:XX:XX:XX:XX"
    kItemIp = 10,       // 4 bytes, "%d.%d.%d.%d"
    kItemVersion3 = 11, // 3 bytes, "%d.%d.%d"
    kItemVersion4 = 12, // 4 bytes, "%d.%d.%d.%d"
    kItemBytes = 13,    // the store's byte-string form, `width` bytes
};

struct ConfigItem {
    ConfigKind kind;
    const char16_t* name;
    ConfigItemType type;
    void* variable;
    uint16_t width;
};

// The most units the device table holds; a larger stored maxlistsize is cut to it.
inline constexpr uint16_t kMaxListSizeLimit = 500;

// Every item variable, in one block. Plain data: the user-interface thread writes it
// (start-up, configuration dialog, interface selection); the upgrader reads the upgrade
// items while a pass runs.
struct ConfigValues {
    char16_t groupname[64];
    char16_t groupkey[64];
    uint16_t devsconnlport;
    uint16_t mgrconnlport;
    uint16_t devsbroadlport;
    uint16_t mgrbroadlport;
    uint8_t mgrmacaddr[6];
    uint8_t mgripaddr[4];
    uint8_t mgrsubnetmask[4];
    uint8_t mgrencrypt;
    char16_t upgradefile[128];
    char16_t upgradeurl[256];
    uint8_t upgmcmversion[4];
    uint8_t upgkernversion[3];
    uint8_t upgfsysversion[3];
    uint8_t upgpatchversion[3];
    uint16_t maxlistsize;
    uint8_t options;
    uint8_t filters;
    uint8_t upgmethod;
    uint8_t upgoption;
    char16_t upgradeblfile[128];
    char16_t upgradeblurl[256];
    char16_t upgradetftp[128];
    uint16_t upgblrev;
};

// The process's item variables.
ConfigValues& TheConfig();

// Rows 0 (empty) to 25 of the item table.
inline constexpr size_t kConfigItemRows = kConfigKindCount + 1;
const ConfigItem* ConfigItemTable();

// The store row of an item: its name followed by "00"; empty for a kind without a row.
std::u16string ConfigRowName(ConfigKind kind);

// Clears every variable to zero, then sets the defaults.
void SetConfigDefaults();

// Loads every item in the order the program always has; returns true.
bool LoadAllConfigItems();

// Reads an item from the store into its variable: nonzero when loaded, 0 when nothing was
// stored (or it did not fit), leaving the variable as it was.
uint16_t LoadConfigItem(ConfigKind kind);

// Writes an item's variable to the store: nonzero when written, 0 when not.
uint16_t SaveConfigItem(ConfigKind kind);

// The stored value of an item in its own type, into `buffer` (at least kCfgItemBufferSize
// bytes): texts as UTF-16 with terminator, integers in their width. Returns the bytes
// placed, 0 when nothing.
inline constexpr size_t kCfgItemBufferSize = 256;
uint16_t CfgItemRead(ConfigKind kind, void* buffer);

// Writes `size` bytes of `data` as the item's value (texts: UTF-16 with a terminator
// within `size`). Returns the bytes written, 0 when nothing.
uint16_t CfgItemWrite(ConfigKind kind, const void* data, uint32_t size);
