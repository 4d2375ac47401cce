#include "netif/interface_entries.h"
#include "netif/ipconfig_fallback.h"
#include "platform/program_paths.h"
#include "platform/windows_version.h"
#include "tests/support/net_namespace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

std::u16string Str(const char16_t* field) {
    return field;
}

std::string Fixture(const char* name) {
    return std::string(NETIF_FIXTURES) + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A stand-in for the library: `count` interfaces, every `downEvery`-th one down.
struct FakeLibrary {
    static inline int16_t initResult = 0;
    static inline int count = 0;
    static inline int downEvery = 0;
    static inline int reportedExtra = 0; // found beyond what was written
    static inline int capacitySeen = -1;

    static int16_t Init() { return initResult; }
    static int16_t GetNics(TessalyNic* records, uint16_t capacity) {
        if (!records) {
            return static_cast<int16_t>(count);
        }
        capacitySeen = capacity;
        const int written = count < capacity ? count : capacity;
        for (int i = 0; i < written; ++i) {
            TessalyNic& nic = records[i];
            std::memset(&nic, 0, sizeof nic);
            nic.upFlag = (downEvery && i % downEvery == 0) ? 0 : 1;
            nic.macAddress[5] = static_cast<uint8_t>(i);
            const uint8_t ip[4] = {198, 51, 100, static_cast<uint8_t>(i)};
            std::memcpy(nic.ipAddress, ip, 4);
            const uint8_t mask[4] = {255, 255, 255, 0};
            std::memcpy(nic.subnetMask, mask, 4);
            for (int u = 0; u < 100; ++u) {
                nic.description[u] = static_cast<uint16_t>(u'a' + u % 26);
            }
        }
        return static_cast<int16_t>(count + reportedExtra);
    }
    static void Reset(int n) {
        initResult = 0;
        count = n;
        downEvery = 0;
        reportedExtra = 0;
        capacitySeen = -1;
    }
};

const TessalyCalls kFake{&FakeLibrary::Init, &FakeLibrary::GetNics};

} // namespace

TEST(IpconfigParser, ReadsEachAdapterOfTheOutput) {
    InterfaceList list;
    ASSERT_TRUE(ParseIpconfigFile(Fixture("two_adapters.txt"), list));
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(Str(list.entries[0].description), u"Fast Ethernet Adapter #2");
    EXPECT_EQ(Str(list.entries[0].macAddress), u"00:0C:29:3A:4B:5C");
    EXPECT_EQ(Str(list.entries[0].ipAddress), u"192.168.10.25");
    EXPECT_EQ(Str(list.entries[0].subnetMask), u"255.255.255.0");
    EXPECT_EQ(Str(list.entries[1].macAddress), u"00:90:4B:F1:02:E3");
    EXPECT_EQ(Str(list.entries[1].ipAddress), u"10.1.2.3");
    EXPECT_EQ(Str(list.entries[1].subnetMask), u"255.0.0.0");
}

TEST(IpconfigParser, FieldsAreTakenOnlyFromTheirOwnAdapterSection) {
    InterfaceList list;
    ASSERT_TRUE(ParseIpconfigFile(Fixture("missing_fields.txt"), list));
    ASSERT_EQ(list.count, 3);
    // No "Physical Address": the MAC stays empty, and not the next adapter's; the IP
    // address and mask are this adapter's own.
    EXPECT_EQ(Str(list.entries[0].macAddress), u"");
    EXPECT_EQ(Str(list.entries[0].ipAddress), u"172.16.0.9");
    EXPECT_EQ(Str(list.entries[0].subnetMask), u"255.255.255.255");
    EXPECT_EQ(Str(list.entries[1].macAddress), u"00:1B:21:AA:BB:CC");
    EXPECT_EQ(Str(list.entries[1].subnetMask), u"255.255.254.0");
    // Labels without ": " give the fixed texts; a missing label leaves its field empty;
    // a long description is cut to 63 characters.
    const InterfaceEntry& last = list.entries[2];
    EXPECT_EQ(Str(last.description).size(), 63u);
    EXPECT_EQ(Str(last.description).substr(0, 10), u"Tunneling ");
    EXPECT_EQ(Str(last.macAddress), u"0:0:0:0:0:0");
    EXPECT_EQ(Str(last.ipAddress), u"0.0.0.0");
    EXPECT_EQ(Str(last.subnetMask), u"");
}

TEST(IpconfigParser, EdgeCasesOfTheText) {
    InterfaceList list;
    ParseIpconfigText("Windows IP Configuration\r\n\r\n  Host Name : x\r\n", list);
    EXPECT_EQ(list.count, 0);

    // A description label without ": " on its line, and an adapter without any address
    // label after it: listed once, not repeated.
    ParseIpconfigText("  Description\r\n  Subnet Mask . : 255.255.0.0\r\n", list);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(Str(list.entries[0].description), u"UNKNOWN INTERFACE");
    EXPECT_EQ(Str(list.entries[0].subnetMask), u"255.255.0.0");
    ParseIpconfigText("  Description . : last one\r\n", list);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(Str(list.entries[0].description), u"last one");

    // More than 10 adapters: the first 10.
    std::string many;
    for (int i = 0; i < 12; ++i) {
        many += "  Description . : adapter " + std::to_string(i) + "\r\n  IP Address . : 10.0.0." +
                std::to_string(i) + "\r\n";
    }
    ParseIpconfigText(many, list);
    ASSERT_EQ(list.count, 10);
    EXPECT_EQ(Str(list.entries[9].ipAddress), u"10.0.0.9");

    EXPECT_FALSE(ParseIpconfigFile(Fixture("no-such-file.txt"), list));
    EXPECT_EQ(list.count, 0);
}

