#include "config/config_store.h"

#include "config/number_text.h"
#include "config/xxtea.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"
#include "protocol/crc16.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <sqlite3.h>
#include <string>
#include <unordered_set>
#include <vector>

// Fields in the order the store has always kept them; the buffers grow as needed and are
// freed with the store.
struct ConfigStore {
    std::u16string programDirectory;
    std::u16string baseName;
    std::u16string databasePath;
    char signature[6]{};
    uint32_t openFlags = 0;
    sqlite3* connection = nullptr;
    // Kept for a platform side that might share store objects; no operation takes it.
    std::mutex section;
    std::u16string bytesName;
    std::u16string encodedName;
    std::u16string text;
    std::vector<uint8_t> bytes;
    uint32_t bytesLength = 0;
    std::vector<uint8_t> blob;
    std::u16string hexText;
    std::string databasePathUtf8;
};

namespace {

constexpr char kSignature[6] = {'s', 'q', 'l', 'c', 'f', 'g'};
constexpr char kTable[] = "CFGMRU";
constexpr char16_t kBytesSuffix[] = u".~bin~";
constexpr char16_t kEncodedSuffix[] = u".~enc~";
// Names are converted into 256-byte buffers, terminator included.
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kHeaderSize = 16;

// Stores that are open now. Validity is decided here before a store is touched, so a
// closed (freed) store is refused without reading its memory.
std::mutex& LiveMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<const ConfigStore*>& LiveStores() {
    static std::unordered_set<const ConfigStore*> stores;
    return stores;
}

bool IsValid(const ConfigStore* store) {
    if (!store) {
        return false;
    }
    std::lock_guard<std::mutex> lock(LiveMutex());
    return LiveStores().count(store) != 0 &&
           std::memcmp(store->signature, kSignature, sizeof kSignature) == 0 &&
           store->connection != nullptr;
}

bool IsReadOnly(const ConfigStore* store) {
    return (store->openFlags & SQLITE_OPEN_READWRITE) == 0;
}

bool Empty(const char16_t* text) {
    return !text || text[0] == 0;
}

bool NameToUtf8(const std::u16string& name, std::string* out) {
    return platform::Utf16ToUtf8(name, out) && out->size() <= kMaxNameBytes;
}

// Runs one operation, turning an allocation failure into its result code.
template <typename Operation> int Guarded(Operation operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return kCfgNoMemory;
    }
}

