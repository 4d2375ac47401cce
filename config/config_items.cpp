#include "config/config_items.h"

#include "config/config_item_io.h"

#include <cstring>

namespace {

ConfigValues g_config{};

#define ITEM(kind, name, type, field)                                                              \
    ConfigItem {                                                                                   \
        kind, u## #name, type, &g_config.field, sizeof g_config.field                              \
    }

const ConfigItem kItems[kConfigItemRows] = {
    ConfigItem{0, u"", kItemNone, nullptr, 0},
    ITEM(kCfgGroupName, groupname, kItemText, groupname),
    ITEM(kCfgGroupKey, groupkey, kItemText, groupkey),
    ITEM(kCfgDevsConnLPort, devsconnlport, kItemUint16, devsconnlport),
    ITEM(kCfgMgrConnLPort, mgrconnlport, kItemUint16, mgrconnlport),
    ITEM(kCfgDevsBroadLPort, devsbroadlport, kItemUint16, devsbroadlport),
    ITEM(kCfgMgrBroadLPort, mgrbroadlport, kItemUint16, mgrbroadlport),
    ITEM(kCfgMgrMacAddr, mgrmacaddr, kItemMac, mgrmacaddr),
    ITEM(kCfgMgrIpAddr, mgripaddr, kItemIp, mgripaddr),
    ITEM(kCfgMgrSubnetMask, mgrsubnetmask, kItemIp, mgrsubnetmask),
    ITEM(kCfgMgrEncrypt, mgrencrypt, kItemUint8, mgrencrypt),
    ITEM(kCfgUpgradeFile, upgradefile, kItemText, upgradefile),
    ITEM(kCfgUpgradeUrl, upgradeurl, kItemText, upgradeurl),
    ITEM(kCfgUpgMcmVersion, upgmcmversion, kItemVersion4, upgmcmversion),
    ITEM(kCfgUpgKernVersion, upgkernversion, kItemVersion3, upgkernversion),
    ITEM(kCfgUpgFsysVersion, upgfsysversion, kItemVersion3, upgfsysversion),
    ITEM(kCfgUpgPatchVersion, upgpatchversion, kItemVersion3, upgpatchversion),
    ITEM(kCfgMaxListSize, maxlistsize, kItemUint16, maxlistsize),
    ITEM(kCfgOptions, options, kItemUint8, options),
    ITEM(kCfgFilters, filters, kItemUint8, filters),
    ITEM(kCfgUpgMethod, upgmethod, kItemUint8, upgmethod),
    ITEM(kCfgUpgOption, upgoption, kItemUint8, upgoption),
    ITEM(kCfgUpgradeBlFile, upgradeblfile, kItemText, upgradeblfile),
    ITEM(kCfgUpgradeBlUrl, upgradeblurl, kItemText, upgradeblurl),
    ITEM(kCfgUpgradeTftp, upgradetftp, kItemText, upgradetftp),
    ITEM(kCfgUpgBlRev, upgblrev, kItemUint16, upgblrev),
};

#undef ITEM

constexpr ConfigKind kLoadOrder[kConfigKindCount] = {
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 24, 11, 12, 22, 23, 13, 14, 15, 16, 25, 20, 17, 18, 19, 21};

template <size_t N> void SetText(char16_t (&destination)[N], const char16_t* text) {
    size_t i = 0;
    for (; i + 1 < N && text[i] != 0; ++i) {
        destination[i] = text[i];
    }
    destination[i] = 0;
}

// Kinds outside 1..25 and rows without a name, variable or width have nothing to do.
const ConfigItem* UsableRow(ConfigKind kind) {
    if (kind < 1 || kind > kConfigKindCount) {
        return nullptr;
    }
    const ConfigItem& row = kItems[kind];
    if (row.type == kItemNone || !row.name || row.name[0] == 0 || !row.variable || row.width == 0) {
        return nullptr;
    }
    return &row;
}

} // namespace

ConfigValues& TheConfig() {
    return g_config;
}

const ConfigItem* ConfigItemTable() {
    return kItems;
}

std::u16string ConfigRowName(ConfigKind kind) {
    const ConfigItem* row = UsableRow(kind);
    return row ? std::u16string(row->name) + u"00" : std::u16string();
}

void SetConfigDefaults() {
    std::memset(&g_config, 0, sizeof g_config);
    SetText(g_config.groupname, u"RavelinGroup");
    SetText(g_config.groupkey, u"PlumTreeHarbor");
    g_config.devsconnlport = 2003;
    g_config.mgrconnlport = 2004;
    g_config.devsbroadlport = 2001;
    g_config.mgrbroadlport = 2002;
    g_config.mgrencrypt = 1;
    g_config.maxlistsize = 20;
    g_config.options = 1;
    g_config.filters = 0;
    g_config.upgmethod = 1;
    g_config.upgoption = 0;
    g_config.upgblrev = 0;
}

bool LoadAllConfigItems() {
    for (ConfigKind kind : kLoadOrder) {
        LoadConfigItem(kind);
    }
    return true;
}

uint16_t LoadConfigItem(ConfigKind kind) {
    const ConfigItem* row = UsableRow(kind);
    if (!row) {
        return 0;
    }
    const uint16_t loaded = LoadItemRow(*row);
    // The device table has 500 slots, whatever the store says.
    if (loaded && kind == kCfgMaxListSize && g_config.maxlistsize > kMaxListSizeLimit) {
        g_config.maxlistsize = kMaxListSizeLimit;
    }
    return loaded;
}

uint16_t SaveConfigItem(ConfigKind kind) {
    const ConfigItem* row = UsableRow(kind);
    return row ? SaveItemRow(*row) : 0;
}

uint16_t CfgItemRead(ConfigKind kind, void* buffer) {
    const ConfigItem* row = UsableRow(kind);
    return row ? ReadItemRow(*row, buffer) : 0;
}

uint16_t CfgItemWrite(ConfigKind kind, const void* data, uint32_t size) {
    const ConfigItem* row = UsableRow(kind);
    return row ? WriteItemRow(*row, data, size) : 0;
}
