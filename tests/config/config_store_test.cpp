#include "config/config_store.h"
#include "protocol/crc16.h"
#include "temp_program_dir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    void operator()(ConfigStore* store) const { CfgStoreClose(store); }
};
using Store = std::unique_ptr<ConfigStore, StoreCloser>;

Store OpenWrite() {
    return Store(CfgStoreOpen(kCfgOpenReadWrite));
}
Store OpenRead() {
    return Store(CfgStoreOpen(kCfgOpenReadOnly));
}

using Bytes = std::vector<uint8_t>;

class ConfigStoreTest : public TempProgramDir {
  protected:
    int Write(const char16_t* name, const char16_t* text) {
        Store store = OpenWrite();
        return store ? CfgStoreWriteText(store.get(), name, text) : -1000;
    }

    // The text of `name`, or "<rc>" for a failed read.
    std::u16string Read(const char16_t* name) {
        Store store = OpenRead();
        if (!store) {
            return u"<no store>";
        }
        const char16_t* text = nullptr;
        uint32_t length = 0;
        const int rc = CfgStoreReadText(store.get(), name, &text, &length);
        if (rc != kCfgOk) {
            return u"<" + platform::Utf8ToUtf16(std::to_string(rc)) + u">";
        }
        EXPECT_EQ(length, std::u16string(text).size() + 1);
        return text;
    }

    int ReadBytes(const char16_t* name, Bytes* out) {
        Store store = OpenRead();
        const uint8_t* data = nullptr;
        uint32_t count = 0;
        const int rc = CfgStoreReadBytes(store.get(), name, &data, &count);
        if (rc == kCfgOk) {
            out->assign(data, data + count);
        }
        return rc;
    }

    int ReadEncoded(const char16_t* name, Bytes* out) {
        Store store = OpenRead();
        const uint8_t* data = nullptr;
        uint32_t count = 0;
        const int rc = CfgStoreReadEncoded(store.get(), name, &data, &count);
        if (rc == kCfgOk) {
            out->assign(data, data + count);
        }
        return rc;
    }

    int WriteEncoded(const char16_t* name, const Bytes& data) {
        Store store = OpenWrite();
        return CfgStoreWriteEncoded(store.get(), name, data.data(),
                                    static_cast<uint32_t>(data.size()));
    }

    int WriteBytes(const char16_t* name, const Bytes& data) {
        Store store = OpenWrite();
        return CfgStoreWriteBytes(store.get(), name, data.data(),
                                  static_cast<uint32_t>(data.size()));
    }
};

TEST_F(ConfigStoreTest, NoFileUntilTheFirstWriteCreatesFileAndTable) {
    EXPECT_EQ(OpenRead(), nullptr);
    EXPECT_FALSE(DatabaseExists());
    EXPECT_EQ(Write(u"upgradeurl00", u"http://host/p.bin"), kCfgOk);
    EXPECT_TRUE(DatabaseExists());
    EXPECT_EQ(Read(u"upgradeurl00"), u"http://host/p.bin");
    EXPECT_EQ(Read(u"other"), u"<-14>");
    EXPECT_EQ(Sqlite3Cli(".schema CFGMRU"),
              "CREATE TABLE IF NOT EXISTS 'CFGMRU' (cfgname TEXT PRIMARY KEY NOT NULL UNIQUE, "
              "cfgvalue TEXT NOT NULL);\n");
    Store store = OpenRead();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(std::string(CfgStoreDatabasePath(store.get())), DatabasePath());
}

TEST_F(ConfigStoreTest, ReplaceKeepsOneRowAndTheToolReadsIt) {
    ASSERT_EQ(Write(u"groupname00", u"First"), kCfgOk);
    ASSERT_EQ(Write(u"groupname00", u"Second"), kCfgOk);
    ASSERT_EQ(Write(u"maxlistsize00", u"120"), kCfgOk);
    EXPECT_EQ(Read(u"groupname00"), u"Second");
    EXPECT_EQ(Sqlite3Cli("SELECT cfgname, cfgvalue FROM CFGMRU ORDER BY cfgname;"),
              "groupname00|Second\nmaxlistsize00|120\n");
}

