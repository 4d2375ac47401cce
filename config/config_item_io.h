// The conversions of one item row, whatever its table: CfgItemRead, CfgItemWrite,
// LoadConfigItem and SaveConfigItem run these on the rows of the item table. Tests and
// the fuzz target run them on rows of every type.
#pragma once

#include "config/config_items.h"

uint16_t ReadItemRow(const ConfigItem& row, void* buffer);
uint16_t WriteItemRow(const ConfigItem& row, const void* data, uint32_t size);
uint16_t LoadItemRow(const ConfigItem& row);
uint16_t SaveItemRow(const ConfigItem& row);
