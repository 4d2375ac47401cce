// The device list on standard output: the main list's 20 columns and cell texts, and
// the run's own columns after them, as an aligned table, CSV or JSON.
#pragma once

#include "app/device_table.h"
#include "tools/ravelin-cli/cli_options.h"

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// A column of the run's own (verification, secondaries), one cell per listed entry.
struct ExtraColumn {
    std::string header;
    std::vector<std::string> cells;
};

// The header texts and the UTF-8 cell texts of one entry, main list columns first.
std::vector<std::string> ListHeaders(const std::vector<ExtraColumn>& extras);
std::vector<std::string> ListCells(const DeviceEntry& entry);

void PrintDeviceList(std::ostream& out, OutputFormat format,
                     const std::vector<DeviceEntry>& entries,
                     const std::vector<ExtraColumn>& extras);

// One CSV field: quoted when it holds a comma, a quote, a line break or leading or
// trailing blanks, with quotes doubled.
std::string CsvField(const std::string& text);
// A JSON string literal.
std::string JsonString(const std::string& text);

} // namespace cli