TEST_F(ConfigStoreTest, TextsRoundTripUnchanged) {
    const char16_t* texts[] = {u"it's a 'quoted' text", u"", u"Gr\u00fc\u00dfe \u4e2d \U0001F600",
                               u"semi; DROP TABLE CFGMRU; --"};
    for (const char16_t* text : texts) {
        ASSERT_EQ(Write(u"na'me", text), kCfgOk);
        EXPECT_EQ(Read(u"na'me"), text);
    }
    EXPECT_EQ(Sqlite3Cli("SELECT cfgvalue FROM CFGMRU WHERE cfgname = 'na''me';"),
              "semi; DROP TABLE CFGMRU; --\n");
    ASSERT_EQ(Write(u"utf8", u"\u00e9\u4e2d"), kCfgOk);
    EXPECT_EQ(Sqlite3Cli("SELECT hex(cfgvalue) FROM CFGMRU WHERE cfgname = 'utf8';"),
              "C3A9E4B8AD\n");
}

TEST_F(ConfigStoreTest, DeleteRemovesOneRowAndReportsAMissingOne) {
    ASSERT_EQ(Write(u"a", u"1"), kCfgOk);
    ASSERT_EQ(Write(u"b", u"2"), kCfgOk);
    Store store = OpenWrite();
    EXPECT_EQ(CfgStoreDelete(store.get(), u"missing"), kCfgNoRow);
    EXPECT_EQ(CfgStoreDelete(store.get(), u"a"), kCfgOk);
    EXPECT_EQ(CfgStoreDelete(store.get(), u"a"), kCfgNoRow);
    EXPECT_EQ(CfgStoreDelete(store.get(), u""), kCfgBadArgument);
    store.reset();
    EXPECT_EQ(Read(u"a"), u"<-14>");
    EXPECT_EQ(Read(u"b"), u"2");
}

TEST_F(ConfigStoreTest, IntegersHonourTheBasePrefix) {
    struct Case {
        const char16_t* text;
        uint32_t value;
    };
    const Case cases[] = {
        {u"010", 8},
        {u"0x10", 16},
        {u"0X1f", 31},
        {u"20", 20},
        {u"-1", 0xFFFFFFFFu},
        {u" 42abc", 42},
        {u"abc", 0},
        {u"09", 0},
        {u"99999999999", 0x7FFFFFFFu},
        {u"", 0},
        {u"-99999999999", 0x80000000u},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Write(u"n", c.text), kCfgOk);
        Store store = OpenRead();
        uint32_t value = 12345;
        EXPECT_EQ(CfgStoreReadInt(store.get(), u"n", &value), kCfgOk);
        EXPECT_EQ(value, c.value) << std::string(c.text, c.text + std::u16string(c.text).size());
    }
    Store store = OpenRead();
    uint32_t value = 12345;
    EXPECT_EQ(CfgStoreReadInt(store.get(), u"absent", &value), kCfgNoRow);
    EXPECT_EQ(value, 0u);
}

TEST_F(ConfigStoreTest, ByteStringsAreHexWithALengthPrefix) {
    const Bytes data = {0x00, 0x01, 0xAB, 0xFF};
    ASSERT_EQ(WriteBytes(u"blob", data), kCfgOk);
    EXPECT_EQ(Read(u"blob.~bin~"), u"0004"
                                   u"0001abff");
    Bytes back;
    ASSERT_EQ(ReadBytes(u"blob", &back), kCfgOk);
    EXPECT_EQ(back, data);

    Bytes largest(kCfgMaxBytes);
    for (size_t i = 0; i < largest.size(); ++i) {
        largest[i] = static_cast<uint8_t>(i * 31);
    }
    ASSERT_EQ(WriteBytes(u"big", largest), kCfgOk);
    ASSERT_EQ(ReadBytes(u"big", &back), kCfgOk);
    EXPECT_EQ(back, largest);
    largest.push_back(0);
    EXPECT_EQ(WriteBytes(u"big", largest), kCfgBadArgument);
}

