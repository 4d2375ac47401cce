#include "tools/ravelin-cli/cli_output.h"

#include "app/device_list.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    if (!platform::Utf16ToUtf8(text, &out)) {
        // An unpaired surrogate from a unit's name: shown as '?' rather than dropped.
        std::u16string mended = text;
        for (char16_t& c : mended) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                c = u'?';
            }
        }
        platform::Utf16ToUtf8(mended, &out);
    }
    return out;
}

// Display width in characters (UTF-8 continuation bytes do not count).
size_t Width(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Texts from units may hold control characters; none reaches the terminal as such.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    }
    return out;
}

} // namespace

std::vector<std::string> ListHeaders(const std::vector<ExtraColumn>& extras) {
    std::vector<std::string> headers;
    for (const DeviceListColumn& column : kDeviceListColumnTable) {
        headers.push_back(Utf8(column.header));
    }
    for (const ExtraColumn& extra : extras) {
        headers.push_back(extra.header);
    }
    return headers;
}

std::vector<std::string> ListCells(const DeviceEntry& entry) {
    std::vector<std::string> cells;
    for (const DeviceListColumn& column : kDeviceListColumnTable) {
        cells.push_back(Utf8(CellText(entry, column.header)));
    }
    return cells;
}

std::string CsvField(const std::string& text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void PrintDeviceList(std::ostream& out, OutputFormat format,
                     const std::vector<DeviceEntry>& entries,
                     const std::vector<ExtraColumn>& extras) {
    const std::vector<std::string> headers = ListHeaders(extras);
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<std::string> cells = ListCells(entries[i]);
        for (const ExtraColumn& extra : extras) {
            cells.push_back(i < extra.cells.size() ? extra.cells[i] : std::string());
        }
        rows.push_back(std::move(cells));
    }
    switch (format) {
    case OutputFormat::Csv:
        for (size_t c = 0; c < headers.size(); ++c) {
            out << (c ? "," : "") << CsvField(headers[c]);
        }
        out << "\n";
        for (const auto& row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                out << (c ? "," : "") << CsvField(row[c]);
            }
            out << "\n";
        }
        break;
    case OutputFormat::Json:
        out << "[";
        for (size_t r = 0; r < rows.size(); ++r) {
            out << (r ? ",\n " : "\n ") << "{";
            for (size_t c = 0; c < headers.size(); ++c) {
                out << (c ? ", " : "") << JsonString(headers[c]) << ": " << JsonString(rows[r][c]);
            }
            out << "}";
        }
        out << (rows.empty() ? "]\n" : "\n]\n");
        break;
    case OutputFormat::Table: {
        std::vector<size_t> widths;
        for (const std::string& h : headers) {
            widths.push_back(Width(h));
        }
        for (auto& row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                row[c] = Printable(row[c]);
                widths[c] = std::max(widths[c], Width(row[c]));
            }
        }
        auto line = [&](const std::vector<std::string>& cells) {
            std::string text;
            for (size_t c = 0; c < cells.size(); ++c) {
                text += cells[c];
                if (c + 1 < cells.size()) {
                    text.append(widths[c] - Width(cells[c]) + 2, ' ');
                }
            }
            out << text << "\n";
        };
        line(headers);
        for (const auto& row : rows) {
            line(row);
        }
        break;
    }
    }
}

} // namespace cli
