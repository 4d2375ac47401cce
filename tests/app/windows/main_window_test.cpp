#include "app/windows/station_workers.h"
#include "main_window_fixture.h"
#include "platform/qt/key_state.h"
#include "request/thread_context.h"
#include "tests/support/net_namespace.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTimer>
#include <vector>

namespace {

const uint8_t kNowhere[4] = {127, 0, 0, 1}; // no unit listens on this test's ports

std::vector<QString> Texts(const platform::ScriptedMessageBoxes& boxes) {
    std::vector<QString> texts;
    for (const platform::MessageBoxCall& call : boxes.calls()) {
        texts.push_back(call.text);
    }
    return texts;
}

} // namespace

// The accepted ranges send up to 501 datagrams to 10.0.x.x: they run in a namespace of
// their own in which that whole block is local, so none can leave it.
TEST_F(MainWindowTest, SearchChecksTheRangeAsTheRequestConvertsIt) {
    if (!testns::InTestNamespace()) {
        EXPECT_TRUE(testns::RerunInNewNamespace());
        return;
    }
    ASSERT_TRUE(testns::Shell("ip route add local 10.0.0.0/16 dev lo"));
    struct Case {
        const char* start;
        const char* end;
        const char* message; // null: the search is sent
        const char* caption;
    };
    const Case cases[] = {
        {"10.0.0.1", "10.0.1.245", nullptr, ""},
        {"10.0.0.1", "10.0.1.246", "Search range is too large (501), narrow it down to 500 or less",
         "Search Parameter error"},
        {"", "10.0.0.9", "Invalid NULL IP Address", ""},
        {"10.0.0.9", "10.0.0.8", "End IP Address is less than the starting IP Address", ""},
        {"10.0.0.9", "", nullptr, ""},
        // Parts keep their low 8 bits, in the check as in the request: 10.0.1.44.
        {"10.0.0.1", "10.0.1.300", nullptr, ""},
        {"10.0.0.1", "10.0.2.500", "Search range is too large (755), narrow it down to 500 or less",
         "Search Parameter error"},
    };
    auto window = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " - " + c.end);
        PostUnit(*window, 0, kNowhere); // Search empties the list first, whatever follows
        boxes.ClearCalls();
        Control<QLineEdit>(*window, kStartAddressEdit)->setText(c.start);
        Control<QLineEdit>(*window, kEndAddressEdit)->setText(c.end);
        Click(*window, kSearchButton);
        EXPECT_EQ(List(*window)->topLevelItemCount(), 0);
        EXPECT_EQ(TheDeviceTable().count, 0);
        if (c.message) {
            ASSERT_EQ(boxes.calls().size(), 1u);
            EXPECT_EQ(boxes.calls()[0].text, c.message);
            EXPECT_EQ(boxes.calls()[0].caption, c.caption);
        } else {
            EXPECT_TRUE(boxes.calls().empty()) << Texts(boxes).front().toStdString();
        }
    }
}

TEST_F(MainWindowTest, BroadcastBoxTogglesTheRangeControlsAndTheSearchMode) {
    auto window = Open(false, false);
    EXPECT_TRUE(Control<QCheckBox>(*window, kBroadcastBox)->isChecked());
    EXPECT_FALSE(Control<QLineEdit>(*window, kStartAddressEdit)->isVisible());
    EXPECT_EQ(TheThreadContext().searchFlags.load() & kSearchByRange, 0u);
    QTest::mouseClick(Control<QCheckBox>(*window, kBroadcastBox), Qt::LeftButton);
    EXPECT_TRUE(Control<QLineEdit>(*window, kEndAddressEdit)->isVisible());
    EXPECT_NE(TheThreadContext().searchFlags.load() & kSearchByRange, 0u);
}

TEST_F(MainWindowTest, OpeningFillsTheContextAndStartsBothThreads) {
    ConfigValues& config = TheConfig();
    // A group name of 63 characters reaches the context as its first 31 and a zero.
    const std::u16string longName(63, u'g');
    longName.copy(config.groupname, 63);
    ASSERT_NE(SaveConfigItem(kCfgGroupName), 0);
    auto window = Open(false, false);
    const ThreadContext& context = TheThreadContext();
    EXPECT_EQ(context.broadcastPort, BroadcastPort());
    EXPECT_EQ(context.listenPort, ListenPort());
    EXPECT_EQ(context.unitSessionPort, SessionPort());
    EXPECT_EQ(context.managerPort, 2002);
    EXPECT_EQ(context.cipherMode, 1);
    EXPECT_EQ(std::u16string(context.groupName), std::u16string(31, u'g'));
    EXPECT_EQ(std::u16string(context.groupKey), u"stationpw");
    EXPECT_EQ(std::u16string(context.listenEventName), u"RavelinBroadListenEvent");
    EXPECT_NE(context.listenEvent, nullptr);
    EXPECT_NE(UpdaterEvent(), nullptr);
    EXPECT_NE(context.listenerThreadId.load(), 0u);
    EXPECT_NE(context.upgraderThreadId.load(), 0u);
    EXPECT_EQ(platform::GetNotifyWindow(), window->handle());
    EXPECT_EQ(Control<QPushButton>(*window, kTestButton)->text(), "Test Connection");
    for (int id : {kUpgradeButton, kTestButton, kSecondariesButton}) {
        EXPECT_FALSE(Control<QPushButton>(*window, id)->isEnabled()) << id;
    }
    for (int id : {kRefreshListButton, kAssignGroupButton, kGetGroupInfoButton, kCancelButton}) {
        EXPECT_FALSE(Control<QPushButton>(*window, id)->isVisible()) << id;
    }
}