// Runs SQL built with SQLite's quoting printf; SQLite's error text is discarded.
int Execute(ConfigStore* store, char* sql, sqlite3_callback callback = nullptr,
            void* context = nullptr) {
    if (!sql) {
        return kCfgFailed;
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(store->connection, sql, callback, context, &error);
    sqlite3_free(error);
    sqlite3_free(sql);
    return rc == SQLITE_OK ? kCfgOk : kCfgFailed;
}

struct RowState {
    ConfigStore* store;
    bool found = false;
    bool noMemory = false;
};

// Takes the first row's value; a further row (only possible in a hand-made table without
// the key) is ignored.
int TakeValue(void* context, int columns, char** values, char**) {
    auto* state = static_cast<RowState*>(context);
    if (state->found) {
        return 0;
    }
    try {
        state->store->text =
            columns > 0 && values[0] ? platform::Utf8ToUtf16(values[0]) : std::u16string();
    } catch (const std::bad_alloc&) {
        state->noMemory = true;
        return 1;
    }
    state->found = true;
    return 0;
}

int ReadText(ConfigStore* store, const std::u16string& name, const char16_t** text,
             uint32_t* length) {
    if (name.empty()) {
        return kCfgBadArgument;
    }
    std::string name8;
    if (!NameToUtf8(name, &name8)) {
        return kCfgFailed;
    }
    store->text.clear();
    RowState state{store};
    const int rc = Execute(
        store,
        sqlite3_mprintf("SELECT cfgvalue FROM %Q WHERE cfgname = %Q;", kTable, name8.c_str()),
        TakeValue, &state);
    if (state.noMemory) {
        return kCfgNoMemory;
    }
    if (rc != kCfgOk) {
        return rc;
    }
    if (!state.found) {
        return kCfgNoRow;
    }
    *text = store->text.c_str();
    *length = static_cast<uint32_t>(store->text.size() + 1);
    return kCfgOk;
}

int WriteText(ConfigStore* store, const std::u16string& name, const char16_t* text) {
    if (IsReadOnly(store)) {
        return kCfgReadOnly;
    }
    if (name.empty() || !text) {
        return kCfgBadArgument;
    }
    std::string name8;
    std::string text8;
    if (!NameToUtf8(name, &name8) || !platform::Utf16ToUtf8(text, &text8)) {
        return kCfgFailed;
    }
    return Execute(store, sqlite3_mprintf("CREATE TABLE IF NOT EXISTS %Q (cfgname TEXT PRIMARY "
                                          "KEY NOT NULL UNIQUE, cfgvalue TEXT NOT NULL); "
                                          "INSERT OR REPLACE INTO %Q VALUES(%Q, %Q);",
                                          kTable, kTable, name8.c_str(), text8.c_str()));
}

int DeleteRow(ConfigStore* store, const std::u16string& name) {
    if (IsReadOnly(store)) {
        return kCfgReadOnly;
    }
    if (name.empty()) {
        return kCfgBadArgument;
    }
    std::string name8;
    if (!NameToUtf8(name, &name8)) {
        return kCfgFailed;
    }
    const int rc = Execute(
        store, sqlite3_mprintf("DELETE FROM %Q WHERE cfgname = %Q;", kTable, name8.c_str()));
    if (rc != kCfgOk) {
        return rc;
    }
    return sqlite3_changes(store->connection) == 0 ? kCfgNoRow : kCfgOk;
}

// Lower-case hexadecimal, two digits a byte, terminated.
int BytesToHex(const uint8_t* data, size_t count, char16_t* out, size_t capacity) {
    if (!out || capacity < count * 2 + 1) {
        return kCfgHexNoRoom;
    }
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[data[i] >> 4];
        out[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    out[count * 2] = 0;
    return kCfgOk;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

int WriteBytes(ConfigStore* store, const std::u16string& name, const uint8_t* data,
               uint32_t count) {
    if (name.empty()) {
        return kCfgBadArgument;
    }
    if (IsReadOnly(store)) {
        return kCfgReadOnly;
    }
    store->bytesName = name + kBytesSuffix;
    if (!data || count == 0) {
        return DeleteRow(store, store->bytesName);
    }
    if (count > kCfgMaxBytes) {
        return kCfgBadArgument;
    }
    std::vector<uint8_t> raw(count + 2);
    raw[0] = static_cast<uint8_t>(count >> 8);
    raw[1] = static_cast<uint8_t>(count & 0xFF);
    std::memcpy(raw.data() + 2, data, count);
    store->hexText.assign(raw.size() * 2 + 1, u'\0');
    if (BytesToHex(raw.data(), raw.size(), store->hexText.data(), store->hexText.size()) !=
        kCfgOk) {
        return kCfgHexWriteFailed;
    }
    return WriteText(store, store->bytesName, store->hexText.c_str());
}

int ReadBytes(ConfigStore* store, const std::u16string& name, const uint8_t** data,
              uint32_t* count) {
    if (name.empty()) {
        return kCfgBadArgument;
    }
    store->bytesName = name + kBytesSuffix;
    const char16_t* text = nullptr;
    uint32_t length = 0;
    const int rc = ReadText(store, store->bytesName, &text, &length);
    if (rc != kCfgOk) {
        return rc;
    }
    const size_t units = length - 1;
    if (units == 0) {
        return kCfgBadByteString;
    }
    store->bytes.assign((units + 1) / 2, 0);
    for (size_t i = 0, at = 0; i < units; i += 2, ++at) {
        const int high = HexValue(text[i]);
        const int low = i + 1 < units ? HexValue(text[i + 1]) : 0;
        if (high < 0 || low < 0) {
            return kCfgBadByteString;
        }
        // A final odd digit stands alone.
        store->bytes[at] = static_cast<uint8_t>(i + 1 < units ? high * 16 + low : high);
    }
    store->bytesLength = static_cast<uint32_t>(store->bytes.size());
    if (store->bytesLength < 2) {
        return kCfgBadByteString;
    }
    const uint32_t prefix = static_cast<uint32_t>(store->bytes[0] << 8 | store->bytes[1]);
    if (prefix > store->bytesLength - 2) {
        return kCfgBadByteString;
    }
    *data = store->bytes.data() + 2;
    *count = prefix;
    return kCfgOk;
}

uint32_t LoadBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint16_t LoadBe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint16_t LoadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void StoreBe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

void StoreBe16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

void StoreLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t Mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x;
}

// The XXTEA key of an encoded blob, a fixed function of its header that writer and
// reader share. With the header's time stamp T (bytes 0-3), lengths LN = L << 16 | N
// (bytes 4-5 and 8-9) and random word R (bytes 12-15), all read big-endian, and Mix the
// 32-bit finaliser of MurmurHash3:
//     k0 = Mix(T ^ 0x73716C63)          ("sqlc")
//     k1 = Mix(LN ^ 0x66670000 ^ k0)    ("fg")
//     k2 = Mix(R ^ k1)
//     k3 = Mix(T ^ R ^ LN ^ k2)
// The two checksums (bytes 6-7 and 10-11) are left out: the checksum of the enciphered
// data is only known after enciphering.
void HeaderKey(const uint8_t* header, uint32_t (&key)[4]) {
    const uint32_t time = LoadBe32(header);
    const uint32_t lengths =
        static_cast<uint32_t>(LoadBe16(header + 4)) << 16 | LoadBe16(header + 8);
    const uint32_t random = LoadBe32(header + 12);
    key[0] = Mix(time ^ 0x73716C63u);
    key[1] = Mix(lengths ^ 0x66670000u ^ key[0]);
    key[2] = Mix(random ^ key[1]);
    key[3] = Mix(time ^ random ^ lengths ^ key[2]);
}

uint32_t RandomWord() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<uint32_t>(generator());
}

int WriteEncoded(ConfigStore* store, const std::u16string& name, const uint8_t* data,
                 uint32_t count) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds =
        static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
    if (IsReadOnly(store)) {
        return kCfgReadOnly;
    }
    if (name.empty() || !data || count == 0 || count > kCfgMaxEncoded) {
        return kCfgBadArgument;
    }
    const uint32_t enciphered = (count + 15) & 0xFFF0u;
    std::vector<uint8_t> blob(count + 32, 0);
    std::memcpy(blob.data() + kHeaderSize, data, count);
    StoreBe32(blob.data(), seconds);
    StoreBe16(blob.data() + 4, count);
    StoreLe16(blob.data() + 6, Crc16(data, count));
    StoreBe16(blob.data() + 8, enciphered);
    StoreBe32(blob.data() + 12, RandomWord());
    uint32_t key[4];
    HeaderKey(blob.data(), key);
    XxteaEncipher(blob.data() + kHeaderSize, enciphered / 4, key);
    StoreLe16(blob.data() + 10, Crc16(blob.data() + kHeaderSize, enciphered));
    store->encodedName = name + kEncodedSuffix;
    return WriteBytes(store, store->encodedName, blob.data(), enciphered + kHeaderSize);
}