TEST_F(ConfigStoreTest, ByteStringWriteOfNothingDeletesTheRow) {
    ASSERT_EQ(WriteBytes(u"blob", {1, 2, 3}), kCfgOk);
    Store store = OpenWrite();
    EXPECT_EQ(CfgStoreWriteBytes(store.get(), u"blob", nullptr, 5), kCfgOk);
    EXPECT_EQ(CfgStoreWriteBytes(store.get(), u"blob", nullptr, 5), kCfgNoRow);
    ASSERT_EQ(CfgStoreWriteBytes(store.get(), u"blob", Bytes{7}.data(), 1), kCfgOk);
    const uint8_t one = 1;
    EXPECT_EQ(CfgStoreWriteBytes(store.get(), u"blob", &one, 0), kCfgOk);
    store.reset();
    EXPECT_EQ(Read(u"blob.~bin~"), u"<-14>");
}

TEST_F(ConfigStoreTest, MalformedByteStringsAreRefused) {
    struct Case {
        const char16_t* stored;
        int rc;
        Bytes data;
    };
    const Case cases[] = {
        {u"", kCfgBadByteString, {}},
        {u"0", kCfgBadByteString, {}},
        {u"00", kCfgBadByteString, {}},
        {u"0000", kCfgOk, {}},
        {u"0005aabb", kCfgBadByteString, {}}, // the prefix claims more than is there
        {u"ffff", kCfgBadByteString, {}},
        {u"0002aabbcc", kCfgOk, {0xAA, 0xBB}}, // fewer claimed than present: the claim
        {u"0001ABc", kCfgOk, {0xAB}},          // a final odd digit stands alone
        {u"0001zz", kCfgBadByteString, {}},
        {u"00 1aa", kCfgBadByteString, {}},
        {u"0x01aa", kCfgBadByteString, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Write(u"v.~bin~", c.stored), kCfgOk);
        Bytes back;
        EXPECT_EQ(ReadBytes(u"v", &back), c.rc) << back.size();
        if (c.rc == kCfgOk) {
            EXPECT_EQ(back, c.data);
        }
    }
}

TEST_F(ConfigStoreTest, EncodedValuesRoundTripInWholeBlocks) {
    for (uint32_t size : {1u, 15u, 16u, 17u, 200u, 65504u}) {
        Bytes data(size);
        for (uint32_t i = 0; i < size; ++i) {
            data[i] = static_cast<uint8_t>(i * 7 + 1);
        }
        ASSERT_EQ(WriteEncoded(u"secret", data), kCfgOk) << size;
        Bytes blob;
        ASSERT_EQ(ReadBytes(u"secret.~enc~", &blob), kCfgOk);
        EXPECT_EQ(blob.size(), 16 + ((size + 15) & ~15u)) << size;
        // The header: L and N big-endian, the plain checksum low byte first.
        EXPECT_EQ(blob[4] << 8 | blob[5], static_cast<int>(size));
        EXPECT_EQ(blob[8] << 8 | blob[9], static_cast<int>((size + 15) & ~15u));
        const uint16_t plainCrc = Crc16(data.data(), size);
        EXPECT_EQ(blob[6] | blob[7] << 8, plainCrc);
        EXPECT_NE(std::memcmp(blob.data() + 16, data.data(), std::min<size_t>(size, 16)), 0);
        Bytes back;
        ASSERT_EQ(ReadEncoded(u"secret", &back), kCfgOk);
        EXPECT_EQ(back, data);
    }
    Bytes sizes1;
    ASSERT_EQ(WriteEncoded(u"one", Bytes{0x42}), kCfgOk);
    ASSERT_EQ(ReadBytes(u"one.~enc~", &sizes1), kCfgOk);
    EXPECT_EQ(sizes1.size(), 32u);
    EXPECT_EQ(Sqlite3Cli("SELECT length(cfgvalue) FROM CFGMRU WHERE cfgname = 'one.~enc~.~bin~';"),
              "68\n");
}