TEST_F(MainWindowTest, ClearListAsksOnlyWhenThereIsSomethingToClear) {
    auto window = Open();
    Click(*window, kClearListButton);
    EXPECT_TRUE(boxes.calls().empty());

    PostUnit(*window, 0, kNowhere);
    PostUnit(*window, 1, kNowhere);
    boxes.QueueAnswer(platform::MessageBoxResult::No);
    Click(*window, kClearListButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Are you sure you want to clear all the entries in the list?");
    EXPECT_EQ(boxes.calls()[0].caption, "Clear List");
    EXPECT_EQ(List(*window)->topLevelItemCount(), 2);

    boxes.QueueAnswer(platform::MessageBoxResult::Yes);
    Click(*window, kClearListButton);
    EXPECT_EQ(List(*window)->topLevelItemCount(), 0);
    EXPECT_EQ(TheDeviceTable().count, 0);
}

TEST_F(MainWindowTest, SelectAllAndClearSelectionsMarkTheEntries) {
    auto window = Open();
    PostUnit(*window, 0, kNowhere);
    PostUnit(*window, 1, kNowhere);
    Click(*window, kSelectAllButton);
    EXPECT_EQ(List(*window)->selectedItems().size(), 2);
    EXPECT_EQ(TheDeviceTable().slots[0].selection, kShownSelected);
    EXPECT_EQ(TheDeviceTable().slots[1].selection, kShownSelected);
    EXPECT_TRUE(Control<QPushButton>(*window, kUpgradeButton)->isEnabled());
    Click(*window, kClearSelectionsButton);
    EXPECT_TRUE(List(*window)->selectedItems().isEmpty());
    EXPECT_EQ(TheDeviceTable().slots[1].selection, kShown);
    EXPECT_FALSE(Control<QPushButton>(*window, kUpgradeButton)->isEnabled());
}

TEST_F(MainWindowTest, TheBootloaderQuestionNeedsExtendedModeAndCtrl) {
    const QString firmware =
        "Are you sure you want to upgrade the Firmware for all the PDUs in the list?";
    const QString bootloader =
        "Are you sure you want to upgrade the Bootloader for all the PDUs in the list?";
    struct Case {
        bool extended;
        bool control;
        QString question;
    };
    const Case cases[] = {
        {false, false, firmware},
        {false, true, firmware},
        {true, false, firmware},
        {true, true, bootloader},
    };
    for (const Case& c : cases) {
        auto window = Open(c.extended);
        PostUnit(*window, 0, kNowhere);
        Click(*window, kSelectAllButton);
        platform::SetKeyStateOverride(platform::KeyState{c.control, false});
        boxes.ClearCalls();
        boxes.QueueAnswer(platform::MessageBoxResult::No); // nothing starts
        Click(*window, kUpgradeButton);
        platform::SetKeyStateOverride(std::nullopt);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].text, c.question);
        EXPECT_EQ(boxes.calls()[0].caption, "Upgrade");
        EXPECT_FALSE(window->upgradeRunning());
        EXPECT_EQ(Control<QPushButton>(*window, kUpgradeButton)->text(), "Upgrade");
        EXPECT_EQ(TheThreadContext().jobFlags.load() & kJobUpgradePass, 0);
    }
}

TEST_F(MainWindowTest, APassButtonStaysAnAbortUntilTheEndAndThenWaitsForTheSelection) {
    auto window = Open();
    PostUnit(*window, 0, kNowhere);
    Click(*window, kSelectAllButton);
    QPushButton* test = Control<QPushButton>(*window, kTestButton);
    Click(*window, kTestButton);
    EXPECT_TRUE(boxes.calls().empty()); // no confirmation
    EXPECT_TRUE(window->testRunning());
    EXPECT_EQ(test->text(), "Abort Test");
    // The abort stays in reach whatever the selection.
    Click(*window, kClearSelectionsButton);
    EXPECT_TRUE(test->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*window, kUpgradeButton)->isEnabled());

    boxes.QueueAnswer(platform::MessageBoxResult::Yes);
    Click(*window, kTestButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              "Are you sure you want to abort the test connection operation?");
    EXPECT_EQ(boxes.calls()[0].caption, "Abort Test");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->testRunning(); }, 20000));
    EXPECT_EQ(test->text(), "Test Connection");
    EXPECT_FALSE(test->isEnabled());
    EXPECT_EQ(Control<QProgressBar>(*window, kProgressBar)->value(), 100);
    List(*window)->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(test->isEnabled());
}

