// The simulator's own pieces without sockets: fleet addresses and MACs, the unit
// selection of faults, upgrade command texts.
#include "tools/unit-sim/faults.h"
#include "tools/unit-sim/fleet.h"
#include "tools/unit-sim/unit_messages.h"

#include <gtest/gtest.h>

namespace unitsim {
namespace {

TEST(Fleet, AddressesAndMacsCarryBetweenBytes) {
    Options options;
    options.units = 300;
    options.firstIp = 0x7F0000FE; // 127.0.0.254
    std::vector<Unit> fleet = MakeFleet(options);
    ASSERT_EQ(fleet.size(), 300u);
    EXPECT_EQ(fleet[1].ip, 0x7F0000FFu);
    EXPECT_EQ(fleet[2].ip, 0x7F000100u); // 127.0.1.0
    EXPECT_EQ(fleet[299].ip, 0x7F000229u);
    EXPECT_EQ(fleet[254].mac, (std::array<uint8_t, 6>{0x02, 0x52, 0x56, 0, 0, 255}));
    EXPECT_EQ(fleet[255].mac, (std::array<uint8_t, 6>{0x02, 0x52, 0x56, 0, 1, 0}));
    EXPECT_EQ(fleet[255].name, u"unit0256");
}

TEST(Faults, SelectionsByIndexAddressAndShare) {
    struct Case {
        const char* text;
        std::vector<uint32_t> hit; // of units 0..9 at 10.0.0.1..10
    };
    for (const Case& c :
         {Case{"silent", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}, Case{"silent:2,5-6", {2, 5, 6}},
          Case{"silent:10.0.0.4-10.0.0.5,10.0.0.10", {3, 4, 9}}, Case{"silent:1/4", {3, 7}},
          Case{"silent:0%", {}}, Case{"silent:100%", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}}) {
        SCOPED_TRACE(c.text);
        FaultRule rule;
        std::string error;
        ASSERT_TRUE(ParseFaultRule(c.text, rule, error)) << error;
        std::vector<uint32_t> hit;
        for (uint32_t k = 0; k < 10; ++k) {
            if (FaultsForUnit({rule}, k, 0x0A000001 + k).silent) {
                hit.push_back(k);
            }
        }
        EXPECT_EQ(hit, c.hit);
    }
    FaultRule rule;
    std::string error;
    for (const char* bad : {"delay=x", "silent=3", "short-discovery=1", "short-discovery=166",
                            "silent:101%", "silent:3/0", "silent:", "silent:1,,2"}) {
        EXPECT_FALSE(ParseFaultRule(bad, rule, error)) << bad;
    }
    ASSERT_TRUE(ParseFaultRule("delay=250:4", rule, error));
    EXPECT_EQ(FaultsForUnit({rule}, 4, 0).delayMs, 250);
    EXPECT_EQ(FaultsForUnit({rule}, 3, 0).delayMs, 0);
}

TEST(UpgradeText, TheCommandsOfTheUpgradePass) {
    struct Case {
        const char* text;
        bool valid;
        const char* option;
        bool testOnly;
        const char* method;
        const char* server;
        const char* file;
    };
    for (const Case& c : {
             Case{"usb", true, "", false, "usb", "", ""},
             Case{" usb", true, "", false, "usb", "", ""},
             Case{"noteq testonly usb", true, "noteq", true, "usb", "", ""},
             Case{"tftp 10.0.0.5 tevpack-3.19.0.bin", true, "", false, "tftp", "10.0.0.5",
                  "tevpack-3.19.0.bin"},
             Case{"force url ftp://h/p/tevblpack-2.bin", true, "force", false, "url", "",
                  "ftp://h/p/tevblpack-2.bin"},
             Case{"testonly url http://h/a.bin", true, "", true, "url", "", "http://h/a.bin"},
             Case{"", false, "", false, "", "", ""},
             Case{"tftp 10.0.0.5", false, "", false, "", "", ""},
             Case{"url", false, "", false, "", "", ""},
             Case{"usb extra", false, "", false, "", "", ""},
             Case{"fetch http://h/a.bin", false, "", false, "", "", ""},
         }) {
        SCOPED_TRACE(c.text);
        auto parsed = ParseUpgradeCommand(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (parsed) {
            EXPECT_EQ(parsed->option, c.option);
            EXPECT_EQ(parsed->testOnly, c.testOnly);
            EXPECT_EQ(parsed->method, c.method);
            EXPECT_EQ(parsed->server, c.server);
            EXPECT_EQ(parsed->file, c.file);
        }
    }
}

} // namespace
} // namespace unitsim