int ReadEncoded(ConfigStore* store, const std::u16string& name, const uint8_t** data,
                uint32_t* count) {
    if (name.empty()) {
        return kCfgBadArgument;
    }
    store->encodedName = name + kEncodedSuffix;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    const int rc = ReadBytes(store, store->encodedName, &bytes, &size);
    if (rc != kCfgOk) {
        return rc;
    }
    if (size <= kHeaderSize) {
        return kCfgBadByteString;
    }
    store->blob.assign(bytes, bytes + size);
    uint8_t* blob = store->blob.data();
    const uint32_t plainLength = LoadBe16(blob + 4);
    const uint32_t cipherLength = LoadBe16(blob + 8);
    // The header's lengths must describe bytes that are present, at least the two words
    // XXTEA needs, whole words, and no more plain bytes than enciphered ones.
    if (cipherLength > size - kHeaderSize || cipherLength < 8 || cipherLength % 4 != 0 ||
        plainLength == 0 || plainLength > cipherLength) {
        return kCfgBadByteString;
    }
    if (Crc16(blob + kHeaderSize, cipherLength) != LoadLe16(blob + 10)) {
        return kCfgChecksum;
    }
    uint32_t key[4];
    HeaderKey(blob, key);
    XxteaDecipher(blob + kHeaderSize, cipherLength / 4, key);
    if (Crc16(blob + kHeaderSize, plainLength) != LoadLe16(blob + 6)) {
        return kCfgChecksum;
    }
    *data = blob + kHeaderSize;
    *count = plainLength;
    return kCfgOk;
}

void FreeStore(ConfigStore* store) {
    if (store->connection) {
        sqlite3_close_v2(store->connection);
    }
    delete store;
}

} // namespace