TEST_F(ConfigStoreTest, EncodedArgumentsOutOfRange) {
    Store store = OpenWrite();
    const uint8_t byte = 1;
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"e", &byte, 0), kCfgBadArgument);
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"e", nullptr, 1), kCfgBadArgument);
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"", &byte, 1), kCfgBadArgument);
    const Bytes tooMany(kCfgMaxEncoded + 1, 0);
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"e", tooMany.data(), kCfgMaxEncoded + 1),
              kCfgBadArgument);
    // 65520 data bytes make a 65536-byte blob, one more than a byte string holds.
    const Bytes most(kCfgMaxEncoded, 0);
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"e", most.data(), kCfgMaxEncoded),
              kCfgBadArgument);
}

class EncodedTamper : public ConfigStoreTest {
  protected:
    Bytes StoredBlob() {
        Bytes blob;
        EXPECT_EQ(ReadBytes(u"secret.~enc~", &blob), kCfgOk);
        return blob;
    }

    void Store(const Bytes& blob) { ASSERT_EQ(WriteBytes(u"secret.~enc~", blob), kCfgOk); }

    static void FixOuterCrc(Bytes& blob) {
        const uint32_t n = static_cast<uint32_t>(blob[8] << 8 | blob[9]);
        const uint16_t crc = Crc16(blob.data() + 16, std::min<size_t>(n, blob.size() - 16));
        blob[10] = static_cast<uint8_t>(crc);
        blob[11] = static_cast<uint8_t>(crc >> 8);
    }

    void SetUp() override {
        ConfigStoreTest::SetUp();
        Bytes data(40);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i);
        }
        ASSERT_EQ(WriteEncoded(u"secret", data), kCfgOk);
    }

    int ReadBack() {
        Bytes back;
        return ReadEncoded(u"secret", &back);
    }
};

TEST_F(EncodedTamper, EitherChecksumMismatchIsRefused) {
    const Bytes good = StoredBlob();
    ASSERT_EQ(good.size(), 64u);
    EXPECT_EQ(ReadBack(), kCfgOk);
    for (size_t at : {16u, 40u, 63u}) {
        Bytes blob = good;
        blob[at] ^= 0x01; // the enciphered bytes no longer match their checksum
        Store(blob);
        EXPECT_EQ(ReadBack(), kCfgChecksum) << at;
        FixOuterCrc(blob); // outer checksum good again: the plain checksum catches it
        Store(blob);
        EXPECT_EQ(ReadBack(), kCfgChecksum) << at;
    }
    Bytes blob = good;
    blob[6] ^= 0x80; // the plain-data checksum itself
    Store(blob);
    EXPECT_EQ(ReadBack(), kCfgChecksum);
    blob = good;
    blob[0] ^= 0x01; // the time stamp is part of the key
    Store(blob);
    EXPECT_EQ(ReadBack(), kCfgChecksum);
    Store(good);
    EXPECT_EQ(ReadBack(), kCfgOk);
}

