// The main window end to end against unit-sim on loopback: a range search finds the
// fleet, a test pass tests it and an upgrade pass upgrades it, all through the window's
// own buttons, the real listener and the real upgrader thread.
#include "main_window_fixture.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <algorithm>

namespace {

constexpr int kUnits = 20;

std::vector<QString> Statuses(const CRavelinDlg& window) {
    std::vector<QString> statuses;
    auto* list = platform::Control<QTreeWidget>(&window, kDeviceListId);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        statuses.push_back(list->topLevelItem(i)->text(0));
    }
    return statuses;
}

bool AllAre(const CRavelinDlg& window, const QString& status, int count) {
    const std::vector<QString> statuses = Statuses(window);
    return static_cast<int>(statuses.size()) == count &&
           std::all_of(statuses.begin(), statuses.end(),
                       [&](const QString& s) { return s == status; });
}

class MainWindowFleetTest : public MainWindowTest {
  protected:
    // unit k at 127.30.<slot>.(2 + k); the units answer this test's station ports.
    bool StartFleet(int slot, int units, std::vector<std::string> extra = {}) {
        first_ = simtest::Ip(127, 30, static_cast<uint8_t>(slot), 2);
        log_ = simtest::TempDir() + "/units.jsonl";
        std::vector<std::string> args = {"--units",
                                         std::to_string(units),
                                         "--first-ip",
                                         simtest::IpText(first_),
                                         "--broadcast-port",
                                         std::to_string(BroadcastPort()),
                                         "--station-port",
                                         std::to_string(ListenPort()),
                                         "--session-port",
                                         std::to_string(SessionPort()),
                                         "--log",
                                         log_};
        args.insert(args.end(), extra.begin(), extra.end());
        return sim_.Start(args);
    }
    std::string UnitIp(int k) const { return simtest::IpText(first_ + static_cast<uint32_t>(k)); }

    uint32_t first_ = 0;
    std::string log_;
    simtest::SimProcess sim_;
};

} // namespace

TEST_F(MainWindowFleetTest, FindsTestsAndUpgradesTwentyUnits) {
    ASSERT_TRUE(StartFleet(1, kUnits));
    ConfigValues& config = TheConfig();
    config.upgmethod = 2; // URL
    std::u16string(u"http://127.0.0.1/tevpack-3.18.9.bin").copy(config.upgradeurl, 35);
    ASSERT_NE(SaveConfigItem(kCfgUpgMethod), 0);
    ASSERT_NE(SaveConfigItem(kCfgUpgradeUrl), 0);
    auto window = Open();

    Control<QLineEdit>(*window, kStartAddressEdit)->setText(QString::fromStdString(UnitIp(0)));
    Control<QLineEdit>(*window, kEndAddressEdit)
        ->setText(QString::fromStdString(UnitIp(kUnits - 1)));
    Click(*window, kSearchButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return AllAre(*window, "Present", kUnits); }, 20000))
        << Statuses(*window).size();

    Click(*window, kSelectAllButton);
    Click(*window, kTestButton);
    ASSERT_TRUE(window->testRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->testRunning(); }, 120000));
    EXPECT_TRUE(AllAre(*window, "Tested", kUnits));

    Click(*window, kSelectAllButton);
    boxes.QueueAnswer(platform::MessageBoxResult::Yes);
    Click(*window, kUpgradeButton);
    ASSERT_TRUE(window->upgradeRunning());
    EXPECT_EQ(Control<QPushButton>(*window, kUpgradeButton)->text(), "Abort Upgrade");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->upgradeRunning(); }, 120000));
    EXPECT_TRUE(AllAre(*window, "Upgraded", kUnits));
    EXPECT_EQ(Control<QPushButton>(*window, kUpgradeButton)->text(), "Upgrade");

    // Every unit was told to fetch the package.
    for (int k = 0; k < kUnits; ++k) {
        EXPECT_FALSE(simtest::LinesWith(log_, {"\"ip\":\"" + UnitIp(k) + "\"",
                                               "url http://127.0.0.1/tevpack-3.18.9.bin"})
                         .empty())
            << UnitIp(k);
    }
    window->close();
}

TEST_F(MainWindowFleetTest, AnEmptyEndSearchesTheStartOnlyAndFailuresAreTruthful) {
    ASSERT_TRUE(StartFleet(2, 3, {"--fault", "login-refused:1"}));
    auto window = Open();
    Control<QLineEdit>(*window, kStartAddressEdit)->setText(QString::fromStdString(UnitIp(1)));
    Click(*window, kSearchButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List(*window)->topLevelItemCount() == 1; }, 10000));
    QTest::qWait(300); // no other unit answers
    EXPECT_EQ(List(*window)->topLevelItemCount(), 1);

    Control<QLineEdit>(*window, kStartAddressEdit)->setText(QString::fromStdString(UnitIp(0)));
    Control<QLineEdit>(*window, kEndAddressEdit)->setText(QString::fromStdString(UnitIp(2)));
    Click(*window, kSearchButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List(*window)->topLevelItemCount() == 3; }, 10000));
    Click(*window, kSelectAllButton);
    Click(*window, kTestButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->testRunning(); }, 60000));
    const DeviceTable& table = TheDeviceTable();
    for (int slot = 0; slot < table.count; ++slot) {
        const bool refused = table.slots[slot].ipAddress[3] == 3; // unit 1
        EXPECT_EQ(table.slots[slot].status, refused ? kStatusFailedTest : kStatusTested) << slot;
    }
    window->close();
}