TEST_F(MainWindowTest, SecondariesWithNothingWorkableSaysSo) {
    auto window = Open();
    PostUnit(*window, 0, kNowhere);
    window->OnSecondaries(); // no row selected
    Click(*window, kSelectAllButton);
    Click(*window, kSecondariesButton); // selected, but Present and without secondaries
    ASSERT_EQ(boxes.calls().size(), 2u);
    for (const platform::MessageBoxCall& call : boxes.calls()) {
        EXPECT_EQ(call.text, "No appropriate workable selections were made, please try again!");
        EXPECT_EQ(call.caption, "Secondary PDUs");
        EXPECT_EQ(call.style, platform::kMbIconExclamation);
    }
}

TEST_F(MainWindowTest, GroupCommandsWithoutASelectionFindNoEntry) {
    auto window = Open();
    window->OnGetGroupInfo();
    window->OnAssignGroup();
    EXPECT_EQ(Texts(boxes), (std::vector<QString>{"Could not find a valid entry",
                                                  "Could not find a valid entry"}));
}

TEST_F(MainWindowTest, NotificationsForOtherWindowsAndStrayPercentagesChangeNothing) {
    auto window = Open();
    const auto post = [&](uintptr_t code, intptr_t value, bool record) {
        platform::Message message;
        message.id = platform::WM_DEVICE_NOTIFY;
        message.wParam = code;
        message.lParam = value;
        if (record) {
            message.record = platform::Payload::Of(std::make_unique<DeviceEntry>());
        }
        ASSERT_TRUE(platform::PostWindowMessage(window->handle(), std::move(message)));
    };
    post(3, 40, false);
    post(5, 0, true); // freed unread
    post(4, 150, false);
    post(3, -1, false);
    QTest::qWait(50);
    EXPECT_EQ(Control<QProgressBar>(*window, kProgressBar)->value(), 40);
    EXPECT_EQ(List(*window)->topLevelItemCount(), 0);
}

TEST_F(MainWindowTest, EveryWayOfClosingStopsTheWorkers) {
    const std::vector<std::function<void(CRavelinDlg&)>> closers = {
        [](CRavelinDlg& w) { Click(w, kExitButton); },
        [](CRavelinDlg& w) { w.close(); },
        [](CRavelinDlg& w) { QTest::keyClick(&w, Qt::Key_Escape); },
        [](CRavelinDlg& w) { Click(w, kCancelButton); },
    };
    for (size_t i = 0; i < closers.size(); ++i) {
        SCOPED_TRACE(i);
        auto window = Open();
        ASSERT_NE(TheThreadContext().listenerThreadId.load(), 0u);
        testing::internal::CaptureStderr();
        closers[i](*window);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(said, "All child threads have exited gracefully\r\n");
        EXPECT_EQ(TheThreadContext().listenerThreadId.load(), 0u);
        EXPECT_EQ(TheThreadContext().upgraderThreadId.load(), 0u);
        EXPECT_EQ(TheThreadContext().listenEvent, nullptr);
        EXPECT_FALSE(StationWorkers::Instance().outlived());
    }
}

TEST_F(MainWindowTest, ClosingWhileATestPassRunsEndsItWithinTheWait) {
    auto window = Open();
    PostUnit(*window, 0, kNowhere);
    Click(*window, kSelectAllButton);
    Click(*window, kTestButton);
    ASSERT_TRUE(window->testRunning());
    QTest::qWait(100); // the pass is in its first wait
    testing::internal::CaptureStderr();
    window->close();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "All child threads have exited gracefully\r\n");
    EXPECT_FALSE(StationWorkers::Instance().outlived());
}

TEST_F(MainWindowTest, TheWindowMenuOpensTheAboutBox) {
    auto window = Open();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        shown = about && about->windowTitle() == "About Korvana Firmware Upgrader";
        if (about) {
            static_cast<QDialog*>(about)->accept();
        }
    });
    EXPECT_TRUE(window->windowMenu().Choose(kAboutCommand));
    EXPECT_TRUE(shown);
    // Configure, with no configuration window given, shows nothing.
    EXPECT_TRUE(window->windowMenu().Choose(kConfigureCommand));
    EXPECT_TRUE(boxes.calls().empty());
}
