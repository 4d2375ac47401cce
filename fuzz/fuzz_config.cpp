// Feeds arbitrary stored texts to the settings store's readers and to every item
// conversion, through a real database file in a private temporary directory.
//
// Byte 0 picks the target; the rest is the text stored (raw bytes, so invalid UTF-8 too):
//   0 byte-string reader, 1 encoded reader, 2 integer reader,
//   3 encoded reader on the rest taken as the blob's bytes, 4 the same with the checksum
//     of the enciphered part made right, so deciphering and the inner check run,
//   5..29 configuration item 1..25: load, then save and load again, which must give the
//     same variables,
//   30 an item row of any type (byte 1) and width (byte 2) over a variable of exactly
//     that width,
//   31 the address and version conversions on the rest taken as UTF-16 units.
#include "config/address_text.h"
#include "config/config_item_io.h"
#include "config/config_items.h"
#include "config/config_store.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"
#include "protocol/crc16.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

sqlite3* g_db = nullptr;
std::string g_dir;

void Cleanup() {
    sqlite3_close(g_db);
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
}

bool Setup() {
    // Memory-backed when the machine has it: every write of the store syncs its file.
    std::string pattern = std::filesystem::is_directory("/dev/shm")
                              ? "/dev/shm/ravelin-fuzz-config-XXXXXX"
                              : "/tmp/ravelin-fuzz-config-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::abort();
    }
    const std::string dir = pattern;
    g_dir = dir;
    std::atexit(Cleanup);
    platform::SetProgramFileOverride(platform::Utf8ToUtf16(dir + "/Ravelin"));
    if (sqlite3_open((dir + "/Ravelin.cfg").c_str(), &g_db) != SQLITE_OK ||
        sqlite3_exec(g_db,
                     "CREATE TABLE IF NOT EXISTS CFGMRU (cfgname TEXT PRIMARY KEY NOT NULL "
                     "UNIQUE, cfgvalue TEXT NOT NULL);",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::abort();
    }
    return true;
}

void StoreRaw(const std::string& name, const uint8_t* text, size_t size) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(g_db, "INSERT OR REPLACE INTO CFGMRU VALUES(?, ?);", -1, &statement,
                       nullptr);
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, reinterpret_cast<const char*>(text), static_cast<int>(size),
                      SQLITE_TRANSIENT);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

// Stores `blob` as a byte string whose length prefix is right.
void StoreBlob(std::vector<uint8_t> blob) {
    if (blob.size() > 0xFFFF) {
        blob.resize(0xFFFF);
    }
    std::vector<uint8_t> raw = {static_cast<uint8_t>(blob.size() >> 8),
                                static_cast<uint8_t>(blob.size())};
    raw.insert(raw.end(), blob.begin(), blob.end());
    const std::string hex = Hex(raw);
    StoreRaw("f.~enc~.~bin~", reinterpret_cast<const uint8_t*>(hex.data()), hex.size());
}

void ReadAll(int target) {
    ConfigStore* store = CfgStoreOpen(kCfgOpenReadOnly);
    if (!store) {
        std::abort(); // the file exists
    }
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    uint32_t value = 0;
    int rc = 0;
    uint8_t sink = 0;
    if (target == 0) {
        rc = CfgStoreReadBytes(store, u"f", &data, &count);
    } else if (target == 2) {
        rc = CfgStoreReadInt(store, u"f", &value);
    } else {
        rc = CfgStoreReadEncoded(store, u"f", &data, &count);
    }
    if (rc == kCfgOk && data) {
        for (uint32_t i = 0; i < count; ++i) {
            sink ^= data[i]; // every returned byte must be readable
        }
    }
    CfgStoreClose(store);
    volatile uint8_t keep = sink;
    (void)keep;
}

void FuzzItem(ConfigKind kind, const uint8_t* text, size_t size) {
    SetConfigDefaults();
    const std::u16string rowName = ConfigRowName(kind);
    StoreRaw(std::string(rowName.begin(), rowName.end()), text, size);
    if (LoadConfigItem(kind) == 0) {
        return;
    }
    const ConfigValues loaded = TheConfig();
    if (SaveConfigItem(kind) == 0) {
        return;
    }
    SetConfigDefaults();
    if (LoadConfigItem(kind) == 0 || std::memcmp(&loaded, &TheConfig(), sizeof loaded) != 0) {
        __builtin_trap();
    }
}

void FuzzRow(const uint8_t* data, size_t size) {
    if (size < 2) {
        return;
    }
    const auto type = static_cast<ConfigItemType>(data[0] % 13 + 1);
    const uint16_t width = static_cast<uint16_t>(data[1] + 1);
    data += 2;
    size -= 2;
    for (const char* name : {"probe00", "probe00.~bin~", "probe00.~enc~.~bin~"}) {
        StoreRaw(name, data, size);
    }
    std::vector<uint8_t> variable(width);
    const ConfigItem row{99, u"probe", type, variable.data(), width};
    if (LoadItemRow(row) != 0) {
        SaveItemRow(row);
    }
    std::vector<uint8_t> buffer(kCfgItemBufferSize);
    ReadItemRow(row, buffer.data());
}

void FuzzConversions(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);
    uint8_t ip[4];
    uint8_t mac[6];
    uint8_t version[4];
    TextToIp(text.c_str(), ip);
    TextToMac(text.c_str(), mac);
    TextToVersion(text.c_str(), version, 3);
    TextToVersion(text.c_str(), version, 4);
    char16_t ipText[kIpTextUnits];
    char16_t macText[kMacTextUnits];
    IpToText(ip, ipText);
    MacToText(mac, macText);
    uint8_t again[6];
    TextToIp(ipText, again);
    if (std::memcmp(again, ip, 4) != 0) {
        __builtin_trap();
    }
    TextToMac(macText, again);
    if (std::memcmp(again, mac, 6) != 0) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Setup();
    (void)ready;
    if (size < 1) {
        return 0;
    }
    const int target = data[0] % 32;
    ++data;
    --size;
    sqlite3_exec(g_db, "DELETE FROM CFGMRU;", nullptr, nullptr, nullptr);
    if (target <= 2) {
        StoreRaw(target == 0 ? "f.~bin~" : target == 1 ? "f.~enc~.~bin~" : "f", data, size);
        ReadAll(target);
    } else if (target <= 4) {
        std::vector<uint8_t> blob(data, data + size);
        if (target == 4 && blob.size() >= 16) {
            const size_t n =
                std::min<size_t>(static_cast<size_t>(blob[8] << 8 | blob[9]), blob.size() - 16);
            const uint16_t crc = Crc16(blob.data() + 16, n);
            blob[10] = static_cast<uint8_t>(crc);
            blob[11] = static_cast<uint8_t>(crc >> 8);
        }
        StoreBlob(blob);
        ReadAll(1);
    } else if (target <= 29) {
        FuzzItem(static_cast<ConfigKind>(target - 4), data, size);
    } else if (target == 30) {
        FuzzRow(data, size);
    } else {
        FuzzConversions(data, size);
    }
    return 0;
}