TEST_F(EncodedTamper, LengthsBeyondTheBlobAreRefused) {
    const Bytes good = StoredBlob();
    struct Case {
        const char* what;
        size_t keep;    // bytes of the blob kept
        int plain;      // new L, or -1
        int enciphered; // new N, or -1
        int rc;
    };
    const Case cases[] = {
        {"header only", 16, -1, -1, kCfgBadByteString},
        {"short header", 10, -1, -1, kCfgBadByteString},
        {"N beyond the data", 64, -1, 64, kCfgBadByteString},
        {"data cut short", 40, -1, -1, kCfgBadByteString},
        {"one word", 20, 4, 4, kCfgBadByteString},
        {"not whole words", 64, 40, 46, kCfgBadByteString},
        {"L above N", 64, 49, -1, kCfgBadByteString},
        {"L of 0", 64, 0, -1, kCfgBadByteString},
        {"largest lengths", 64, 0xFFFF, 0xFFFF, kCfgBadByteString},
    };
    for (const Case& c : cases) {
        Bytes blob(good.begin(), good.begin() + static_cast<long>(c.keep));
        if (c.plain >= 0) {
            blob[4] = static_cast<uint8_t>(c.plain >> 8);
            blob[5] = static_cast<uint8_t>(c.plain);
        }
        if (c.enciphered >= 0) {
            blob[8] = static_cast<uint8_t>(c.enciphered >> 8);
            blob[9] = static_cast<uint8_t>(c.enciphered);
        }
        if (blob.size() > 16) {
            FixOuterCrc(blob);
        }
        Store(blob);
        EXPECT_EQ(ReadBack(), c.rc) << c.what;
    }
}

TEST_F(ConfigStoreTest, ReadOnlyStoreRefusesEveryWriteAndLeavesTheFile) {
    ASSERT_EQ(Write(u"keep", u"value"), kCfgOk);
    ASSERT_EQ(WriteBytes(u"blob", {1, 2}), kCfgOk);
    const std::string before = FileBytes(DatabasePath());
    Store store = OpenRead();
    ASSERT_NE(store, nullptr);
    const uint8_t data[2] = {9, 9};
    EXPECT_EQ(CfgStoreWriteText(store.get(), u"keep", u"other"), kCfgReadOnly);
    EXPECT_EQ(CfgStoreWriteText(store.get(), u"new", u"x"), kCfgReadOnly);
    EXPECT_EQ(CfgStoreWriteBytes(store.get(), u"blob", data, 2), kCfgReadOnly);
    EXPECT_EQ(CfgStoreWriteBytes(store.get(), u"blob", nullptr, 0), kCfgReadOnly);
    EXPECT_EQ(CfgStoreWriteEncoded(store.get(), u"enc", data, 2), kCfgReadOnly);
    EXPECT_EQ(CfgStoreDelete(store.get(), u"keep"), kCfgReadOnly);
    store.reset();
    EXPECT_EQ(FileBytes(DatabasePath()), before);
    EXPECT_EQ(Read(u"keep"), u"value");
}

TEST_F(ConfigStoreTest, InvalidStoresAndBadArguments) {
    const uint8_t byte = 1;
    const char16_t* text = nullptr;
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(CfgStoreClose(nullptr), kCfgInvalidStore);
    EXPECT_EQ(CfgStoreReadText(nullptr, u"a", &text, &count), kCfgInvalidStore);
    EXPECT_EQ(CfgStoreWriteText(nullptr, u"a", u"b"), kCfgInvalidStore);
    EXPECT_EQ(CfgStoreDatabasePath(nullptr), nullptr);

    ConfigStore* raw = CfgStoreOpen(kCfgOpenReadWrite);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(CfgStoreWriteText(raw, u"", u"b"), kCfgBadArgument);
    EXPECT_EQ(CfgStoreWriteText(raw, nullptr, u"b"), kCfgBadArgument);
    EXPECT_EQ(CfgStoreWriteText(raw, u"a", nullptr), kCfgBadArgument);
    EXPECT_EQ(CfgStoreReadText(raw, u"", &text, &count), kCfgBadArgument);
    EXPECT_EQ(CfgStoreReadBytes(raw, u"", &data, &count), kCfgBadArgument);
    EXPECT_EQ(CfgStoreReadEncoded(raw, u"", &data, &count), kCfgBadArgument);
    EXPECT_EQ(CfgStoreWriteBytes(raw, u"", &byte, 1), kCfgBadArgument);
    // Names longer than 255 UTF-8 bytes, and texts that are not valid UTF-16.
    const std::u16string longest(255, u'n');
    EXPECT_EQ(CfgStoreWriteText(raw, longest.c_str(), u"ok"), kCfgOk);
    EXPECT_EQ(CfgStoreWriteText(raw, (longest + u"n").c_str(), u"no"), kCfgFailed);
    EXPECT_EQ(CfgStoreReadText(raw, std::u16string(128, u'\u00e9').c_str(), &text, &count),
              kCfgFailed);
    const char16_t lone[] = {u'a', 0xD800, 0};
    EXPECT_EQ(CfgStoreWriteText(raw, u"a", lone), kCfgFailed);
    EXPECT_EQ(CfgStoreClose(raw), kCfgOk);
    // A closed store is refused without touching it.
    EXPECT_EQ(CfgStoreClose(raw), kCfgInvalidStore);
    EXPECT_EQ(CfgStoreWriteText(raw, u"a", u"b"), kCfgInvalidStore);
    EXPECT_EQ(CfgStoreReadInt(raw, u"a", &count), kCfgInvalidStore);
}