ConfigStore* CfgStoreOpen(uint32_t openFlags) {
    ConfigStore* store = new (std::nothrow) ConfigStore;
    if (!store) {
        return nullptr;
    }
    try {
        if (const auto program = platform::ProgramFilePath()) {
            platform::SplitProgramPath(*program, &store->programDirectory, &store->baseName);
        } else {
            store->programDirectory = platform::CurrentDirectory();
            store->baseName = u"unknown";
        }
        store->databasePath =
            store->programDirectory + platform::kPathSeparator + store->baseName + u".cfg";
        // Sized by the path itself: a deep directory of non-ASCII names needs up to three
        // bytes a unit, more than a fixed 520-byte buffer holds.
        if (!platform::Utf16ToUtf8(store->databasePath, &store->databasePathUtf8)) {
            FreeStore(store);
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        FreeStore(store);
        return nullptr;
    }
    store->openFlags = openFlags;
    if (sqlite3_open_v2(store->databasePathUtf8.c_str(), &store->connection,
                        static_cast<int>(openFlags | SQLITE_OPEN_FULLMUTEX),
                        nullptr) != SQLITE_OK) {
        FreeStore(store);
        return nullptr;
    }
    std::memcpy(store->signature, kSignature, sizeof kSignature);
    try {
        std::lock_guard<std::mutex> lock(LiveMutex());
        LiveStores().insert(store);
    } catch (const std::bad_alloc&) {
        FreeStore(store);
        return nullptr;
    }
    return store;
}

int CfgStoreClose(ConfigStore* store) {
    {
        std::lock_guard<std::mutex> lock(LiveMutex());
        if (!store || LiveStores().erase(store) == 0 || !store->connection ||
            std::memcmp(store->signature, kSignature, sizeof kSignature) != 0) {
            return kCfgInvalidStore;
        }
    }
    std::memset(store->signature, 0, sizeof store->signature);
    FreeStore(store);
    return kCfgOk;
}

int CfgStoreReadText(ConfigStore* store, const char16_t* name, const char16_t** text,
                     uint32_t* length) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    if (Empty(name) || !text || !length) {
        return kCfgBadArgument;
    }
    return Guarded([&] { return ReadText(store, name, text, length); });
}

int CfgStoreReadInt(ConfigStore* store, const char16_t* name, uint32_t* value) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    if (Empty(name) || !value) {
        return kCfgBadArgument;
    }
    *value = 0;
    return Guarded([&] {
        const char16_t* text = nullptr;
        uint32_t length = 0;
        const int rc = ReadText(store, name, &text, &length);
        if (rc == kCfgOk) {
            *value = static_cast<uint32_t>(ReadLongNumber(text, text + length - 1, 0));
        }
        return rc;
    });
}

int CfgStoreReadBytes(ConfigStore* store, const char16_t* name, const uint8_t** data,
                      uint32_t* count) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    if (Empty(name) || !data || !count) {
        return kCfgBadArgument;
    }
    return Guarded([&] { return ReadBytes(store, name, data, count); });
}

int CfgStoreReadEncoded(ConfigStore* store, const char16_t* name, const uint8_t** data,
                        uint32_t* count) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    if (Empty(name) || !data || !count) {
        return kCfgBadArgument;
    }
    return Guarded([&] { return ReadEncoded(store, name, data, count); });
}

int CfgStoreWriteText(ConfigStore* store, const char16_t* name, const char16_t* text) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    return Guarded([&] { return WriteText(store, name ? name : u"", text); });
}

int CfgStoreWriteBytes(ConfigStore* store, const char16_t* name, const uint8_t* data,
                       uint32_t count) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    return Guarded([&] { return WriteBytes(store, name ? name : u"", data, count); });
}

int CfgStoreWriteEncoded(ConfigStore* store, const char16_t* name, const uint8_t* data,
                         uint32_t count) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    return Guarded([&] { return WriteEncoded(store, name ? name : u"", data, count); });
}

int CfgStoreDelete(ConfigStore* store, const char16_t* rowName) {
    if (!IsValid(store)) {
        return kCfgInvalidStore;
    }
    return Guarded([&] { return DeleteRow(store, rowName ? rowName : u""); });
}

const char* CfgStoreDatabasePath(const ConfigStore* store) {
    return IsValid(store) ? store->databasePathUtf8.c_str() : nullptr;
}