TEST(IpconfigFallback, RunsTheScriptParsesItsOutputAndDeletesBothFiles) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("netif-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string scriptSeen;
    InterfaceList list;
    CollectFromIpconfig(list, dir.string(), [&](const std::string& script) {
        scriptSeen = ReadFile(script);
        std::filesystem::copy_file(Fixture("two_adapters.txt"), dir / "tmpNet.txt");
        return true;
    });
    EXPECT_EQ(scriptSeen, "@ipconfig /all > " + (dir / "tmpNet.txt").string());
    EXPECT_EQ(list.count, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "tmpNet.bat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tmpNet.txt"));

    // A script that cannot be started lists nothing and leaves no script behind.
    CollectFromIpconfig(list, dir.string(), [](const std::string&) { return false; });
    EXPECT_EQ(list.count, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "tmpNet.bat"));
    // A directory that cannot be written lists nothing.
    CollectFromIpconfig(list, (dir / "missing").string(), [](const std::string&) { return true; });
    EXPECT_EQ(list.count, 0);
    std::filesystem::remove_all(dir);
}

TEST(IpconfigFallback, OnlyWindowsBefore51UsesIt) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("netif-v-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    platform::SetProgramFileOverride(u"" + std::u16string(dir.u16string()) + u"/Ravelin");
    int runs = 0;
    const ScriptRunner runner = [&](const std::string&) {
        ++runs;
        std::filesystem::copy_file(Fixture("two_adapters.txt"), dir / "tmpNet.txt");
        return true;
    };
    InterfaceList list;
    platform::SetWindowsVersionOverride(platform::WindowsVersion{platform::kPlatformNt, 5, 0});
    CollectInterfaceEntries(list, runner);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(list.count, 2);
    platform::SetWindowsVersionOverride(platform::WindowsVersion{platform::kPlatformNt, 5, 1});
    CollectInterfaceEntries(list, runner);
    EXPECT_EQ(runs, 1); // the library answers from 5.1 on
    platform::SetWindowsVersionOverride(std::nullopt);
    platform::SetProgramFileOverride(std::nullopt);
    std::filesystem::remove_all(dir);
}

TEST(InterfaceLibrary, OnlyUpInterfacesAreListedAndAtMostTen) {
    FakeLibrary::Reset(14);
    FakeLibrary::downEvery = 4; // interfaces 0, 4, 8 and 12 are down
    InterfaceList list;
    CollectFromTessaly(list, kFake);
    EXPECT_EQ(FakeLibrary::capacitySeen, 14 + 16);
    ASSERT_EQ(list.count, 10);
    EXPECT_EQ(Str(list.entries[0].macAddress), u"00:00:00:00:00:01");
    EXPECT_EQ(Str(list.entries[0].ipAddress), u"198.51.100.1");
    EXPECT_EQ(Str(list.entries[0].subnetMask), u"255.255.255.0");
    EXPECT_EQ(Str(list.entries[0].description).size(), 63u);
    EXPECT_EQ(Str(list.entries[9].ipAddress), u"198.51.100.13");
}

TEST(InterfaceLibrary, NoMoreRecordsAreReadThanWereWritten) {
    // The library writes as many records as fit but reports far more: only the written
    // ones are read (the rest of the buffer was never filled).
    FakeLibrary::Reset(3);
    FakeLibrary::reportedExtra = 500;
    InterfaceList list;
    CollectFromTessaly(list, kFake);
    EXPECT_EQ(list.count, 3);
}

TEST(InterfaceLibrary, FailuresLeaveTheListEmpty) {
    InterfaceList list;
    FakeLibrary::Reset(2);
    FakeLibrary::initResult = -17;
    CollectFromTessaly(list, kFake);
    EXPECT_EQ(list.count, 0);
    FakeLibrary::Reset(0);
    CollectFromTessaly(list, kFake);
    EXPECT_EQ(list.count, 0);
}

TEST(InterfaceLibrary, TheRealLibraryListsTheUpLinksOfTheNamespace) {
    if (!testns::InTestNamespace()) {
        EXPECT_TRUE(testns::RerunInNewNamespace());
        return;
    }
    ASSERT_TRUE(testns::Shell("ip link add sel0 type veth peer name sel1 && "
                              "ip link add dwn0 type veth peer name dwn1 && "
                              "ip addr add 198.51.100.1/24 dev sel0 && "
                              "ip link set sel0 up && ip link set sel1 up"));
    ASSERT_TRUE(testns::Shell("for i in $(seq 50); do "
                              "grep -q up /sys/class/net/sel0/operstate && "
                              "grep -q up /sys/class/net/sel1/operstate && exit 0; "
                              "sleep 0.1; done; exit 1"));
    InterfaceList list;
    CollectFromTessaly(list, RealTessalyCalls());
    ASSERT_EQ(list.count, 2); // sel0 and sel1; the down pair and loopback are left out
    bool sawAddress = false;
    for (int i = 0; i < list.count; ++i) {
        if (Str(list.entries[i].ipAddress) == u"198.51.100.1") {
            sawAddress = true;
            EXPECT_EQ(Str(list.entries[i].subnetMask), u"255.255.255.0");
            EXPECT_EQ(Str(list.entries[i].macAddress).size(), 17u);
        }
    }
    EXPECT_TRUE(sawAddress);
}