TEST_F(ConfigStoreTest, NotADatabaseFailsEveryStatement) {
    {
        std::ofstream junk(DatabasePath(), std::ios::binary);
        junk << std::string(4096, 'x');
    }
    const std::string before = FileBytes(DatabasePath());
    Store store = OpenWrite();
    ASSERT_NE(store, nullptr);
    const char16_t* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(CfgStoreReadText(store.get(), u"a", &text, &length), kCfgFailed);
    EXPECT_EQ(CfgStoreWriteText(store.get(), u"a", u"b"), kCfgFailed);
    store.reset();
    EXPECT_EQ(FileBytes(DatabasePath()), before);
}

TEST_F(ConfigStoreTest, DatabaseFollowsTheProgramFile) {
    UseProgramFile(dir_ + "/tool.v2.bin");
    ASSERT_EQ(Write(u"a", u"1"), kCfgOk);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/tool.v2.cfg"));
    EXPECT_FALSE(DatabaseExists());

    // Unknown program file: the current directory and "unknown".
    platform::SetProgramFileOverride(std::u16string());
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    EXPECT_EQ(Write(u"a", u"2"), kCfgOk);
    std::filesystem::current_path(saved);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/unknown.cfg"));
}

TEST_F(ConfigStoreTest, DeepNonAsciiDirectoryKeepsItsSettings) {
    // Each unit of this directory takes three bytes of UTF-8, so the path needs far more
    // bytes than units.
    const std::string han = "\xE4\xB8\xAD";
    auto deepDirectory = [&](int parts, int units) {
        std::string deep = dir_;
        for (int part = 0; part < parts; ++part) {
            deep += "/";
            for (int i = 0; i < units; ++i) {
                deep += han;
            }
        }
        std::filesystem::create_directories(deep);
        return deep;
    };
    const std::string deep = deepDirectory(2, 75);
    ASSERT_GT((deep + "/Ravelin.cfg").size(), 480u);
    UseProgramFile(deep + "/Ravelin.exe");
    ASSERT_EQ(Write(u"groupname00", u"Deep"), kCfgOk);
    EXPECT_EQ(Read(u"groupname00"), u"Deep");
    EXPECT_TRUE(std::filesystem::exists(deep + "/Ravelin.cfg"));
    Store store = OpenRead();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(std::string(CfgStoreDatabasePath(store.get())), deep + "/Ravelin.cfg");

    // SQLite's file layer here takes about 500 bytes of path at most (512 with the journal
    // suffix): a longer one fails to open instead of landing in some other file.
    const std::string deeper = deepDirectory(3, 65);
    ASSERT_LT(platform::Utf8ToUtf16(deeper + "/Ravelin.exe").size(), platform::kMaxPathUnits);
    UseProgramFile(deeper + "/Ravelin.exe");
    EXPECT_EQ(OpenWrite(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(deeper + "/Ravelin.cfg"));
}

} // namespace
